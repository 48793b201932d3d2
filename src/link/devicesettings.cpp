#include "link/devicesettings.h"

#include "link/libusbbackend.h"
#include "link/simbackend.h"
#include "link/socketbackend.h"

#include <QSettings>

namespace rpu {

namespace {

// Ids tried when the configuration names none. The receiver's own ids are
// not known to us; the "\PIPE00"/"\PIPE01" pipes of its driver point to a
// Cypress EZ-USB part, so we try the FX2 (04b4:8613) and the Cypress bulk
// example id (04b4:1004). "UsbIds" names the real device.
const char kDefaultUsbIds[] = "04b4:8613,04b4:1004";

int ReadInt(const QSettings &ini, const char *key, int fallback, bool *present, bool *ok)
{
    const QVariant value = ini.value(QLatin1String(key));
    *present = value.isValid();
    *ok = true;
    if (!*present)
        return fallback;
    const int n = value.toString().trimmed().toInt(ok);
    return *ok ? n : fallback;
}

} // namespace

DeviceSettings ReadDeviceSettings(const QString &iniPath)
{
    DeviceSettings s;
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Device"));

    const QString transport = ini.value(QStringLiteral("Transport")).toString().trimmed();
    if (transport.isEmpty() || transport.compare(QLatin1String("usb"), Qt::CaseInsensitive) == 0) {
        s.kind = DeviceSettings::Kind::Usb;
    } else if (transport.compare(QLatin1String("simulator"), Qt::CaseInsensitive) == 0) {
        s.kind = DeviceSettings::Kind::Simulator;
    } else if (transport.startsWith(QLatin1String("socket:"), Qt::CaseInsensitive)
               && transport.size() > 7) {
        s.kind = DeviceSettings::Kind::Socket;
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

    bool present = false;
    bool ok = false;
    const int timeout = ReadInt(ini, "ReadTimeoutMs", 2000, &present, &ok);
    if (present && (!ok || timeout <= 0)) {
        s.warnings.append(QStringLiteral("ReadTimeoutMs: \"%1\" is not a positive number, using 2000")
                              .arg(ini.value(QStringLiteral("ReadTimeoutMs")).toString()));
        s.readTimeoutMs = 2000;
    } else {
        s.readTimeoutMs = timeout;
    }

    const int devices = ReadInt(ini, "SimDevices", 1, &present, &ok);
    if (present && (!ok || devices < 0 || devices > 2)) {
        s.warnings.append(QStringLiteral("SimDevices: \"%1\" is not 0, 1 or 2, using 1")
                              .arg(ini.value(QStringLiteral("SimDevices")).toString()));
        s.simDevices = 1;
    } else {
        s.simDevices = devices;
    }

    const int version = ReadInt(ini, "SimVersion", 46, &present, &ok);
    if (present && (!ok || version < 0 || version > 255)) {
        s.warnings.append(QStringLiteral("SimVersion: \"%1\" is not a byte value, using 46")
                              .arg(ini.value(QStringLiteral("SimVersion")).toString()));
        s.simVersion = 46;
    } else {
        s.simVersion = version;
    }
    ini.endGroup();
    return s;
}

std::unique_ptr<DeviceBackend> MakeDeviceBackend(const DeviceSettings &settings, SimDevice *inProcessDevice)
{
    switch (settings.kind) {
    case DeviceSettings::Kind::Simulator:
        if (inProcessDevice) {
            inProcessDevice->SetVersionByte(static_cast<std::uint8_t>(settings.simVersion));
            return std::make_unique<SimBackend>(*inProcessDevice, settings.simDevices);
        }
        break; // no device to simulate: fall back to the bus
    case DeviceSettings::Kind::Socket:
        return std::make_unique<SocketBackend>(settings.socketPath, settings.readTimeoutMs);
    case DeviceSettings::Kind::Usb:
        break;
    }
    return std::make_unique<LibusbBackend>(settings.usbIds, settings.readTimeoutMs);
}

} // namespace rpu
