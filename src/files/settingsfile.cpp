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

FileResult<SettingsFileCells> ParseSettingsLines(const QStringList &lines)
{
    if (lines.size() < kSettingsFileCells)
        return {std::nullopt, TooShortError(lines.size(), kSettingsFileCells)};
    SettingsFileCells cells{};
    for (int i = 0; i < kSettingsFileCells; ++i) {
        const auto value = ParseDecimalLine(lines.at(i), i + 1, std::numeric_limits<qint32>::min(),
                                            std::numeric_limits<quint32>::max());
        if (!value.ok())
            return {std::nullopt, value.error};
        cells[i] = quint32(*value.value);
    }
    return {cells, {}};
}

FileResult<SettingsFileContent> ReadSettingsFile(const QString &path)
{
    auto lines = ReadTextLines(path);
    if (!lines.ok())
        return {std::nullopt, lines.error};
    const auto cells = ParseSettingsLines(*lines.value);
    if (!cells.ok())
        return {std::nullopt, cells.error};
    return {SettingsFileContent{*cells.value, std::move(*lines.value)}, {}};
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
