#pragma once
// What differs between two settings images, said in the words of the output
// editors and in the catalogue's language: one change per field an editor
// shows, so a bench can check what a write is about to do and keep a record
// of what it did.

#include "ops/settingsops.h"
#include "settings/settingsimage.h"

#include <QJsonArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

namespace rpu {
class MessageCatalogue;
}

namespace rpu::ops {

// One side of a comparison. A section the side does not hold (a file saved
// from one page leaves the other all 0) is named as missing, not compared.
struct SettingsSide {
    SettingsImage image{};
    SectionSet sections = SectionSet::Both();
};

struct SettingsChange {
    SettingsSection section = SettingsSection::Relay;
    int output = 0;   // 1..3; 0 when the whole section changed
    QString fieldId;  // language-independent: "mode", "partition:5", "notification:AlarmEvent", "section", ...
    QString field;    // the editors' word: "режим", "раздел 5", ...; empty for the whole section
    QString before;
    QString after;
    QString text;     // the whole change as one line
    friend bool operator==(const SettingsChange &, const SettingsChange &) = default;
};

// Changes in editor order: relay section before RPU, output 1..3, then mode,
// bindings, notifications, inversion, close, open, duration. A section out of
// range (erased) or missing on either side is one change, never its fields.
std::vector<SettingsChange> DiffSettings(const SettingsSide &before, const SettingsSide &after,
                                         const MessageCatalogue &catalogue, const QLocale &locale = QLocale());
// Both sides hold both sections, as a device's block does.
std::vector<SettingsChange> DiffSettings(const SettingsImage &before, const SettingsImage &after,
                                         const MessageCatalogue &catalogue, const QLocale &locale = QLocale());

// One object per change: section ("relay" or "rpu"), output (1..3 or null),
// field, fieldId, before, after, text.
QJsonArray SettingsChangesJson(const std::vector<SettingsChange> &changes);
// One line per change.
QStringList SettingsChangesText(const std::vector<SettingsChange> &changes);

} // namespace rpu::ops
