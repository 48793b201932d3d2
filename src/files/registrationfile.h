#pragma once
// Registration backup files (".rrg" in "reg"): the registration memory,
// device blocks 0..6, one byte per line.

#include "files/textlines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace rpu {

inline constexpr int kRegistrationImageSize = 1792;

// The lines of a backup as numbers. A backup read from a device has exactly
// the image; a file may carry further lines, which are kept so that a
// re-save writes the file as it was and its last line stays the code.
struct RegistrationBackup {
    QByteArray values;  // at least kRegistrationImageSize bytes

    static RegistrationBackup FromImage(const QByteArray &image) { return {image}; }
    // From the cells of a device read: the low 8 bits of each.
    static RegistrationBackup FromCells(std::span<const int> cells);
    // Lines 1..1792: what a restore sends to the device.
    QByteArray Image() const { return values.left(kRegistrationImageSize); }
    std::vector<int> ImageCells() const;
    // The last line: shown as the configuration code and used in the file name.
    int ConfigurationCode() const { return values.isEmpty() ? 0 : quint8(values.back()); }
    QStringList Lines() const;
};

// At least 1792 lines, every one a decimal 0..255 (leading blanks and a sign
// allowed); blank lines after the last value are dropped. Anything else is refused, so that no restore can send a short or
// damaged image.
FileResult<RegistrationBackup> ParseRegistrationLines(const QStringList &lines);
// The same over a file's text in one pass, without a string per line.
FileResult<RegistrationBackup> ParseRegistrationText(QByteArrayView text);

FileResult<RegistrationBackup> ReadRegistrationBackup(const QString &path);
// All values, one per line with CR LF; atomic. A backup shorter than the
// image is refused (TooShort) and nothing is written.
FileError WriteRegistrationBackup(const QString &path, const RegistrationBackup &backup);

enum class RemoveOutcome {
    Removed,
    AlreadyGone,  // counts as success: the file the user wanted away is away
    Failed,       // the file is still there
};

struct RemoveResult {
    RemoveOutcome outcome = RemoveOutcome::Failed;
    QString systemMessage;

    bool succeeded() const { return outcome != RemoveOutcome::Failed; }
};

RemoveResult RemoveRegistrationBackup(const QString &path);

} // namespace rpu
