#include "link/linkconfig.h"

#include "link/libusbbackend.h"
#include "link/simbackend.h"
#include "link/socketbackend.h"
#include "link/socketdirbackend.h"
#include "io/inifile.h"

#include <QFile>
#include <QHash>

#include <sys/un.h>

#include <algorithm>
#include <limits>

namespace rpu {

namespace {

// Ids tried when the configuration names none. The receiver's own ids are
// not known to us; the "\PIPE00"/"\PIPE01" pipes of its driver point to a
// Cypress EZ-USB part, so we try the FX2 (04b4:8613) and the Cypress bulk
// example id (04b4:1004). "UsbIds" names the real device.
const char kDefaultUsbIds[] = "04b4:8613,04b4:1004";

// The keys of one INI section as written (see IniDocument): a comma or a ';'
// in a socket path or an id list stays.
QHash<QString, QString> ReadIniSection(const QString &iniPath, const QString &section)
{
    return ReadIniFile(iniPath).document.Section(section);
}

// A whole number in [low, high]; anything else present gives the fallback
// and a warning saying why.
int ReadBoundedInt(const QHash<QString, QString> &ini, const char *key, int fallback, int low,
                   int high, const char *expected, QStringList &warnings)
{
    const auto it = ini.find(QLatin1String(key));
    if (it == ini.end())
        return fallback;
    bool ok = false;
    const int n = it->toInt(&ok);
    if (ok && n >= low && n <= high)
        return n;
    warnings.append(QStringLiteral("%1: \"%2\" is not %3, using %4")
                        .arg(QLatin1String(key), *it, QLatin1String(expected))
                        .arg(fallback));
    return fallback;
}

// A time-out of days freezes the window on a silent device for as long; one
// of a few milliseconds fails every answer.
int ClampReadTimeout(int ms, QStringList &warnings)
{
    const int clamped = std::clamp(ms, kMinReadTimeoutMs, kMaxReadTimeoutMs);
    if (clamped != ms)
        warnings.append(QStringLiteral("ReadTimeoutMs: %1 is outside %2..%3, using %4")
                            .arg(ms).arg(kMinReadTimeoutMs).arg(kMaxReadTimeoutMs).arg(clamped));
    return clamped;
}

} // namespace

std::optional<LinkConfig> ParseTransport(const QString &text, const LinkConfig &base, QString *why)
{
    LinkConfig config = base;
    config.warnings.clear();
    config.socketPath.clear();
    config.socketDir.clear();
    const QLatin1String socketPrefix("socket:");
    const QLatin1String socketDirPrefix("socket-dir:");
    if (text.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0) {
        config.kind = LinkConfig::Kind::Usb;
        return config;
    }
    if (text.compare(QLatin1String("simulator"), Qt::CaseInsensitive) == 0) {
        config.kind = LinkConfig::Kind::Simulator;
        return config;
    }
    if (text.startsWith(socketDirPrefix, Qt::CaseInsensitive)) {
        const QString dir = text.mid(socketDirPrefix.size());
        if (dir.isEmpty() || dir != dir.trimmed()) {
            *why = QStringLiteral("\"%1\" names no folder, or one that starts or ends with a blank").arg(text);
            return std::nullopt;
        }
        config.kind = LinkConfig::Kind::SocketDir;
        config.socketDir = dir;
        return config;
    }
    if (!text.startsWith(socketPrefix, Qt::CaseInsensitive)) {
        *why = QStringLiteral("\"%1\" is unknown (usb, simulator, socket:PATH or socket-dir:DIR)").arg(text);
        return std::nullopt;
    }
    const QString path = text.mid(socketPrefix.size());
    const qsizetype pathBytes = QFile::encodeName(path).size();
    if (path.isEmpty()) {
        *why = QStringLiteral("\"%1\" names no socket path").arg(text);
    } else if (path != path.trimmed()) {
        // "socket: /run/rpu" would look for a folder named " " and find nothing.
        *why = QStringLiteral("socket path \"%1\" starts or ends with a blank").arg(path);
    } else if (pathBytes >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        *why = QStringLiteral("socket path \"%1\" is %2 bytes long, the system allows %3")
                   .arg(path)
                   .arg(pathBytes)
                   .arg(sizeof(sockaddr_un::sun_path) - 1);
    } else {
        config.kind = LinkConfig::Kind::Socket;
        config.socketPath = path;
        return config;
    }
    return std::nullopt;
}

LinkConfig ReadLinkConfig(const QString &iniPath)
{
    LinkConfig s;
    const QHash<QString, QString> ini = ReadIniSection(iniPath, QStringLiteral("Device"));

    const QString transport = ini.value(QStringLiteral("Transport"));
    QString why;
    if (const auto parsed = ParseTransport(transport.isEmpty() ? QStringLiteral("usb") : transport, s, &why)) {
        s.kind = parsed->kind;
        s.socketPath = parsed->socketPath;
        s.socketDir = parsed->socketDir;
    } else {
        s.warnings.append(QStringLiteral("Transport: %1, using usb").arg(why));
    }

    const auto ids = ini.find(QStringLiteral("UsbIds"));
    s.usbIds = ParseUsbIdList(ids != ini.end() ? *ids : QString::fromLatin1(kDefaultUsbIds), &s.warnings);
    if (s.usbIds.empty()) {
        if (ids != ini.end())
            s.warnings.append(QStringLiteral("UsbIds: no usable entry, using %1").arg(QLatin1String(kDefaultUsbIds)));
        s.usbIds = ParseUsbIdList(QString::fromLatin1(kDefaultUsbIds), nullptr);
    }

    s.readTimeoutMs = ClampReadTimeout(
        ReadBoundedInt(ini, "ReadTimeoutMs", 2000, 1, std::numeric_limits<int>::max(), "a positive number", s.warnings),
        s.warnings);
    s.simDevices = ReadBoundedInt(ini, "SimDevices", 1, 0, 2, "0, 1 or 2", s.warnings);
    s.simVersion = ReadBoundedInt(ini, "SimVersion", 46, 0, 255, "a byte value", s.warnings);
    s.traceFolder = ini.value(QStringLiteral("TraceFolder"));
    return s;
}

void ApplyTransportOverride(LinkConfig &config, const QString &transport)
{
    const QString value = transport.trimmed();
    if (value.isEmpty())
        return;
    QString why;
    const std::optional<LinkConfig> parsed = ParseTransport(value, config, &why);
    if (!parsed) {
        config.warnings.append(QLatin1String(kTransportVariable) + QStringLiteral(": ") + why
                               + QStringLiteral(", using the configured transport"));
        return;
    }
    config.kind = parsed->kind;
    config.socketPath = parsed->socketPath;
    config.socketDir = parsed->socketDir;
}

std::unique_ptr<DeviceBackend> MakeDeviceBackend(const LinkConfig &settings, SimDevice *inProcessDevice)
{
    switch (settings.kind) {
    case LinkConfig::Kind::Simulator:
        if (inProcessDevice) {
            inProcessDevice->SetVersionByte(static_cast<std::uint8_t>(settings.simVersion));
            return std::make_unique<SimBackend>(*inProcessDevice, settings.simDevices);
        }
        break; // no device to simulate: fall back to the bus
    case LinkConfig::Kind::Socket:
        return std::make_unique<SocketBackend>(settings.socketPath, settings.readTimeoutMs);
    case LinkConfig::Kind::SocketDir:
        return std::make_unique<SocketDirBackend>(settings.socketDir, settings.readTimeoutMs);
    case LinkConfig::Kind::Usb:
        break;
    }
    return std::make_unique<LibusbBackend>(settings.usbIds, settings.readTimeoutMs);
}

} // namespace rpu
