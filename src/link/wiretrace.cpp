#include "link/wiretrace.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <chrono>

namespace rpu {

namespace {

constexpr std::uint16_t kLinkTypeUsbLinuxMmapped = 220;
constexpr std::uint8_t kBulk = 3;
constexpr int kUsbmonHeaderSize = 64;

template <typename T>
void Put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// A pcapng block: type, length, body padded to 32 bits, length again.
QByteArray Block(std::uint32_t type, const QByteArray &body)
{
    QByteArray padded = body;
    while (padded.size() % 4 != 0)
        padded.append('\0');
    const auto length = static_cast<std::uint32_t>(12 + padded.size());
    QByteArray block;
    Put(block, type);
    Put(block, length);
    block.append(padded);
    Put(block, length);
    return block;
}

QByteArray Option(std::uint16_t code, const QByteArray &value)
{
    QByteArray option;
    Put(option, code);
    Put(option, static_cast<std::uint16_t>(value.size()));
    option.append(value);
    while (option.size() % 4 != 0)
        option.append('\0');
    return option;
}

QByteArray SectionHeader()
{
    QByteArray body;
    Put(body, std::uint32_t(0x1A2B3C4D)); // byte-order magic
    Put(body, std::uint16_t(1));
    Put(body, std::uint16_t(0));
    Put(body, std::int64_t(-1)); // section length not known
    body.append(Option(4, QByteArrayLiteral("Dorel-RPU-SELA wire trace"))); // shb_userappl
    Put(body, std::uint32_t(0));                                              // end of options
    return Block(0x0A0D0D0A, body);
}

QByteArray InterfaceDescription()
{
    QByteArray body;
    Put(body, kLinkTypeUsbLinuxMmapped);
    Put(body, std::uint16_t(0));
    Put(body, std::uint32_t(262144)); // snap length: whole transfers
    body.append(Option(2, QByteArrayLiteral("usbmon1"))); // if_name
    Put(body, std::uint32_t(0));
    return Block(1, body);
}

class TracingPipe final : public Pipe {
public:
    TracingPipe(std::unique_ptr<Pipe> inner, std::shared_ptr<WireTrace> trace)
        : inner_(std::move(inner)), trace_(std::move(trace))
    {
    }

    bool Write(std::span<const std::uint8_t> bytes) override
    {
        const std::int64_t submitted = WireTrace::Now();
        const bool ok = inner_->Write(bytes);
        trace_->Out(bytes, ok ? 0 : -EPIPE, submitted, WireTrace::Now());
        return ok;
    }

    int Read(std::span<std::uint8_t> buffer) override
    {
        const std::int64_t submitted = WireTrace::Now();
        const int n = inner_->Read(buffer);
        const std::int64_t completed = WireTrace::Now();
        // The libusb backend asks for a whole packet whatever the caller wants.
        if (n > 0)
            trace_->In(kPacketSize, buffer.first(static_cast<std::size_t>(n)), 0, submitted, completed);
        else
            trace_->In(kPacketSize, {}, n == 0 ? -ENOENT : -EPIPE, submitted, completed);
        return n;
    }

    void Flush() override { inner_->Flush(); }

private:
    std::unique_ptr<Pipe> inner_;
    std::shared_ptr<WireTrace> trace_;
};

} // namespace

std::shared_ptr<WireTrace> WireTrace::Create(const QString &path, QString *error, WireTraceAddress address)
{
    std::shared_ptr<WireTrace> trace(new WireTrace(address));
    trace->file_.setFileName(path);
    // Not a QSaveFile: a trace must survive the program that writes it, so
    // it is written where it will stay, record by record.
    if (trace->file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        trace->WriteBlock(SectionHeader() + InterfaceDescription());
        if (trace->intact_)
            return trace;
    }
    if (error)
        *error = trace->file_.errorString();
    return nullptr;
}

std::int64_t WireTrace::Now()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

void WireTrace::Out(std::span<const std::uint8_t> bytes, int status, std::int64_t submitted, std::int64_t completed)
{
    const std::lock_guard lock(mutex_);
    const std::uint64_t id = nextId_++;
    const int length = static_cast<int>(bytes.size());
    Record('S', address_.outEndpoint, id, -EINPROGRESS, length, bytes, submitted);
    Record('C', address_.outEndpoint, id, status, status == 0 ? length : 0, {}, completed);
}

void WireTrace::In(int requested, std::span<const std::uint8_t> bytes, int status, std::int64_t submitted,
                   std::int64_t completed)
{
    const std::lock_guard lock(mutex_);
    const std::uint64_t id = nextId_++;
    Record('S', address_.inEndpoint, id, -EINPROGRESS, requested, {}, submitted);
    Record('C', address_.inEndpoint, id, status, static_cast<int>(bytes.size()), bytes, completed);
}

void WireTrace::Record(std::uint8_t event, std::uint8_t endpoint, std::uint64_t id, int status, int urbLength,
                       std::span<const std::uint8_t> data, std::int64_t micros)
{
    const bool in = (endpoint & 0x80) != 0;
    // What usbmon puts in place of data it does not capture.
    char dataFlag = 0;
    if (data.empty())
        dataFlag = event == 'S' && in ? '<' : '>';

    QByteArray packet;
    packet.reserve(kUsbmonHeaderSize + static_cast<int>(data.size()));
    Put(packet, id);
    Put(packet, event);
    Put(packet, kBulk);
    Put(packet, endpoint);
    Put(packet, address_.device);
    Put(packet, address_.bus);
    packet.append('-'); // no setup packet
    packet.append(dataFlag);
    Put(packet, static_cast<std::int64_t>(micros / 1000000));
    Put(packet, static_cast<std::int32_t>(micros % 1000000));
    Put(packet, static_cast<std::int32_t>(status));
    Put(packet, static_cast<std::uint32_t>(urbLength));
    Put(packet, static_cast<std::uint32_t>(data.size()));
    packet.append(8, '\0'); // setup
    Put(packet, std::int32_t(0)); // interval
    Put(packet, std::int32_t(0)); // start frame
    Put(packet, std::uint32_t(0)); // transfer flags
    Put(packet, std::uint32_t(0)); // iso descriptors
    packet.append(reinterpret_cast<const char *>(data.data()), static_cast<qsizetype>(data.size()));

    QByteArray body;
    Put(body, std::uint32_t(0)); // interface
    Put(body, static_cast<std::uint32_t>(static_cast<std::uint64_t>(micros) >> 32));
    Put(body, static_cast<std::uint32_t>(static_cast<std::uint64_t>(micros) & 0xFFFFFFFFu));
    Put(body, static_cast<std::uint32_t>(packet.size()));
    Put(body, static_cast<std::uint32_t>(packet.size()));
    body.append(packet);
    WriteBlock(Block(6, body));
}

void WireTrace::WriteBlock(const QByteArray &block)
{
    if (!intact_)
        return;
    if (file_.write(block) != block.size() || !file_.flush())
        intact_ = false;
}

std::unique_ptr<Pipe> TracePipe(std::unique_ptr<Pipe> inner, std::shared_ptr<WireTrace> trace)
{
    if (!inner || !trace)
        return inner;
    return std::make_unique<TracingPipe>(std::move(inner), std::move(trace));
}

void TracePipes(std::unique_ptr<Pipe> &writePipe, std::unique_ptr<Pipe> &readPipe,
                const std::shared_ptr<WireTrace> &trace)
{
    writePipe = TracePipe(std::move(writePipe), trace);
    readPipe = TracePipe(std::move(readPipe), trace);
}

QString NewTraceFileName(const QString &folder)
{
    const QString stem = QStringLiteral("rpu-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QDir dir(folder);
    QString path = dir.filePath(stem + QStringLiteral(".pcapng"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1-%2.pcapng").arg(stem).arg(n));
    return path;
}

QString NumberedTraceFileName(const QString &path, int index)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString numbered = suffix.isEmpty()
        ? QStringLiteral("%1-%2").arg(info.fileName()).arg(index)
        : QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(index).arg(suffix);
    return info.dir().filePath(numbered);
}

} // namespace rpu

namespace rpu {

namespace {

// One usbmon record (64-byte header, then the captured data).
std::optional<WireRecord> ParseUsbmon(const QByteArray &packet)
{
    if (packet.size() < kUsbmonHeaderSize)
        return std::nullopt;
    const char *p = packet.constData();
    WireRecord r;
    r.id = qFromLittleEndian<std::uint64_t>(p);
    r.micros = qFromLittleEndian<std::int64_t>(p + 16) * 1000000 + qFromLittleEndian<std::int32_t>(p + 24);
    r.event = p[8];
    r.type = std::uint8_t(p[9]);
    r.endpoint = std::uint8_t(p[10]);
    r.device = std::uint8_t(p[11]);
    r.bus = qFromLittleEndian<std::uint16_t>(p + 12);
    r.status = qFromLittleEndian<std::int32_t>(p + 28);
    r.urbLength = qFromLittleEndian<std::uint32_t>(p + 32);
    const auto captured = qFromLittleEndian<std::uint32_t>(p + 36);
    r.data = packet.mid(kUsbmonHeaderSize, std::min<qsizetype>(captured, packet.size() - kUsbmonHeaderSize));
    return r;
}

template <typename T>
T Get(const QByteArray &bytes, qsizetype offset)
{
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

bool ReadClassicPcap(const QByteArray &all, std::vector<WireRecord> &records)
{
    if (all.size() < 24 || Get<std::uint32_t>(all, 20) != kLinkTypeUsbLinuxMmapped)
        return false;
    for (qsizetype pos = 24; pos + 16 <= all.size();) {
        const auto captured = Get<std::uint32_t>(all, pos + 8);
        if (captured > std::uint32_t(all.size() - pos - 16))
            return false;
        if (auto r = ParseUsbmon(all.mid(pos + 16, captured)))
            records.push_back(*r);
        pos += 16 + captured;
    }
    return true;
}

bool ReadPcapng(const QByteArray &all, std::vector<WireRecord> &records)
{
    std::vector<std::uint16_t> linkTypes; // by interface, within the section
    for (qsizetype pos = 0; pos + 12 <= all.size();) {
        const auto type = Get<std::uint32_t>(all, pos);
        const auto length = Get<std::uint32_t>(all, pos + 4);
        if (length < 12 || length % 4 != 0 || length > std::uint32_t(all.size() - pos))
            return false;
        const QByteArray body = all.mid(pos + 8, length - 12);
        if (type == 0x0A0D0D0A) {
            if (body.size() < 4 || Get<std::uint32_t>(body, 0) != 0x1A2B3C4D)
                return false; // another byte order: not written on this kind of machine
            linkTypes.clear();
        } else if (type == 1 && body.size() >= 2) {
            linkTypes.push_back(Get<std::uint16_t>(body, 0));
        } else if (type == 6 && body.size() >= 20) {
            const auto interface = Get<std::uint32_t>(body, 0);
            const auto captured = Get<std::uint32_t>(body, 12);
            if (interface < linkTypes.size() && linkTypes[interface] == kLinkTypeUsbLinuxMmapped
                && captured <= std::uint32_t(body.size() - 20)) {
                if (auto r = ParseUsbmon(body.mid(20, captured)))
                    records.push_back(*r);
            }
        }
        pos += length;
    }
    return true;
}

} // namespace

std::optional<std::vector<WireRecord>> ReadWireTrace(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return std::nullopt;
    }
    const QByteArray all = file.readAll();
    std::vector<WireRecord> records;
    const auto magic = all.size() >= 4 ? Get<std::uint32_t>(all, 0) : 0;
    bool ok = false;
    if (magic == 0xA1B2C3D4 || magic == 0xA1B23C4D)
        ok = ReadClassicPcap(all, records);
    else if (magic == 0x0A0D0D0A)
        ok = ReadPcapng(all, records);
    if (!ok) {
        if (error)
            *error = QStringLiteral("%1: not a little-endian pcap or pcapng capture of USB (link type 220)")
                         .arg(QDir::toNativeSeparators(path));
        return std::nullopt;
    }
    return records;
}

} // namespace rpu
