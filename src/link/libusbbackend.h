#pragma once
// The device on a real USB bus, through libusb: interface 0 of every device
// whose vendor:product pair is listed; its first bulk OUT endpoint is the
// write pipe, its first bulk IN endpoint the read pipe.

#include "link/transport.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct libusb_device;

namespace rpu {

// Where a device is plugged in (link/deviceidentity.h), from libusb's view of it.
QString LibusbDeviceIdentity(libusb_device *device);

using UsbId = std::pair<std::uint16_t, std::uint16_t>; // vendor, product

// "vvvv:pppp" entries, hexadecimal, separated by commas; blanks around an
// entry are ignored. Entries that cannot be understood are left out and
// named in *warnings.
std::vector<UsbId> ParseUsbIdList(const QString &text, QStringList *warnings);

// The kind of a libusb error code (LIBUSB_ERROR_*): what the user can do
// about it differs (a udev rule, closing another program, re-plugging).
LinkFault LibusbFaultKind(int libusbError);

class LibusbBackend final : public DeviceBackend {
public:
    // A read or write waits at most readTimeoutMs for the device.
    LibusbBackend(std::vector<UsbId> ids, int readTimeoutMs);
    ~LibusbBackend() override;

    std::vector<std::unique_ptr<DeviceInterface>> Enumerate() override;

    // Empty when libusb could not be started (then no device is ever found).
    QString InitError() const;

    struct Context;

private:
    bool Start() const;

    std::shared_ptr<Context> context_;
    std::vector<UsbId> ids_;
    int timeoutMs_;
    mutable std::once_flag started_;
    mutable QString initError_;
};

} // namespace rpu
