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

constexpr qint64 kCellMin = std::numeric_limits<qint32>::min();
constexpr qint64 kCellMax = std::numeric_limits<quint32>::max();

} // namespace

FileResult<SettingsFileContent> ParseSettingsText(QByteArrayView text)
{
    SettingsFileContent content;
    TextLineCursor cursor(text);
    // A bad cell is reported only once the file is known to have 96 lines:
    // a short file is refused as short, whatever its lines hold.
    int badLine = 0;
    QByteArrayView bad;
    for (QByteArrayView line; cursor.LinesRead() < kSettingsFileCells && cursor.Next(line);) {
        qint64 value = 0;
        if (badLine == 0 && ReadDecimal(line, kCellMin, kCellMax, value) != DecimalFault::None) {
            badLine = cursor.LinesRead();
            bad = line;
        }
        content.cells[cursor.LinesRead() - 1] = quint32(value);
    }
    if (cursor.LinesRead() < kSettingsFileCells)
        return {std::nullopt, TooShortError(cursor.LinesRead(), kSettingsFileCells)};
    if (badLine != 0)
        return {std::nullopt, ParseDecimalLine(bad, badLine, kCellMin, kCellMax).error};
    // The lines after line 96 are only counted.
    const qint64 more = CountTextLines(cursor.Rest());
    content.lineCount = int(std::min<qint64>(kSettingsFileCells + more, std::numeric_limits<int>::max()));
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
