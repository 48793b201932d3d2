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

FileResult<RegistrationBackup> ParseRegistrationLines(const QStringList &allLines)
{
    // Blank lines after the data (what a text editor leaves) are no values:
    // the configuration code stays the last number.
    qsizetype end = allLines.size();
    while (end > kRegistrationImageSize && allLines.at(end - 1).trimmed().isEmpty())
        --end;
    const QStringList lines = allLines.first(end);
    if (lines.size() < kRegistrationImageSize)
        return {std::nullopt, TooShortError(lines.size(), kRegistrationImageSize)};
    RegistrationBackup backup;
    backup.values.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto value = ParseDecimalLine(lines.at(i), int(i + 1), 0, 255);
        if (!value.ok())
            return {std::nullopt, value.error};
        backup.values.append(char(*value.value));
    }
    return {backup, {}};
}

FileResult<RegistrationBackup> ReadRegistrationBackup(const QString &path)
{
    const auto lines = ReadTextLines(path);
    if (!lines.ok())
        return {std::nullopt, lines.error};
    return ParseRegistrationLines(*lines.value);
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
