#pragma once
// Time cells and the drop-down lists they index: item k of a list is the
// cell value k, except in the sounder list where item k is k + 10 minutes.

#include "settings/settingsimage.h"

#include <QLocale>
#include <QStringList>

namespace rpu {

class MessageCatalogue;

enum class TimeEncoding {
    HalfSecond, // 1..254 x 0.5 s
    FiveSecond, // 1..254 x 5 s
    Minutes,    // 10..254 minutes; 0..9 read as 10
};

inline constexpr int kTimeListItems = 256;
inline constexpr int kSounderListItems = 246;
inline constexpr int kTimeOffItem = 0;
inline constexpr int kTimeConstantItem = 255;
inline constexpr quint32 kSounderFirstMinutes = 10;

// The relay section counts the sounder's duration in minutes; the RPU
// section always in five-second steps.
TimeEncoding DurationEncoding(SettingsSection section, OutputMode mode);

// Cell stored for a list's selected item. A list without a selection (-1)
// stores its first item, so no cell ever gets a value outside its range.
quint32 TimeCellFromItem(int item, TimeEncoding encoding);
int TimeItemFromCell(quint32 cell, TimeEncoding encoding);

// Fills a catalogue text's printf-style placeholders (%d, %.1f, %s, ...) in
// order with ready-made texts; "%%" gives "%". Placeholders without a value
// become empty, so a language module's text can never read past the values.
QString FillPlaceholders(const QString &pattern, const QStringList &values);

// The list builders clear the list first. n is the output number 1..3.
void AppendHalfSecondSteps(QStringList &list, const MessageCatalogue &catalogue, const QLocale &locale);
void FillOpenTimeList(int n, QStringList &list, const MessageCatalogue &catalogue, const QLocale &locale);
void FillCloseTimeList(int n, QStringList &list, const MessageCatalogue &catalogue, const QLocale &locale);
void FillDurationList(QStringList &list, const MessageCatalogue &catalogue);
void FillSounderDurationList(QStringList &list, const MessageCatalogue &catalogue);

} // namespace rpu
