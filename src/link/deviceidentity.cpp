#include "link/deviceidentity.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace rpu {

namespace {

const QLatin1String kUsbPrefix("usb:");
const QLatin1String kSocketPrefix("socket:");
const QLatin1String kSimulatorPrefix("simulator:#");

// Bus 1..999, then 1 to 7 port numbers of 1..255 joined by dots (USB allows
// seven tiers); or the bus address form for a device without a port.
bool IsUsbPortText(const QString &text)
{
    static const QRegularExpression port(QStringLiteral(
        "^[1-9][0-9]{0,2}-([1-9][0-9]{0,2})(\\.[1-9][0-9]{0,2}){0,6}$"));
    static const QRegularExpression address(QStringLiteral("^[1-9][0-9]{0,2}@[1-9][0-9]{0,2}$"));
    if (address.match(text).hasMatch())
        return true;
    if (!port.match(text).hasMatch())
        return false;
    const QStringList ports = text.section(QLatin1Char('-'), 1).split(QLatin1Char('.'));
    return std::all_of(ports.begin(), ports.end(), [](const QString &p) { return p.toInt() <= 255; });
}

} // namespace

QString UsbPortIdentity(int bus, std::span<const std::uint8_t> ports, int address)
{
    if (ports.empty())
        return QStringLiteral("usb:%1@%2").arg(bus).arg(address);
    QStringList numbers;
    for (const std::uint8_t port : ports)
        numbers << QString::number(port);
    return QStringLiteral("usb:%1-%2").arg(bus).arg(numbers.join(QLatin1Char('.')));
}

QString SocketIdentity(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return kSocketPrefix + (canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical);
}

QString SimulatorIdentity(int index)
{
    return kSimulatorPrefix + QString::number(index);
}

DeviceName ParseDeviceName(const QString &text)
{
    DeviceName name;
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber && number >= 1 && text.front().isDigit()) {
        name.kind = DeviceName::Kind::ListNumber;
        name.number = number;
        return name;
    }
    QString usb = text;
    if (usb.startsWith(kUsbPrefix, Qt::CaseInsensitive))
        usb = usb.mid(kUsbPrefix.size());
    if (IsUsbPortText(usb)) {
        name.kind = DeviceName::Kind::Identity;
        name.identity = kUsbPrefix + usb;
        return name;
    }
    if (text.startsWith(kSimulatorPrefix, Qt::CaseInsensitive)) {
        bool ok = false;
        const int index = text.mid(kSimulatorPrefix.size()).toInt(&ok);
        if (ok && index >= 1 && text.mid(kSimulatorPrefix.size()).front().isDigit()) {
            name.kind = DeviceName::Kind::Identity;
            name.identity = SimulatorIdentity(index);
        }
        return name;
    }
    QString socket = text;
    const bool prefixed = socket.startsWith(kSocketPrefix, Qt::CaseInsensitive);
    if (prefixed)
        socket = socket.mid(kSocketPrefix.size());
    // A bare word could be a typo of anything; only a path that looks like
    // one is taken as a socket without the prefix.
    const bool looksLikePath = socket.startsWith(QLatin1Char('/')) || socket.startsWith(QLatin1String("./"))
                               || socket.startsWith(QLatin1String("../"));
    if (!socket.isEmpty() && (prefixed || looksLikePath)) {
        name.kind = DeviceName::Kind::Identity;
        name.identity = SocketIdentity(socket);
    }
    return name;
}

} // namespace rpu
