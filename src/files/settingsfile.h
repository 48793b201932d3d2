#pragma once
// Settings files (".cfg" in "conf"): the first 96 cells of the settings image,
// one unsigned decimal per line. Reading gives the raw numbers; checking
// them against the field table is the settings model's work.

#include "files/textlines.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <optional>
#include <span>

namespace rpu {

inline constexpr int kSettingsFileCells = 96;
using SettingsFileCells = std::array<quint32, kSettingsFileCells>;

struct SettingsFileContent {
    SettingsFileCells cells{};
    int lineCount = 0;  // lines in the file; those after line 96 are not used
};

// The value buffer's lines for a save: each cell as unsigned decimal text.
QStringList SettingsFileLines(std::span<const quint32, kSettingsFileCells> cells);

// Lines 1..96 into cells; further lines are ignored. A line is a decimal
// integer (leading blanks and a sign allowed) from -2147483648 to 4294967295;
// negatives wrap to their unsigned 32-bit value, as the old program stored
// them. Older versions saved 4294967295 for a time list without selection.
FileResult<SettingsFileCells> ParseSettingsLines(const QStringList &lines);
// The same over a file's text in one pass, without a string per line.
FileResult<SettingsFileContent> ParseSettingsText(QByteArrayView text);

FileResult<SettingsFileContent> ReadSettingsFile(const QString &path);
// Exactly 96 lines, CR LF after each; atomic.
FileError WriteSettingsFile(const QString &path, std::span<const quint32, kSettingsFileCells> cells);

// The device-mode radio button selected on the main page, if any.
enum class DeviceModeChoice { None, Rpu, Rtr, Mro };

// The name the save dialog offers (the dialog adds ".cfg"); nullopt where the
// dialog keeps the name of its previous use. deviceClass: -1 none, 0 receiver
// or repeater, 1 relay module, 2 this edition's receiver.
std::optional<QString> DefaultSettingsFileName(bool demo, DeviceModeChoice mode, int deviceClass);

} // namespace rpu
