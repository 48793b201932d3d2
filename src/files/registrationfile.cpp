#include "files/registrationfile.h"

#include <QFile>
#include <QFileInfo>

namespace rpu {

RegistrationBackup RegistrationBackup::FromCells(std::span<const int> cells)
{
    RegistrationBackup backup;
    backup.values.reserve(qsizetype(cells.size()));
    for (int cell : cells)
        backup.values.append(char(cell & 0xFF));
    return backup;
}

std::vector<int> RegistrationBackup::ImageCells() const
{
    const QByteArray image = Image();
    std::vector<int> cells;
    cells.reserve(std::size_t(image.size()));
    for (char byte : image)
        cells.push_back(quint8(byte));
    return cells;
}

QStringList RegistrationBackup::Lines() const
{
    QStringList lines;
    lines.reserve(values.size());
    for (char byte : values)
        lines << QString::number(quint8(byte));
    return lines;
}

FileResult<RegistrationBackup> ParseRegistrationText(QByteArrayView allText)
{
    // Blank lines after the data (what a text editor leaves) are no values:
    // the configuration code stays the last number.
    qsizetype last = allText.size();
    while (last > 0 && QChar::isSpace(uchar(allText[last - 1])))
        --last;
    qsizetype end = last;
    while (end < allText.size() && allText[end] != '\r' && allText[end] != '\n')
        ++end;
    const QByteArrayView text = allText.first(end);
    RegistrationBackup backup;
    // Every value but the last takes a digit and a line end: at most half
    // the bytes, rounded up.
    backup.values.resize(text.size() / 2 + 1);
    char *out = backup.values.data();
    TextLineCursor cursor(text);
    QByteArrayView line;
    bool bad = false;
    while (cursor.Next(line)) {
        qint64 value = 0;
        if (ReadDecimal(line, 0, 255, value) != DecimalFault::None) {
            bad = true;
            break;
        }
        *out++ = char(value);
    }
    // A short file is refused as short, whatever its lines hold.
    const qint64 lines = cursor.LinesRead() + (bad ? CountTextLines(cursor.Rest()) : 0);
    if (lines < kRegistrationImageSize)
        return {std::nullopt, TooShortError(lines, kRegistrationImageSize)};
    if (bad)
        return {std::nullopt, ParseDecimalLine(line, cursor.LinesRead(), 0, 255).error};
    backup.values.truncate(out - backup.values.constData());
    return {std::move(backup), {}};
}

FileResult<RegistrationBackup> ParseRegistrationLines(const QStringList &lines)
{
    return ParseRegistrationText(lines.join(QLatin1Char('\n')).toUtf8());
}

FileResult<RegistrationBackup> ReadRegistrationBackup(const QString &path)
{
    const auto text = ReadTextFile(path);
    if (!text.ok())
        return {std::nullopt, text.error};
    return ParseRegistrationText(*text.value);
}

FileError WriteRegistrationBackup(const QString &path, const RegistrationBackup &backup)
{
    if (backup.values.size() < kRegistrationImageSize)
        return TooShortError(backup.values.size(), kRegistrationImageSize);
    return WriteTextLines(path, backup.Lines());
}

RemoveResult RemoveRegistrationBackup(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {RemoveOutcome::AlreadyGone, {}};
    QFile file(path);
    if (file.remove())
        return {RemoveOutcome::Removed, {}};
    // Gone between the look and the removal: still what the user wanted.
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {RemoveOutcome::AlreadyGone, {}};
    return {RemoveOutcome::Failed, file.errorString()};
}

} // namespace rpu
