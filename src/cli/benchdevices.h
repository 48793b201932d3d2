#pragma once
// The receivers the command line can reach: every transport named on the
// command line or in the configuration file, every device each one finds.
// Unlike the window, several devices are fine here; each is reached on its own.

#include "link/linkconfig.h"
#include "link/simdevice.h"
#include "link/transport.h"
#include "link/wiretrace.h"

#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace rpu::cli {

struct DeviceSlot {
    int backend = 0;      // index into the registry's transports
    int device = 0;       // index among what that transport found when listed
    QString id;           // its number in the list: "1", "2", ...
    QString transport;    // "usb", "simulator", "socket"
    QString path;         // socket path as given, USB port ("1-1.4"), or "#n"
    QString identity;     // what finds it again: "usb:1-1.4", "socket:/abs/path", "simulator:#1"
    bool simulated = false; // a simulator, in the program or a process, not a receiver
};

class DeviceRegistry {
public:
    explicit DeviceRegistry(const std::vector<LinkConfig> &transports);
    ~DeviceRegistry();

    // Every device of every transport, numbered from 1 in this order.
    std::vector<DeviceSlot> Enumerate();
    // The slot's receiver found again by its identity, never by its place
    // in the list, and both pipes opened and flushed; null with *error set
    // when it is gone or a pipe cannot be opened. Safe from several threads.
    std::unique_ptr<Transport> Open(const DeviceSlot &slot, QString *error);
    // Record every device's traffic to path from now on; numbered: one
    // file per device ("t-1.pcapng", ...), else all in path.
    void SetTraceFile(const QString &path, bool numbered);

private:
    SimDevice sim_;
    std::vector<LinkConfig> configs_;
    std::vector<std::unique_ptr<DeviceBackend>> backends_;
    std::mutex openMutex_;
    QString tracePath_;
    bool traceNumbered_ = false;
    std::map<QString, std::shared_ptr<WireTrace>> traces_; // by file
};

// The slot --device names: its number, its identity, or the socket path or
// USB port alone. Nothing when it names none (or, without a name, when there
// is not exactly one device).
std::optional<DeviceSlot> ChooseDevice(const std::vector<DeviceSlot> &devices, const QString &name);

// A receiver reached twice (the same socket or bus given twice, or one
// socket under two spellings): its identity, or empty when there is none.
// Two jobs on one receiver would write over each other.
QString RepeatedIdentity(const std::vector<DeviceSlot> &devices);

} // namespace rpu::cli
