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
    const int lines = CountTextLines(text);
    if (lines < kRegistrationImageSize)
        return {std::nullopt, TooShortError(lines, kRegistrationImageSize)};
    RegistrationBackup backup;
    backup.values.reserve(lines);
    TextLineCursor cursor(text);
    for (QByteArrayView line; cursor.Next(line);) {
        const auto value = ParseDecimalLine(line, cursor.LinesRead(), 0, 255);
        if (!value.ok())
            return {std::nullopt, value.error};
        backup.values.append(char(*value.value));
    }
    return {backup, {}};
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
