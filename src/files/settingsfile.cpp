#include "files/settingsfile.h"

#include <limits>

namespace rpu {

QStringList SettingsFileLines(std::span<const quint32, kSettingsFileCells> cells)
{
    QStringList lines;
    lines.reserve(kSettingsFileCells);
    for (quint32 cell : cells)
        lines << QString::number(cell);
    return lines;
}

namespace {

FileResult<qint64> ParseCell(QByteArrayView line, int number)
{
    return ParseDecimalLine(line, number, std::numeric_limits<qint32>::min(), std::numeric_limits<quint32>::max());
}

} // namespace

FileResult<SettingsFileContent> ParseSettingsText(QByteArrayView text)
{
    SettingsFileContent content;
    content.lineCount = CountTextLines(text);
    if (content.lineCount < kSettingsFileCells)
        return {std::nullopt, TooShortError(content.lineCount, kSettingsFileCells)};
    TextLineCursor cursor(text);
    QByteArrayView line;
    for (int i = 0; i < kSettingsFileCells && cursor.Next(line); ++i) {
        const auto value = ParseCell(line, i + 1);
        if (!value.ok())
            return {std::nullopt, value.error};
        content.cells[i] = quint32(*value.value);
    }
    return {content, {}};
}

FileResult<SettingsFileCells> ParseSettingsLines(const QStringList &lines)
{
    const auto content = ParseSettingsText(lines.join(QLatin1Char('\n')).toUtf8());
    if (!content.ok())
        return {std::nullopt, content.error};
    return {content.value->cells, {}};
}

FileResult<SettingsFileContent> ReadSettingsFile(const QString &path)
{
    const auto text = ReadTextFile(path);
    if (!text.ok())
        return {std::nullopt, text.error};
    return ParseSettingsText(*text.value);
}

FileError WriteSettingsFile(const QString &path, std::span<const quint32, kSettingsFileCells> cells)
{
    return WriteTextLines(path, SettingsFileLines(cells));
}

std::optional<QString> DefaultSettingsFileName(bool demo, DeviceModeChoice mode, int deviceClass)
{
    const QString rpu = QStringLiteral("ksy_rpu_auto");
    const QString rtr = QStringLiteral("ksy_rtr");
    const QString mro = QStringLiteral("ksy_mro");
    if (demo || deviceClass == 0) {
        switch (mode) {
        case DeviceModeChoice::Rpu: return rpu;
        case DeviceModeChoice::Rtr: return rtr;
        case DeviceModeChoice::Mro: return demo ? std::optional(mro) : std::nullopt;
        case DeviceModeChoice::None: return std::nullopt;
        }
    }
    if (deviceClass == 1)
        return mro;
    return std::nullopt;
}

} // namespace rpu
