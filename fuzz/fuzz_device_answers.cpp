// The device's answers: a transport whose reads come from the fuzzer, through
// the handshake, both block reads, a block write and a firmware write.

#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"

#include <algorithm>
#include <vector>

namespace {

class FuzzedDevice final : public rpu::Transport, public rpu::Pacer, public rpu::ProgressSink {
public:
    FuzzedDevice(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool WriteByte(std::uint8_t) override { return Next() != 0xFF; }
    bool WritePacket(std::span<const std::uint8_t, rpu::kPacketSize>) override { return Next() != 0xFF; }
    bool ReadByte(std::uint8_t &byte) override
    {
        if (pos_ >= size_)
            return false;
        byte = data_[pos_++];
        return true;
    }
    bool ReadPacket(std::span<std::uint8_t, rpu::kPacketSize> packet) override
    {
        if (pos_ >= size_)
            return false;
        // The first byte says how many bytes this read delivers.
        const std::size_t asked = data_[pos_++] % (rpu::kPacketSize + 1);
        const std::size_t n = std::min(asked, size_ - pos_);
        std::copy_n(data_ + pos_, n, packet.begin());
        pos_ += n;
        return true;
    }
    void FlushPipe(rpu::PipeKind) override {}
    void Pause(int) override {}
    void ProcessEvents() override {}
    void SetProgress(int) override {}
    void ShowStatus(const QString &) override {}

private:
    std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const rpu::MessageCatalogue catalogue;
    FuzzedDevice device(data, size);
    rpu::LinkContext link{device, device, device, catalogue};
    rpu::DeviceInfo info;
    (void)rpu::InitLink(link, rpu::kInitMainPage, info);
    std::vector<int> registration(rpu::kRegistrationBlockCount * rpu::kBlockSize, 0);
    (void)rpu::ReadDeviceBlocks(link, rpu::kRegistrationBlockCount, rpu::kRegistrationFirstBlock, registration);
    std::vector<int> settings(rpu::kBlockSize, 0);
    (void)rpu::ReadDeviceBlocks(link, rpu::kSettingsBlockCount, rpu::kSettingsFirstBlock, settings);
    (void)rpu::WriteDeviceBlocks(link, rpu::kSettingsBlockCount, rpu::kSettingsFirstBlock, settings);
    const std::vector<std::uint8_t> firmware(rpu::kFirmwareFrameBytes + rpu::kPacketSize + rpu::kFirmwareTailBytes, 0x12);
    (void)rpu::WriteFirmware(link, firmware);
    return 0;
}
