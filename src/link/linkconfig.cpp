#include "link/linkconfig.h"

#include "link/libusbbackend.h"
#include "link/simbackend.h"
#include "link/socketbackend.h"

#include <QSettings>

#include <limits>

namespace rpu {

namespace {

// Ids tried when the configuration names none. The receiver's own ids are
// not known to us; the "\PIPE00"/"\PIPE01" pipes of its driver point to a
// Cypress EZ-USB part, so we try the FX2 (04b4:8613) and the Cypress bulk
// example id (04b4:1004). "UsbIds" names the real device.
const char kDefaultUsbIds[] = "04b4:8613,04b4:1004";

// A whole number in [low, high]; anything else present gives the fallback
// and a warning saying why.
int ReadBoundedInt(const QSettings &ini, const char *key, int fallback, int low, int high,
                   const char *expected, QStringList &warnings)
{
    const QVariant value = ini.value(QLatin1String(key));
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const int n = value.toString().trimmed().toInt(&ok);
    if (ok && n >= low && n <= high)
        return n;
    warnings.append(QStringLiteral("%1: \"%2\" is not %3, using %4")
                        .arg(QLatin1String(key), value.toString(), QLatin1String(expected))
                        .arg(fallback));
    return fallback;
}

} // namespace

LinkConfig ReadLinkConfig(const QString &iniPath)
{
    LinkConfig s;
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Device"));

    const QString transport = ini.value(QStringLiteral("Transport")).toString().trimmed();
    if (transport.isEmpty() || transport.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0) {
        s.kind = LinkConfig::Kind::Usb;
    } else if (transport.compare(QLatin1String("simulator"), Qt::CaseInsensitive) == 0) {
        s.kind = LinkConfig::Kind::Simulator;
    } else if (transport.startsWith(QLatin1String("socket:"), Qt::CaseInsensitive)
               && transport.size() > 7) {
        s.kind = LinkConfig::Kind::Socket;
        s.socketPath = transport.mid(7);
    } else {
        s.warnings.append(QStringLiteral("Transport: \"%1\" is unknown, using usb").arg(transport));
    }

    // A list value written without quotes comes back from QSettings as a list.
    const QVariant idsValue = ini.value(QStringLiteral("UsbIds"));
    QString idsText = QString::fromLatin1(kDefaultUsbIds);
    if (idsValue.isValid()) {
        idsText = idsValue.typeId() == QMetaType::QStringList ? idsValue.toStringList().join(QLatin1Char(','))
                                                              : idsValue.toString();
    }
    s.usbIds = ParseUsbIdList(idsText, &s.warnings);
    if (s.usbIds.empty()) {
        if (idsValue.isValid())
            s.warnings.append(QStringLiteral("UsbIds: no usable entry, using %1").arg(QLatin1String(kDefaultUsbIds)));
        s.usbIds = ParseUsbIdList(QString::fromLatin1(kDefaultUsbIds), nullptr);
    }

    s.readTimeoutMs = ReadBoundedInt(ini, "ReadTimeoutMs", 2000, 1, std::numeric_limits<int>::max(),
                                     "a positive number", s.warnings);
    s.simDevices = ReadBoundedInt(ini, "SimDevices", 1, 0, 2, "0, 1 or 2", s.warnings);
    s.simVersion = ReadBoundedInt(ini, "SimVersion", 46, 0, 255, "a byte value", s.warnings);
    ini.endGroup();
    return s;
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
