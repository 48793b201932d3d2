#include "link/simdevice.h"

#include "link/devicelink.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace rpu {

namespace {

constexpr std::size_t kBlock = 256;
constexpr int kBlocks = SimDevice::kMemorySize / int(kBlock);
// Far beyond any firmware of this family; junk that looked like an image
// start must not grow without bound.
constexpr std::size_t kMaxFirmware = 4u << 20;

// State file: magic, format, version byte, memory, CRC-16 of all before it.
constexpr char kStateMagic[4] = {'R', 'P', 'U', 'S'};
constexpr std::uint8_t kStateFormat = 1;
constexpr std::size_t kStateSize = 4 + 1 + 1 + SimDevice::kMemorySize + 2;

bool IsCommand(std::uint8_t code)
{
    return code == kInitMainPage || code == kInitOtherPages || code == kCmdReadBlocks
        || code == kCmdWriteBlocks;
}

QString Hex(std::uint8_t b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

SimDevice::SimDevice(std::uint8_t versionByte, std::uint8_t typeCode)
    : version_(versionByte), typeCode_(typeCode), memory_(DefaultMemory())
{
}

std::array<std::uint8_t, SimDevice::kMemorySize> SimDevice::DefaultMemory()
{
    std::array<std::uint8_t, kMemorySize> m{};
    // A few enrolled radio devices, 16 bytes each: kind, three serial bytes,
    // partition, zone, then flags.
    const std::uint8_t enrolled[][6] = {
        {0x01, 0x12, 0x34, 0x56, 1, 1}, {0x01, 0x12, 0x34, 0x57, 1, 2},
        {0x02, 0x20, 0x01, 0x0A, 2, 3}, {0x03, 0x31, 0x77, 0xC4, 2, 4},
        {0x04, 0x40, 0x05, 0x99, 3, 5}, {0x02, 0x20, 0x01, 0x0B, 9, 6},
    };
    std::size_t at = 0;
    for (const auto &rec : enrolled) {
        std::copy(std::begin(rec), std::end(rec), m.begin() + long(at));
        m[at + 6] = 0x80; // enrolled
        at += 16;
    }
    m[7 * kBlock - 1] = 17; // configuration code

    // Block 7: factory settings.
    std::uint8_t *s = m.data() + 7 * kBlock;
    for (int i = 0; i <= 7; ++i)
        s[i] = 5;
    for (int i = 8; i <= 15; ++i)
        s[i] = 6;
    s[21] = 7;
    s[23] = 3;
    s[27] = 3;
    s[28] = 3;
    s[32] = 4;
    s[34] = 255;
    s[37] = 255;
    s[40] = 255;
    s[42] = 7;
    s[43] = 7;
    s[44] = 4;
    return m;
}

bool SimDevice::CountCrossing()
{
    if (dropped_)
        return false;
    if (faults_.dropAfterBytes >= 0 && bytesCrossed_ >= faults_.dropAfterBytes) {
        dropped_ = true;
        Log(QStringLiteral("link dropped after %1 bytes").arg(bytesCrossed_));
        return false;
    }
    ++bytesCrossed_;
    return true;
}

bool SimDevice::LinkDropped() const
{
    return dropped_;
}

void SimDevice::Receive(std::span<const std::uint8_t> bytes)
{
    if (faults_.noAnswer)
        return;
    for (std::uint8_t b : bytes) {
        if (!CountCrossing())
            return;
        Accept(b);
    }
}

int SimDevice::Take(std::span<std::uint8_t> out)
{
    if (dropped_ || faults_.noAnswer)
        return 0;
    std::size_t limit = output_.size();
    for (std::size_t end : packetEnds_) {
        if (end > outputPos_) {
            limit = std::min(limit, end);
            break;
        }
    }
    int n = 0;
    while (std::size_t(n) < out.size() && outputPos_ < limit) {
        if (!CountCrossing())
            break;
        out[std::size_t(n++)] = output_[outputPos_++];
    }
    if (outputPos_ >= output_.size()) {
        output_.clear();
        packetEnds_.clear();
        outputPos_ = 0;
    }
    return n;
}

int SimDevice::Pending() const
{
    if (dropped_ || faults_.noAnswer)
        return 0;
    return int(output_.size() - outputPos_);
}

void SimDevice::Idle()
{
    if (phase_ != Phase::Firmware || dropped_)
        return;
    const std::size_t length = input_.size();
    if (length >= 10 && (length - 10) % kPacketSize == 0)
        FinishFirmware();
}

void SimDevice::DiscardOutput()
{
    output_.clear();
    packetEnds_.clear();
    outputPos_ = 0;
    if (!input_.empty())
        Log(QStringLiteral("discarded %1 half-received bytes").arg(input_.size()));
    ResetInput();
}

void SimDevice::ResetInput()
{
    phase_ = Phase::Frame;
    input_.clear();
    writeCount_ = 0;
    writeFirst_ = 0;
}

void SimDevice::Log(const QString &line) const
{
    if (logger_)
        logger_(line);
}

void SimDevice::Answer(std::span<const std::uint8_t> bytes)
{
    output_.insert(output_.end(), bytes.begin(), bytes.end());
}

void SimDevice::AnswerFrame(std::uint8_t command, std::uint8_t p1, std::uint8_t p2)
{
    DeviceFrame frame = MakeDeviceFrame(command, p1, p2);
    if (faults_.badHeader) {
        // The CRC stays right for what is sent, so only the header is wrong.
        frame[1] = 0x54;
        const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(frame.data(), 6));
        frame[6] = std::uint8_t(crc & 0xFF);
        frame[7] = std::uint8_t(crc >> 8);
    }
    if (faults_.badCrc)
        frame[7] ^= 0x5A;
    Answer(frame);
}

void SimDevice::Accept(std::uint8_t byte)
{
    switch (phase_) {
    case Phase::Frame:
        // Junk before a header is skipped; a run of 0x55 counts as preamble,
        // so a stray 0x55 cannot shift the frame that follows it.
        if (input_.size() < 2 && byte != 0x55) {
            input_.clear();
            return;
        }
        if (input_.size() == 2 && byte == 0x55)
            return;
        input_.push_back(byte);
        if (input_.size() == 8)
            OnFrame();
        return;
    case Phase::WriteData:
        input_.push_back(byte);
        if (input_.size() == std::size_t(writeCount_) * kBlock + 4)
            OnWriteData();
        return;
    case Phase::Firmware:
        input_.push_back(byte);
        if (input_.size() > kMaxFirmware) {
            Log(QStringLiteral("firmware longer than %1 bytes dropped").arg(kMaxFirmware));
            ResetInput();
        }
        return;
    }
}

void SimDevice::OnFrame()
{
    const std::vector<std::uint8_t> frame = input_;
    const std::uint8_t cmd = frame[2];
    if (!IsCommand(cmd)) {
        phase_ = Phase::Firmware; // the frame is the image's first 8 bytes
        return;
    }
    input_.clear();
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(frame.data(), 6));
    if (frame[6] != (crc & 0xFF) || frame[7] != (crc >> 8)) {
        Log(QStringLiteral("ignored frame %1 with a bad CRC").arg(Hex(cmd)));
        // A real frame may start inside the rejected one.
        for (std::size_t i = 1; i < frame.size(); ++i)
            Accept(frame[i]);
        return;
    }
    const int p1 = frame[3];
    const int p2 = frame[4];
    switch (cmd) {
    case kInitMainPage:
    case kInitOtherPages:
        if (cmd == kInitMainPage && p1 == 0x00) {
            Log(QStringLiteral("break"));
            return;
        }
        if (p1 != 0xAA) {
            Log(QStringLiteral("ignored init %1 with parameter %2").arg(Hex(cmd), Hex(frame[3])));
            return;
        }
        AnswerFrame(cmd, version_, typeCode_);
        Log(QStringLiteral("init %1 -> version %2").arg(Hex(cmd)).arg(version_));
        return;
    case kCmdReadBlocks: {
        if (p1 < 1 || p2 + p1 > kBlocks) {
            Log(QStringLiteral("ignored read of blocks %1x%2").arg(p2).arg(p1));
            return;
        }
        std::vector<std::uint8_t> data{0xAA, std::uint8_t(faults_.badHeader ? 0x55 : 0xAA)};
        data.insert(data.end(), memory_.begin() + long(p2) * long(kBlock),
                    memory_.begin() + long(p2 + p1) * long(kBlock));
        std::uint16_t dataCrc = Crc16(data);
        if (faults_.badCrc)
            dataCrc ^= 0x0101;
        if (faults_.shortPacket) {
            // The last data byte is lost on the way: its packet comes short.
            data.pop_back();
            packetEnds_.push_back(output_.size() + data.size());
        }
        data.push_back(std::uint8_t(dataCrc & 0xFF));
        data.push_back(std::uint8_t(dataCrc >> 8));
        Answer(data);
        Log(QStringLiteral("read blocks %1x%2").arg(p2).arg(p1));
        return;
    }
    case kCmdWriteBlocks:
        if (p1 < 1 || p2 + p1 > kBlocks) {
            Log(QStringLiteral("ignored write of blocks %1x%2").arg(p2).arg(p1));
            return;
        }
        phase_ = Phase::WriteData;
        writeCount_ = p1;
        writeFirst_ = p2;
        return;
    default:
        return;
    }
}

void SimDevice::OnWriteData()
{
    const std::size_t n = std::size_t(writeCount_) * kBlock;
    const bool header = input_[0] == 0xAA && input_[1] == 0xAA;
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(input_.data(), n + 2));
    const bool crcOk = input_[n + 2] == (crc & 0xFF) && input_[n + 3] == (crc >> 8);
    const bool accepted = header && crcOk && !faults_.refuseWrite;
    if (accepted)
        std::copy(input_.begin() + 2, input_.begin() + 2 + long(n), memory_.begin() + long(writeFirst_) * long(kBlock));
    QString why;
    if (!header)
        why = QStringLiteral(" (bad data header)");
    else if (!crcOk)
        why = QStringLiteral(" (bad data CRC)");
    Log(QStringLiteral("write blocks %1x%2 %3%4")
            .arg(writeFirst_)
            .arg(writeCount_)
            .arg(accepted ? QStringLiteral("accepted") : QStringLiteral("refused"), why));
    const int first = writeFirst_;
    ResetInput();
    AnswerFrame(kCmdWriteBlocks, accepted ? 0 : 1, std::uint8_t(first));
}

void SimDevice::FinishFirmware()
{
    const std::size_t length = input_.size();
    const std::uint8_t type = input_[2];
    const std::uint8_t newVersion = input_[3];
    const bool accepted = type == typeCode_ && !faults_.refuseFirmware;
    if (accepted) {
        version_ = newVersion;
        firmwareLengths_.push_back(int(length));
    }
    ResetInput();
    AnswerFrame(type, accepted ? 0 : 1, 0);
    if (accepted)
        Log(QStringLiteral("firmware %1 bytes accepted, version %2").arg(length).arg(newVersion));
    else if (type != typeCode_)
        Log(QStringLiteral("firmware %1 bytes refused: type %2, expected %3").arg(length).arg(Hex(type), Hex(typeCode_)));
    else
        Log(QStringLiteral("firmware %1 bytes refused").arg(length));
}

bool SimDevice::SaveState(const QString &path) const
{
    QByteArray data;
    data.reserve(int(kStateSize));
    data.append(kStateMagic, 4);
    data.append(char(kStateFormat));
    data.append(char(version_));
    data.append(reinterpret_cast<const char *>(memory_.data()), kMemorySize);
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size())));
    data.append(char(crc & 0xFF));
    data.append(char(crc >> 8));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size())
        return false;
    return file.commit();
}

bool SimDevice::LoadState(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte more than needed tells a long file from a right one.
    const QByteArray data = file.read(qint64(kStateSize) + 1);
    if (std::size_t(data.size()) != kStateSize)
        return false;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    if (!std::equal(kStateMagic, kStateMagic + 4, data.constData()) || bytes[4] != kStateFormat)
        return false;
    const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(bytes, kStateSize - 2));
    if (bytes[kStateSize - 2] != (crc & 0xFF) || bytes[kStateSize - 1] != (crc >> 8))
        return false;
    version_ = bytes[5];
    std::copy(bytes + 6, bytes + 6 + kMemorySize, memory_.begin());
    return true;
}

} // namespace rpu
