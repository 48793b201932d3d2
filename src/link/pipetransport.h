#pragma once
// The byte and packet transfers over one device's two opened pipes, for a
// caller that keeps its own pipes rather than UsbLink's single pair (the
// command line reaches several receivers at once).

#include "link/transport.h"

#include <memory>

namespace rpu {

// Same semantics as UsbLink: a packet read counts when anything came.
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

} // namespace rpu
