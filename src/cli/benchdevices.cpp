#include "cli/benchdevices.h"

#include "link/deviceidentity.h"
#include "link/pipetransport.h"

#include <QSet>

#include <algorithm>

namespace rpu::cli {

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
            slot.identity = device->Identity();
            slot.transport = slot.identity.section(QLatin1Char(':'), 0, 0);
            slot.simulated = backends_[b]->Simulated();
            slot.path = config.kind == LinkConfig::Kind::Socket ? config.socketPath
                                                                : slot.identity.section(QLatin1Char(':'), 1);
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
    const auto same = std::find_if(found.begin(), found.end(), [&slot](const auto &device) {
        return device && device->Identity() == slot.identity;
    });
    if (same == found.end()) {
        *error = QStringLiteral("receiver %1 (number %2 of the list) is not there any more").arg(slot.identity, slot.id);
        return nullptr;
    }
    DeviceInterface &device = **same;
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
    const DeviceName wanted = ParseDeviceName(name);
    for (const DeviceSlot &slot : devices) {
        const bool match = wanted.kind == DeviceName::Kind::ListNumber ? slot.id == QString::number(wanted.number)
                           : wanted.kind == DeviceName::Kind::Identity ? slot.identity == wanted.identity
                                                                        : false;
        // A socket path exactly as it was given with --transport, even when
        // it is no path the parser takes alone (a bare "rpu.sock").
        if (match || (slot.transport == QLatin1String("socket") && slot.path == name))
            return slot;
    }
    return std::nullopt;
}

QString RepeatedIdentity(const std::vector<DeviceSlot> &devices)
{
    QSet<QString> seen;
    for (const DeviceSlot &slot : devices) {
        if (seen.contains(slot.identity))
            return slot.identity;
        seen.insert(slot.identity);
    }
    return {};
}

} // namespace rpu::cli
