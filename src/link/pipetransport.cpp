#include "link/pipetransport.h"

namespace rpu {

PipeTransport::PipeTransport(std::unique_ptr<Pipe> writePipe, std::unique_ptr<Pipe> readPipe)
    : write_(std::move(writePipe)), read_(std::move(readPipe))
{
}

bool PipeTransport::WriteByte(std::uint8_t byte)
{
    return write_->Write(std::span<const std::uint8_t>(&byte, 1));
}

bool PipeTransport::WritePacket(std::span<const std::uint8_t, kPacketSize> packet)
{
    return write_->Write(std::span<const std::uint8_t>(packet.data(), packet.size()));
}

bool PipeTransport::ReadByte(std::uint8_t &byte)
{
    std::uint8_t one = byte;
    if (read_->Read(std::span<std::uint8_t>(&one, 1)) != 1)
        return false;
    byte = one;
    return true;
}

bool PipeTransport::ReadPacket(std::span<std::uint8_t, kPacketSize> packet)
{
    return read_->Read(std::span<std::uint8_t>(packet.data(), packet.size())) > 0;
}

void PipeTransport::FlushPipe(PipeKind pipe)
{
    (pipe == PipeKind::Write ? write_ : read_)->Flush();
}

} // namespace rpu
