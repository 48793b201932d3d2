#include "link/devicelink.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

#include <algorithm>

namespace rpu {

namespace {

constexpr int kMsgWriteProgress = msg::kWritingBlocks;
constexpr int kMsgReadProgress = msg::kReadingBlocks;
constexpr int kMsgReadDone = msg::kBlocksRead;
constexpr int kMsgFirmwareProgress = msg::kWritingFirmware;
constexpr int kStepMs = 10;
constexpr int kVerdictMs = 25;

// The status text of a transfer. The percentage changes about a hundred
// times while the text is shown thousands of times, so it is formatted only
// when the number changes.
class ProgressText {
public:
    ProgressText(const MessageCatalogue &catalogue, int message) : catalogue_(catalogue), message_(message) {}
    const QString &For(int percent)
    {
        if (percent != percent_) {
            percent_ = percent;
            text_ = catalogue_.Format(message_, percent);
        }
        return text_;
    }

private:
    const MessageCatalogue &catalogue_;
    int message_;
    int percent_ = -1;
    QString text_;
};

void Progress(LinkContext &link, ProgressText &text, int percent)
{
    link.progress.SetProgress(percent);
    link.progress.ShowStatus(text.For(percent));
}

bool WriteFrame(Transport &transport, const DeviceFrame &frame)
{
    for (std::uint8_t byte : frame) {
        if (!transport.WriteByte(byte))
            return false;
    }
    return true;
}

bool ReadFrame(Transport &transport, DeviceFrame &frame)
{
    for (std::uint8_t &byte : frame) {
        if (!transport.ReadByte(byte))
            return false;
    }
    return true;
}

// A block range the frame can carry and the device holds: anything else
// would put a truncated count or block number on the wire.
bool ValidBlockRange(int blockCount, int firstBlock, std::size_t cells)
{
    return blockCount >= 1 && blockCount <= 255 && firstBlock >= 0 && firstBlock <= 255
        && cells >= std::size_t(blockCount) * kBlockSize;
}

// A stream of single header bytes, whole packets and two tail bytes, with
// the protocol's pauses: after every fourth packet, between the tail bytes,
// and for block writes after every packet. Progress and window events every
// eight bytes.
struct PacedStream {
    std::span<const std::uint8_t> bytes;
    int headerBytes;
    bool pauseAfterEachPacket;
    int percentBase;
    // Firmware shows its text after the event round, block writes before.
    bool statusAfterEvents;
};

bool SendPaced(LinkContext &link, ProgressText &status, const PacedStream &stream)
{
    Transport &t = link.transport;
    const long length = long(stream.bytes.size());
    const long header = stream.headerBytes;
    std::array<std::uint8_t, kPacketSize> packet{};
    int packetsSincePause = 0;
    for (long i = 0; i < length; ++i) {
        if (i < header) {
            if (!t.WriteByte(stream.bytes[std::size_t(i)]))
                return false;
        } else {
            packet[std::size_t((i - header) % kPacketSize)] = stream.bytes[std::size_t(i)];
            if ((i - header + 1) % kPacketSize == 0) {
                if (!t.WritePacket(packet))
                    return false;
                if (stream.pauseAfterEachPacket)
                    link.pacer.Pause(kStepMs);
                ++packetsSincePause;
            }
        }
        if (packetsSincePause == 4) {
            packetsSincePause = 0;
            link.pacer.Pause(kStepMs);
        }
        // Both tail indexes are below length whenever i == length - 2.
        if (i == length - 2) {
            if (!t.WriteByte(stream.bytes[std::size_t(length - 2)]))
                return false;
            link.pacer.Pause(kStepMs);
            if (!t.WriteByte(stream.bytes[std::size_t(length - 1)]))
                return false;
        }
        if (i % 8 == 7) {
            const int percent = int((i * 100 + 100) / stream.percentBase);
            if (stream.statusAfterEvents) {
                link.progress.SetProgress(percent);
                link.pacer.ProcessEvents();
                link.progress.ShowStatus(status.For(percent));
            } else {
                Progress(link, status, percent);
                link.pacer.ProcessEvents();
            }
        }
    }
    return true;
}

} // namespace

void Crc16Update(std::uint16_t &crc, std::uint8_t byte)
{
    for (int bit = 0; bit < 8; ++bit) {
        if ((crc ^ byte) & 1)
            crc = std::uint16_t((crc >> 1) ^ 0xA001);
        else
            crc = std::uint16_t(crc >> 1);
        byte >>= 1;
    }
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = 0;
    for (std::uint8_t b : bytes)
        Crc16Update(crc, b);
    return crc;
}

DeviceFrame MakeDeviceFrame(std::uint8_t command, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3)
{
    DeviceFrame frame{0x55, 0x55, command, p1, p2, p3, 0, 0};
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(frame.data(), 6));
    frame[6] = std::uint8_t(crc & 0xFF);
    frame[7] = std::uint8_t(crc >> 8);
    return frame;
}

int DeviceClassOfVersion(int versionByte)
{
    if (versionByte < 40)
        return 1;
    if (versionByte < 100)
        return 2;
    return 0;
}

int DeviceTypeMessage(int deviceClass)
{
    switch (deviceClass) {
    case 0: return msg::kDeviceClassReceiver;
    case 1: return msg::kDeviceClassRelayModule;
    case 2: return msg::kDeviceClassSela;
    default: return 0;
    }
}

QString FormatDeviceVersion(int versionByte)
{
    return QStringLiteral("%1_%2").arg(versionByte / 10).arg(versionByte % 10);
}

int InitLink(LinkContext &link, std::uint8_t code, DeviceInfo &info)
{
    Transport &t = link.transport;
    const DeviceFrame frame = MakeDeviceFrame(code, 0xAA, 0);
    t.FlushPipe(PipeKind::Write);
    t.FlushPipe(PipeKind::Read);
    if (!WriteFrame(t, frame))
        return 1;
    t.FlushPipe(PipeKind::Write);

    DeviceFrame answer{};
    if (!ReadFrame(t, answer))
        return 2;
    if (answer[0] != 0x55 || answer[1] != 0x55)
        return 3;
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(answer.data(), 6));
    if (answer[6] != (crc & 0xFF) || answer[7] != (crc >> 8))
        return 4;
    t.FlushPipe(PipeKind::Read);

    const std::uint8_t v = answer[3];
    info.versionByte = v;
    info.versionNumber = v;
    info.deviceClass = DeviceClassOfVersion(v);
    t.FlushPipe(PipeKind::Write);
    return 0;
}

bool BreakLink(LinkContext &link)
{
    Transport &t = link.transport;
    const DeviceFrame frame = MakeDeviceFrame(kInitMainPage, 0x00, 0);
    t.FlushPipe(PipeKind::Write);
    t.FlushPipe(PipeKind::Read);
    const bool sent = WriteFrame(t, frame);
    t.FlushPipe(PipeKind::Write);
    return sent;
}

int WriteDeviceBlocks(LinkContext &link, int blockCount, int firstBlock, std::span<const int> cells)
{
    if (!ValidBlockRange(blockCount, firstBlock, cells.size()))
        return 1;
    Transport &t = link.transport;
    if (!WriteFrame(t, MakeDeviceFrame(kCmdWriteBlocks, std::uint8_t(blockCount), std::uint8_t(firstBlock))))
        return 1;
    ProgressText status(link.catalogue, kMsgWriteProgress);
    Progress(link, status, 0);
    link.pacer.Pause(kStepMs);

    const int n = blockCount * kBlockSize;
    std::vector<std::uint8_t> buffer(std::size_t(n) + 4);
    buffer[0] = 0xAA;
    buffer[1] = 0xAA;
    for (int i = 0; i < n; ++i)
        buffer[std::size_t(i) + 2] = std::uint8_t(cells[std::size_t(i)] & 0xFF);
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(buffer.data(), std::size_t(n) + 2));
    buffer[std::size_t(n) + 2] = std::uint8_t(crc & 0xFF);
    buffer[std::size_t(n) + 3] = std::uint8_t(crc >> 8);

    if (!SendPaced(link, status, {buffer, 2, true, n + 4, false}))
        return 4;
    Progress(link, status, 100);
    link.pacer.Pause(kStepMs);

    DeviceFrame ack{};
    if (!ReadFrame(t, ack))
        return 2;
    if (ack[3] != 0) {
        link.progress.SetProgress(0);
        return 3;
    }
    return 0;
}

int ReadDeviceBlocks(LinkContext &link, int blockCount, int firstBlock, std::span<int> cells)
{
    if (!ValidBlockRange(blockCount, firstBlock, cells.size()))
        return 1;
    Transport &t = link.transport;
    if (!WriteFrame(t, MakeDeviceFrame(kCmdReadBlocks, std::uint8_t(blockCount), std::uint8_t(firstBlock))))
        return 1;
    link.pacer.Pause(kStepMs);
    ProgressText status(link.catalogue, kMsgReadProgress);
    Progress(link, status, 0);

    const int n = blockCount * kBlockSize;
    std::vector<std::uint8_t> buffer(std::size_t(n) + 4);
    if (!t.ReadByte(buffer[0]) || !t.ReadByte(buffer[1]))
        return 2;
    if (buffer[0] != 0xAA || buffer[1] != 0xAA)
        return 3;

    for (int k = 0; k < n; k += kPacketSize) {
        // A short packet leaves the rest of this buffer at 0; the CRC catches it.
        std::array<std::uint8_t, kPacketSize> packet{};
        if (!t.ReadPacket(packet))
            return 2;
        std::copy(packet.begin(), packet.end(), buffer.begin() + k + 2);
        // Once per packet, at the percentage of its last byte: the window
        // repaints per call, and per byte that cost more than the read.
        Progress(link, status, ((k + kPacketSize - 1) * 100 + 100) / (n + 4));
    }
    if (!t.ReadByte(buffer[std::size_t(n) + 2]) || !t.ReadByte(buffer[std::size_t(n) + 3]))
        return 2;
    Progress(link, status, 100);

    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(buffer.data(), std::size_t(n) + 2));
    if (buffer[std::size_t(n) + 2] != (crc & 0xFF) || buffer[std::size_t(n) + 3] != (crc >> 8))
        return 4;
    for (int i = 0; i < n; ++i)
        cells[std::size_t(i)] = buffer[std::size_t(i) + 2];
    link.progress.ShowStatus(link.catalogue.Text(kMsgReadDone));
    return 0;
}

int WriteFirmware(LinkContext &link, std::span<const std::uint8_t> image)
{
    const int length = int(image.size());
    ProgressText status(link.catalogue, kMsgFirmwareProgress);
    Progress(link, status, 0);
    if (!SendPaced(link, status, {image, kFirmwareFrameBytes, false, length + 7, true}))
        return 1;
    Progress(link, status, 100);
    link.pacer.Pause(kVerdictMs);

    DeviceFrame answer{};
    if (!ReadFrame(link.transport, answer))
        return 3;
    if (answer[3] != 0) {
        link.progress.SetProgress(0);
        return 2;
    }
    return 0;
}

} // namespace rpu
