#include "link/linkconfig.h"

#include "link/libusbbackend.h"
#include "link/simbackend.h"
#include "link/socketbackend.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sys/un.h>

#include <limits>

namespace rpu {

namespace {

// Ids tried when the configuration names none. The receiver's own ids are
// not known to us; the "\PIPE00"/"\PIPE01" pipes of its driver point to a
// Cypress EZ-USB part, so we try the FX2 (04b4:8613) and the Cypress bulk
// example id (04b4:1004). "UsbIds" names the real device.
const char kDefaultUsbIds[] = "04b4:8613,04b4:1004";

// The keys of one INI section as written. QSettings would read a value with
// a comma as a list and cut it at a ';', which turns a socket path or an id
// list into something else without a word; these values are taken whole.
// Keys are case-sensitive as with QSettings; a value in double quotes loses
// them (and its \" and \\ escapes).
QHash<QString, QString> ReadIniSection(const QString &iniPath, const QString &section)
{
    QHash<QString, QString> values;
    QFile file(iniPath);
    if (!QFileInfo(iniPath).isFile() || !file.open(QIODevice::ReadOnly))
        return values;
    const QString text = QString::fromUtf8(file.readAll());
    bool inSection = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection = line.mid(1, line.size() - 2).trimmed() == section;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq <= 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
            value = value.mid(1, value.size() - 2);
            value.replace(QLatin1String("\\\""), QLatin1String("\"")).replace(QLatin1String("\\\\"), QLatin1String("\\"));
        }
        values.insert(line.left(eq).trimmed(), value);
    }
    return values;
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

void ReadTransport(const QString &transport, LinkConfig &s)
{
    const QLatin1String socketPrefix("socket:");
    if (transport.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0)
        s.kind = LinkConfig::Kind::Usb;
    if (transport.isEmpty() || transport.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0)
        return;
    if (transport.compare(QLatin1String("simulator"), Qt::CaseInsensitive) == 0) {
        s.kind = LinkConfig::Kind::Simulator;
        return;
    }
    if (!transport.startsWith(socketPrefix, Qt::CaseInsensitive)) {
        s.warnings.append(QStringLiteral("Transport: \"%1\" is unknown, using usb").arg(transport));
        return;
    }
    const QString path = transport.mid(socketPrefix.size());
    const qsizetype pathBytes = QFile::encodeName(path).size();
    if (path.isEmpty()) {
        s.warnings.append(QStringLiteral("Transport: \"%1\" names no socket path, using usb").arg(transport));
    } else if (pathBytes >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        s.warnings.append(QStringLiteral("Transport: socket path \"%1\" is %2 bytes long, the system allows %3, using usb")
                              .arg(path)
                              .arg(pathBytes)
                              .arg(sizeof(sockaddr_un::sun_path) - 1));
    } else {
        s.kind = LinkConfig::Kind::Socket;
        s.socketPath = path;
    }
}

} // namespace

LinkConfig ReadLinkConfig(const QString &iniPath)
{
    LinkConfig s;
    const QHash<QString, QString> ini = ReadIniSection(iniPath, QStringLiteral("Device"));

    ReadTransport(ini.value(QStringLiteral("Transport")), s);

    const auto ids = ini.find(QStringLiteral("UsbIds"));
    s.usbIds = ParseUsbIdList(ids != ini.end() ? *ids : QString::fromLatin1(kDefaultUsbIds), &s.warnings);
    if (s.usbIds.empty()) {
        if (ids != ini.end())
            s.warnings.append(QStringLiteral("UsbIds: no usable entry, using %1").arg(QLatin1String(kDefaultUsbIds)));
        s.usbIds = ParseUsbIdList(QString::fromLatin1(kDefaultUsbIds), nullptr);
    }

    s.readTimeoutMs = ReadBoundedInt(ini, "ReadTimeoutMs", 2000, 1, std::numeric_limits<int>::max(),
                                     "a positive number", s.warnings);
    s.simDevices = ReadBoundedInt(ini, "SimDevices", 1, 0, 2, "0, 1 or 2", s.warnings);
    s.simVersion = ReadBoundedInt(ini, "SimVersion", 46, 0, 255, "a byte value", s.warnings);
    return s;
}

void ApplyTransportOverride(LinkConfig &config, const QString &transport)
{
    const QString value = transport.trimmed();
    if (value.isEmpty())
        return;
    LinkConfig parsed = config;
    parsed.warnings.clear();
    ReadTransport(value, parsed);
    if (!parsed.warnings.isEmpty()) {
        // The reasons end in ", using usb": here the configured one is kept.
        for (QString warning : std::as_const(parsed.warnings)) {
            warning.replace(QStringLiteral(", using usb"), QStringLiteral(", using the configured transport"));
            config.warnings.append(QLatin1String(kTransportVariable) + QStringLiteral(": ") + warning);
        }
        return;
    }
    config.kind = parsed.kind;
    config.socketPath = parsed.socketPath;
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
    case LinkConfig::Kind::Usb:
        break;
    }
    return std::make_unique<LibusbBackend>(settings.usbIds, settings.readTimeoutMs);
}

} // namespace rpu
