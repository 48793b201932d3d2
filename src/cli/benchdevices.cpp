#include "cli/benchdevices.h"

namespace rpu::cli {

std::optional<LinkConfig> ParseTransport(const QString &text, const LinkConfig &base)
{
    LinkConfig config = base;
    config.warnings.clear();
    const QLatin1String socketPrefix("socket:");
    if (text.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0) {
        config.kind = LinkConfig::Kind::Usb;
    } else if (text.compare(QLatin1String("simulator"), Qt::CaseInsensitive) == 0) {
        config.kind = LinkConfig::Kind::Simulator;
    } else if (text.startsWith(socketPrefix, Qt::CaseInsensitive) && text.size() > socketPrefix.size()) {
        config.kind = LinkConfig::Kind::Socket;
        config.socketPath = text.mid(socketPrefix.size());
    } else {
        return std::nullopt;
    }
    return config;
}

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

DeviceRegistry::DeviceRegistry(const std::vector<LinkConfig> &transports) : configs_(transports)
{
    for (const LinkConfig &config : configs_) {
        if (config.kind == LinkConfig::Kind::Simulator)
            sim_.SetVersionByte(static_cast<std::uint8_t>(config.simVersion));
        backends_.push_back(MakeDeviceBackend(config, &sim_));
    }
}

DeviceRegistry::~DeviceRegistry() = default;

std::vector<DeviceSlot> DeviceRegistry::Enumerate()
{
    std::vector<DeviceSlot> devices;
    for (std::size_t b = 0; b < backends_.size(); ++b) {
        const LinkConfig &config = configs_[b];
        // Dropped at once: a socket device serves one connection at a time.
        const auto found = backends_[b]->Enumerate();
        int index = 0;
        for (const auto &device : found) {
            if (!device)
                continue;
            DeviceSlot slot;
            slot.backend = int(b);
            slot.device = index++;
            slot.id = QString::number(devices.size() + 1);
            switch (config.kind) {
            case LinkConfig::Kind::Socket:
                slot.transport = QStringLiteral("socket");
                slot.path = config.socketPath;
                break;
            case LinkConfig::Kind::Simulator:
                slot.transport = QStringLiteral("simulator");
                slot.path = QStringLiteral("#%1").arg(slot.device + 1);
                break;
            case LinkConfig::Kind::Usb:
                slot.transport = QStringLiteral("usb");
                slot.path = QStringLiteral("#%1").arg(slot.device + 1);
                break;
            }
            devices.push_back(slot);
        }
    }
    return devices;
}

std::unique_ptr<Transport> DeviceRegistry::Open(const DeviceSlot &slot, QString *error)
{
    if (slot.backend < 0 || slot.backend >= int(backends_.size())) {
        *error = QStringLiteral("no such transport");
        return nullptr;
    }
    // Finding and opening is brief; the transfers on the pipes run in parallel.
    const std::lock_guard lock(openMutex_);
    auto found = backends_[std::size_t(slot.backend)]->Enumerate();
    std::erase(found, nullptr);
    if (slot.device >= int(found.size())) {
        *error = QStringLiteral("device %1 (%2 %3) is gone").arg(slot.id, slot.transport, slot.path);
        return nullptr;
    }
    DeviceInterface &device = *found[std::size_t(slot.device)];
    QString writeError;
    QString readError;
    auto writePipe = device.OpenPipe(PipeKind::Write, &writeError);
    auto readPipe = device.OpenPipe(PipeKind::Read, &readError);
    if (!writePipe || !readPipe) {
        *error = !readPipe && !readError.isEmpty() ? readError : writeError;
        return nullptr;
    }
    if (!tracePath_.isEmpty()) {
        // One capture per file for the whole command, however often it reconnects.
        const QString path = traceNumbered_ ? NumberedTraceFileName(tracePath_, slot.id.toInt()) : tracePath_;
        auto &trace = traces_[path];
        QString why;
        if (!trace)
            trace = WireTrace::Create(path, &why);
        if (!trace) {
            *error = QStringLiteral("cannot write the wire trace %1: %2").arg(path, why);
            return nullptr;
        }
        TracePipes(writePipe, readPipe, trace);
    }
    auto transport = std::make_unique<PipeTransport>(std::move(writePipe), std::move(readPipe));
    transport->FlushPipe(PipeKind::Write);
    transport->FlushPipe(PipeKind::Read);
    return transport;
}

void DeviceRegistry::SetTraceFile(const QString &path, bool numbered)
{
    tracePath_ = path;
    traceNumbered_ = numbered;
}

std::optional<DeviceSlot> ChooseDevice(const std::vector<DeviceSlot> &devices, const QString &name)
{
    if (name.isEmpty()) {
        if (devices.size() == 1)
            return devices.front();
        return std::nullopt;
    }
    for (const DeviceSlot &slot : devices) {
        if (slot.id == name || slot.path == name
            || QStringLiteral("%1:%2").arg(slot.transport, slot.path) == name)
            return slot;
    }
    return std::nullopt;
}

} // namespace rpu::cli
