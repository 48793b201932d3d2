#pragma once
// Receivers as they are plugged in, for a bench that takes them one after
// another: USB hotplug (or a scan of the bus where libusb has no hotplug),
// or the simulator sockets that appear in a folder. One that was there at
// the start arrives too. A receiver that leaves and comes back arrives again.

#include "link/linkconfig.h"
#include "link/transport.h"

#include <QString>
#include <memory>
#include <optional>

namespace rpu {

struct Arrival {
    QString identity;   // as link/deviceidentity makes it
    QString transport;  // "usb" or "socket"
    QString path;       // the USB port ("1-1.4") or the socket's path
    qint64 seenMs = 0;  // when it was seen, on QDeadlineTimer's steady clock
};

class ArrivalWatch {
public:
    virtual ~ArrivalWatch() = default;
    // The next receiver that arrived, waiting at most timeoutMs; nothing when none came.
    virtual std::optional<Arrival> Next(int timeoutMs) = 0;
    // Both pipes of an arrived receiver, opened and flushed; null with *error
    // set when it is gone. Safe from several threads.
    virtual std::unique_ptr<Transport> Open(const Arrival &arrival, QString *error) = 0;
    virtual bool Simulated() const = 0;
};

// For usb, socket:PATH (that socket each time it appears) and socket-dir:DIR;
// null with *error set for the in-process simulator or a libusb that cannot start.
std::unique_ptr<ArrivalWatch> WatchArrivals(const LinkConfig &config, QString *error);

// The scan period where nothing tells of a new receiver.
inline constexpr int kArrivalScanMs = 250;

} // namespace rpu
