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

// "usb", "simulator" or "socket:PATH", as in the configuration file; the
// rest (USB ids, read timeout) comes from base. Nothing for anything else.
std::optional<LinkConfig> ParseTransport(const QString &text, const LinkConfig &base);

// The byte and packet transfers over one device's two pipes, with the same
// semantics as the window's link: a packet read counts when anything came.
class PipeTransport final : public Transport {
public:
    PipeTransport(std::unique_ptr<Pipe> writePipe, std::unique_ptr<Pipe> readPipe);

    bool WriteByte(std::uint8_t byte) override;
    bool WritePacket(std::span<const std::uint8_t, kPacketSize> packet) override;
    bool ReadByte(std::uint8_t &byte) override;
    bool ReadPacket(std::span<std::uint8_t, kPacketSize> packet) override;
    void FlushPipe(PipeKind pipe) override;

private:
    std::unique_ptr<Pipe> write_;
    std::unique_ptr<Pipe> read_;
};

struct DeviceSlot {
    int backend = 0;      // index into the registry's transports
    int device = 0;       // index among what that transport enumerates
    QString id;           // what --device matches: "1", "2", ... or the path
    QString transport;    // "usb", "simulator", "socket"
    QString path;         // socket path, or "#n" on a bus
};

class DeviceRegistry {
public:
    explicit DeviceRegistry(const std::vector<LinkConfig> &transports);
    ~DeviceRegistry();

    // Every device of every transport, numbered from 1 in this order.
    std::vector<DeviceSlot> Enumerate();
    // The slot's device found again and both pipes opened and flushed;
    // null with *error set when it is gone or a pipe cannot be opened.
    // Safe from several threads at once.
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

// The slot --device names: its number, its id or its path. Nothing when it
// names none (or, without a name, when there is not exactly one device).
std::optional<DeviceSlot> ChooseDevice(const std::vector<DeviceSlot> &devices, const QString &name);

} // namespace rpu::cli
