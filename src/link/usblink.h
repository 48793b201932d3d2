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
    ~UsbLink() override;

    // True when exactly one device was found; its pipes are then stored.
    bool OpenUsbDevice();
    void CloseUsbDevice();
    int UsbDeviceCount() const { return deviceCount_; }
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

private:
    std::unique_ptr<DeviceBackend> backend_;
    PipeErrorReporter reportPipeError_;
    std::unique_ptr<Pipe> writePipe_;
    std::unique_ptr<Pipe> readPipe_;
    int deviceCount_ = 0;
};

} // namespace rpu
