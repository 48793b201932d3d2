#include "firmware/firmwarefile.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "io/safefile.h"
#include "link/demofirmware.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <climits>

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
    // Only a regular file is opened, and without blocking: a FIFO put in
    // place of the entry would otherwise hold the window for good.
    FileBytes file = ReadRegularFile(path, kMaxFirmwareFileSize);
    switch (file.fault) {
    case FileFault::None:
        break;
    case FileFault::TooLarge:
        result.size = info.size();
        result.modified = info.lastModified();
        result.verdict = FirmwareVerdict::BadFormat;
        return result;
    case FileFault::Missing:
        result.readError = FirmwareReadError::Missing;
        return result;
    case FileFault::IsFolder:
        result.readError = FirmwareReadError::IsFolder;
        return result;
    case FileFault::NotRegular:
        result.readError = FirmwareReadError::NotRegular;
        return result;
    case FileFault::CannotOpen:
    case FileFault::CannotWrite:
        result.readError = FirmwareReadError::CannotOpen;
        result.systemMessage = file.systemMessage;
        return result;
    case FileFault::CannotRead:
        result.readError = FirmwareReadError::CannotRead;
        result.systemMessage = file.systemMessage;
        return result;
    }
    QByteArray bytes = std::move(file.bytes);
    result.size = bytes.size();
    result.modified = info.lastModified();

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

int FirmwareVerdictMessage(FirmwareVerdict verdict)
{
    switch (verdict) {
    case FirmwareVerdict::BadFormat: return msg::kFirmwareBadFormat;
    case FirmwareVerdict::WrongType: return msg::kFirmwareWrongType;
    case FirmwareVerdict::Accepted:
    case FirmwareVerdict::Unreadable: break;
    }
    return 0;
}

QString DescribeFirmwareFile(const FirmwareFile &file, const QString &shownName,
                             const MessageCatalogue &catalogue)
{
    switch (file.readError) {
    case FirmwareReadError::None: break;
    case FirmwareReadError::Missing: return catalogue.Format(msg::kFileMissing, shownName);
    case FirmwareReadError::IsFolder: return catalogue.Format(msg::kFileIsFolder, shownName);
    case FirmwareReadError::NotRegular: return catalogue.Format(msg::kFileNotRegular, shownName);
    case FirmwareReadError::CannotOpen:
        return catalogue.Format(msg::kFileCannotOpen, {shownName, file.systemMessage});
    case FirmwareReadError::CannotRead:
        return catalogue.Format(msg::kFileCannotRead, {shownName, file.systemMessage});
    }
    const int verdictMessage = FirmwareVerdictMessage(file.verdict);
    return verdictMessage ? catalogue.Text(verdictMessage) : QString();
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
