#include "firmware/firmwarefile.h"

#include "link/demofirmware.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rpu {

bool FirmwareLengthFitsPackets(qint64 length)
{
    return length >= kMinFirmwareFileSize
        && (length - kMinFirmwareFileSize) % kPacketSize == 0;
}

FirmwareFile ReadFirmwareFile(const QString &path)
{
    FirmwareFile result;
    const QFileInfo info(path);
    result.fileName = info.fileName();
    if (!info.exists()) {
        result.errorText = QStringLiteral("%1: no such file").arg(path);
        return result;
    }
    if (info.isDir()) {
        result.errorText = QStringLiteral("%1: is a folder").arg(path);
        return result;
    }
    result.size = info.size();
    result.modified = info.lastModified();

    if (result.size > kMaxFirmwareFileSize) {
        result.verdict = FirmwareVerdict::BadFormat;
        return result;
    }

    // Opened without blocking and checked on the open descriptor: a FIFO
    // put in place of the entry would otherwise hold the window for good.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.errorText = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.errorText = QStringLiteral("%1: not a regular file").arg(path);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.errorText = QStringLiteral("%1: %2").arg(path, file.errorString());
        return result;
    }
    // One byte more than allowed tells a file that grew since it was listed.
    QByteArray bytes = file.read(kMaxFirmwareFileSize + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    const QString readError = file.errorString();
    file.close();
    if (readFailed) {
        result.errorText = QStringLiteral("%1: %2").arg(path, readError);
        return result;
    }
    result.size = bytes.size();
    if (result.size > kMaxFirmwareFileSize) {
        result.verdict = FirmwareVerdict::BadFormat;
        return result;
    }

    const auto at = [&bytes](int i) { return static_cast<std::uint8_t>(bytes[i]); };
    if (bytes.size() < 4 || at(0) != kFirmwareHeaderByte || at(1) != kFirmwareHeaderByte) {
        result.verdict = FirmwareVerdict::BadFormat;
        return result;
    }
    result.typeCode = at(2);
    result.versionByte = at(3);
    if (result.typeCode != kSelaFirmwareTypeCode) {
        result.verdict = FirmwareVerdict::WrongType;
        return result;
    }
    if (!FirmwareLengthFitsPackets(bytes.size())) {
        result.verdict = FirmwareVerdict::BadFormat;
        return result;
    }
    result.verdict = FirmwareVerdict::Accepted;
    result.bytes = std::move(bytes);
    return result;
}

QString FormatFirmwareVersion(int v)
{
    const int major = v >= 100 ? v / 100 : v / 10;
    return QStringLiteral("%1_%2").arg(major).arg(v % 10);
}

bool FirmwareNameLess(const QString &a, const QString &b)
{
    const int folded = a.toUpper().compare(b.toUpper(), Qt::CaseSensitive);
    if (folded != 0)
        return folded < 0;
    return a.compare(b, Qt::CaseSensitive) < 0;
}

namespace {

// A folder or an unreadable entry would only fail later, at the pick or,
// worse, as the "newest" name that the offer points to.
bool IsListedFirmware(const QFileInfo &entry)
{
    return entry.fileName().toLower().contains(QLatin1String("sela")) && entry.isFile() && entry.isReadable();
}

} // namespace

QStringList ListFirmwareFolder(const QString &folder)
{
    return ListFirmwareFolders({folder});
}

QStringList ListFirmwareFolders(const QStringList &folders)
{
    QStringList names;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        const QFileInfoList entries = QDir(folder).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QFileInfo &entry : entries) {
            if (IsListedFirmware(entry) && !seen.contains(entry.fileName())) {
                seen.insert(entry.fileName());
                names.append(entry.fileName());
            }
        }
    }
    std::sort(names.begin(), names.end(), FirmwareNameLess);
    return names;
}

QString FirmwareFilePath(const QStringList &folders, const QString &name)
{
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (IsListedFirmware(QFileInfo(path)))
            return path;
    }
    return folders.isEmpty() ? name : QDir(folders.front()).filePath(name);
}

std::optional<int> FirmwareNameVersion(const QString &name)
{
    qint64 value = 0;
    bool anyDigit = false;
    for (const QChar c : name) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            continue;
        anyDigit = true;
        value = value * 10 + (c.unicode() - '0');
        if (value > INT_MAX)
            return std::nullopt;
    }
    if (!anyDigit)
        return std::nullopt;
    return static_cast<int>(value);
}

NewerFirmwareCheck CheckNewerFirmware(const QStringList &listed, int deviceClass,
                                      int deviceVersionByte)
{
    NewerFirmwareCheck check;
    check.listed = listed;
    if (listed.isEmpty() || deviceClass != kSelaDeviceClass)
        return check;
    const QString &last = listed.last();
    const std::optional<int> candidate = FirmwareNameVersion(last);
    if (candidate && *candidate > deviceVersionByte) {
        check.newer = true;
        check.name = last;
    }
    return check;
}

NewerFirmwareCheck FindNewerFirmwareIn(const QString &folder, int deviceClass,
                                       int deviceVersionByte)
{
    return FindNewerFirmwareIn(QStringList{folder}, deviceClass, deviceVersionByte);
}

NewerFirmwareCheck FindNewerFirmwareIn(const QStringList &folders, int deviceClass,
                                       int deviceVersionByte)
{
    return CheckNewerFirmware(ListFirmwareFolders(folders), deviceClass, deviceVersionByte);
}

QByteArray MakeFirmwareImage(std::uint8_t typeCode, std::uint8_t versionByte, int packets)
{
    packets = std::max(packets, 0);
    QByteArray image;
    image.reserve(kMinFirmwareFileSize + qint64(packets) * kPacketSize);
    image.append(char(kFirmwareHeaderByte));
    image.append(char(kFirmwareHeaderByte));
    image.append(char(typeCode));
    image.append(char(versionByte));
    image.append(char(packets & 0xFF));
    image.append(char((packets >> 8) & 0xFF));
    image.append(char(0));
    image.append(char(0));
    std::uint16_t sum = 0;
    for (int i = 0; i < packets * kPacketSize; ++i) {
        const auto b = static_cast<std::uint8_t>((i * 7 + versionByte + (i >> 8)) & 0xFF);
        sum = static_cast<std::uint16_t>(sum + b);
        image.append(char(b));
    }
    image.append(char(sum & 0xFF));
    image.append(char(sum >> 8));
    return image;
}

QByteArray MakeDemoFirmwareImage(std::uint8_t versionByte, int packets)
{
    QByteArray image = MakeFirmwareImage(kSelaFirmwareTypeCode, versionByte, std::max(packets, 1));
    image.replace(qsizetype(kDemoFirmwareTagOffset), qsizetype(kDemoFirmwareTag.size()),
                  QByteArray(kDemoFirmwareTag.data(), qsizetype(kDemoFirmwareTag.size())));
    image.replace(qsizetype(kDemoFirmwareTextOffset), qsizetype(kDemoFirmwareText.size()),
                  QByteArray(kDemoFirmwareText.data(), qsizetype(kDemoFirmwareText.size())));
    // The tail keeps its meaning: the sum of the body bytes.
    std::uint16_t sum = 0;
    for (qsizetype i = kFirmwareFrameBytes; i < image.size() - kFirmwareTailBytes; ++i)
        sum = static_cast<std::uint16_t>(sum + std::uint8_t(image[i]));
    image[image.size() - 2] = char(sum & 0xFF);
    image[image.size() - 1] = char(sum >> 8);
    return image;
}

} // namespace rpu
