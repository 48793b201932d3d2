#pragma once
// Which device the program talks to, from the configuration file's section
// "Device".

#include "link/transport.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace rpu {

class SimDevice;

struct LinkConfig {
    enum class Kind { Usb, Simulator, Socket };
    Kind kind = Kind::Usb;
    QString socketPath;                                            // Kind::Socket
    std::vector<std::pair<std::uint16_t, std::uint16_t>> usbIds;   // vendor, product
    int readTimeoutMs = 2000;
    int simDevices = 1;          // in-process simulator: 0, 1 or 2 devices
    int simVersion = 46;         // in-process simulator: firmware version byte
    QStringList warnings;        // entries that could not be understood
};

LinkConfig ReadLinkConfig(const QString &iniPath);

// Every kind but Usb talks to a simulated receiver.
inline bool IsSimulated(const LinkConfig &config) { return config.kind != LinkConfig::Kind::Usb; }

// The environment variable that names the transport for one run, over the
// configuration file's: "RPU_TRANSPORT=simulator" tries the program without
// making the simulator the configured device.
inline constexpr char kTransportVariable[] = "RPU_TRANSPORT";
// Takes transport (a "Transport" value) over the configured one; an empty
// text leaves it, an unusable one leaves it with a warning.
void ApplyTransportOverride(LinkConfig &config, const QString &transport);

// The backend the settings ask for. inProcessDevice serves Kind::Simulator.
std::unique_ptr<DeviceBackend> MakeDeviceBackend(const LinkConfig &settings,
                                                 SimDevice *inProcessDevice);

} // namespace rpu
