#pragma once
// Names of registration backup files: role prefix, address, start-date stamp,
// "object_", object number, "_conf_", configuration code, ".rrg". Also the
// address check of the backup page.

#include <QString>
#include <QStringList>

namespace rpu {

// The item of the role group on the backup page.
enum class RegistrationRole { None, Rpu, Rtr };

inline const QString kRpuFilePrefix = QStringLiteral("ksy_rpu_");
inline const QString kRtrFilePrefix = QStringLiteral("ksy_rtr_");
inline const QString kObjectPrefix = QStringLiteral("object_");
inline const QString kConfigurationCodeInfix = QStringLiteral("_conf_");
inline const QString kBackupSuffix = QStringLiteral("rrg");

// Longest address or object number put into a name, so that the whole name
// stays within what file systems allow.
inline constexpr int kMaxNamePieceLength = 32;

// A piece made fit for a file name: control characters, path separators and
// the characters Windows refuses (< > : " / \ | ? *) become "-", and it is
// cut to kMaxNamePieceLength characters. Nothing typed can then move the
// file out of its folder or make the save fail.
QString FileNameSafePiece(const QString &text, int maxLength = kMaxNamePieceLength);

// The name offered on saving, ".rrg" included. Without a role it is only
// "_conf_" and the code. Every piece passes through FileNameSafePiece.
QString ComposeBackupFileName(RegistrationRole role, const QString &address,
                              const QString &dateStamp, const QString &objectNumber,
                              const QString &configurationCode);

struct BackupNameParts {
    RegistrationRole role = RegistrationRole::None;
    QString address;       // empty without a role prefix
    QString objectNumber;  // empty without "object_"
};

// Reads role, address and object number back from a file name (a folder
// and the ".rrg" ending are dropped). Prefixes match in any case; the
// pieces are copied as they stand, each up to the next "_". A name with both
// prefixes counts as "ksy_rtr_".
BackupNameParts ParseBackupFileName(const QString &fileName);

// The name the open and delete dialogs start with: "ksy_rpu_*", "ksy_rtr_*"
// or empty.
QString BackupDialogFileName(RegistrationRole role);

// The addresses the drop-down offers: "1".."4" for РПУ, "5".."196" for РТР.
QStringList ModuleNumberChoices(RegistrationRole role);

// The check made when the address edit loses focus: empty text passes; text
// that is not a decimal integer counts as -1; РПУ takes 1..4, РТР 5..196;
// without a role everything passes.
bool ModuleNumberAccepted(RegistrationRole role, const QString &text);

} // namespace rpu
