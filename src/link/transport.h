#pragma once
// The two byte pipes to the device, and what the link needs from the rest of
// the program while it talks: pauses, letting window events run, progress.

#include "link/protocol.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace rpu {


enum class PipeKind { Write, Read };

// What every exchange is built from: one call per byte or 64-byte packet.
class Transport {
public:
    virtual ~Transport() = default;
    virtual bool WriteByte(std::uint8_t byte) = 0;
    virtual bool WritePacket(std::span<const std::uint8_t, kPacketSize> packet) = 0;
    // True only when exactly one byte arrived.
    virtual bool ReadByte(std::uint8_t &byte) = 0;
    // True when the read call succeeded, however many bytes it delivered;
    // bytes that did not arrive are left as they were in the buffer.
    virtual bool ReadPacket(std::span<std::uint8_t, kPacketSize> packet) = 0;
    virtual void FlushPipe(PipeKind pipe) = 0;
};

// The protocol's fixed delays and the event pump. The product sleeps for
// real; tests record every call.
class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void Pause(int milliseconds) = 0;
    virtual void ProcessEvents() = 0;
};

// Status bar text and progress bar, 0..100.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void SetProgress(int percent) = 0;
    virtual void ShowStatus(const QString &text) = 0;
};

// One opened pipe of one device.
class Pipe {
public:
    virtual ~Pipe() = default;
    // One write call of exactly these bytes; true on success.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
    // One read call of at most buffer.size() bytes: the number of bytes
    // delivered, 0 when nothing came before the wait ran out, -1 on failure.
    // The link takes 0 as a failed read, so a silent device ends the
    // exchange; a short read that delivered something is a good one.
    // A pipe whose read has run out of time once may stop waiting until the
    // program writes or flushes again: a device that went quiet mid-answer
    // then costs one wait per exchange, not one per remaining packet.
    virtual int Read(std::span<std::uint8_t> buffer) = 0;
    virtual void Flush() = 0;
};

// The kind of a failure to reach a device. The link names the kind and keeps
// the system's own text as a detail; the front end words it from the catalogue.
enum class LinkFault {
    None,
    Other,       // none of the kinds below
    NoAccess,    // the system refused access (no udev rule)
    Busy,        // another program holds the device
    Gone,        // the device left the bus
    TimedOut,    // the device did not answer in time
    NoListener,  // a socket transport that nobody listens on
};

struct LinkProblem {
    LinkFault fault = LinkFault::None;
    QString detail;  // the system's text, or the socket path for NoListener
};

// One device found on the bus.
class DeviceInterface {
public:
    virtual ~DeviceInterface() = default;
    // Null with *error set to the system's text when the pipe cannot be opened.
    virtual std::unique_ptr<Pipe> OpenPipe(PipeKind kind, QString *error) = 0;
    // Where the device is reached, stable while it stays plugged in there
    // (see link/deviceidentity.h); the same for every enumeration.
    virtual QString Identity() const = 0;
    // The kind of the last OpenPipe failure.
    virtual LinkFault LastOpenFault() const { return LinkFault::Other; }
};

// Finds the devices: libusb, the in-process simulator, a simulator process.
class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;
    virtual std::vector<std::unique_ptr<DeviceInterface>> Enumerate() = 0;
    // Why the last Enumerate found nothing, where the backend knows more than
    // "no device" (a socket nobody listens on).
    virtual LinkProblem EnumerateProblem() const { return {}; }
    // True when the devices it finds are simulated, not receivers on the bus.
    virtual bool Simulated() const { return false; }
};

} // namespace rpu
