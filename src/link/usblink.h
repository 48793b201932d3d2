#pragma once
// The one link to the device: finds it through a backend, keeps its two pipes
// and offers the byte and packet transfers on them.

#include "link/transport.h"

#include <functional>
#include <memory>

namespace rpu {

class UsbLink final : public Transport {
public:
    // reportPipeError(title, text) is called when a pipe of a found device
    // cannot be opened; the app shows it as a box titled "Error".
    using PipeErrorReporter = std::function<void(const QString &title, const QString &text)>;

    explicit UsbLink(std::unique_ptr<DeviceBackend> backend, PipeErrorReporter reportPipeError = {});
    // The same, with the failure's kind for the front end to word.
    using ProblemReporter = std::function<void(const LinkProblem &problem)>;
    UsbLink(std::unique_ptr<DeviceBackend> backend, ProblemReporter reportProblem);
    ~UsbLink() override;

    // True when exactly one device was found; its pipes are then stored.
    bool OpenUsbDevice();
    void CloseUsbDevice();
    int UsbDeviceCount() const { return deviceCount_; }
    // Why the last OpenUsbDevice failed where more is known than the count:
    // a pipe that did not open, a socket nobody listens on. None otherwise.
    const LinkProblem &LastProblem() const { return lastProblem_; }
    bool HasWritePipe() const { return writePipe_ != nullptr; }
    bool HasReadPipe() const { return readPipe_ != nullptr; }

    bool WriteByte(std::uint8_t byte) override;
    bool WritePacket(std::span<const std::uint8_t, kPacketSize> packet) override;
    bool ReadByte(std::uint8_t &byte) override;
    bool ReadPacket(std::span<std::uint8_t, kPacketSize> packet) override;
    void FlushPipe(PipeKind pipe) override;

    DeviceBackend &Backend() { return *backend_; }
    // The device behind this link is simulated (in-process or rpu-sim).
    bool Simulated() const { return backend_ && backend_->Simulated(); }

    // Each connect from now on records its traffic to a new capture in
    // folder; reportTraceError(path, why) when one cannot be made (the link
    // then works untraced).
    using TraceErrorReporter = std::function<void(const QString &path, const QString &why)>;
    void SetTraceFolder(const QString &folder, TraceErrorReporter reportTraceError);

private:
    void StartTrace();

    std::unique_ptr<DeviceBackend> backend_;
    PipeErrorReporter reportPipeError_;
    ProblemReporter reportProblem_;
    LinkProblem lastProblem_;
    std::unique_ptr<Pipe> writePipe_;
    std::unique_ptr<Pipe> readPipe_;
    int deviceCount_ = 0;
    QString traceFolder_;
    TraceErrorReporter reportTraceError_;
};

} // namespace rpu
