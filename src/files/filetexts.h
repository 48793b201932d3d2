#pragma once
// Catalogue numbers of the texts the settings-file and backup flows show, and
// what each of their file dialogs is set up with. The window reads the texts
// from the catalogue, so a language module translates them.

#include <QDir>
#include <QString>

namespace rpu {

// Status texts, questions and box titles.
namespace filemsg {
inline constexpr int kErrorTitle = 10001;
inline constexpr int kSystemTitle = 10013;
inline constexpr int kOverwriteQuestion = 10042;
inline constexpr int kSaveCancelled = 10068;
inline constexpr int kReadCancelled = 10070;
inline constexpr int kDeleteCancelled = 10069;

inline constexpr int kSavingSettings = 10044;
inline constexpr int kSettingsSaved = 10045;
inline constexpr int kReadingSettings = 10034;
inline constexpr int kSettingsRead = 10038;
// "wrong size": the catalogue's text for a settings file that is too short.
inline constexpr int kSettingsWrongSize = 10037;

inline constexpr int kNeedModuleAndObject = 10039;
inline constexpr int kInvalidModuleNumber = 10030;
inline constexpr int kSavingBackup = 10040;
inline constexpr int kBackupSaved = 10043;
inline constexpr int kReadingBackup = 10031;
inline constexpr int kBackupRead = 10033;
inline constexpr int kDeletingBackup = 10026;
inline constexpr int kDeleteQuestion = 10028;  // %s: the file name
inline constexpr int kBackupDeleted = 10029;
} // namespace filemsg

inline const QString kSettingsFolderName = QStringLiteral("conf");
inline const QString kBackupFolderName = QStringLiteral("reg");

struct FileDialogSpec {
    int titleMessage;
    int filterMessage;     // "Description (*.ext)|*.ext"
    QString defaultSuffix; // without the dot
    QString folderName;    // below the program's folder

    QString Folder(const QString &programFolder) const
    {
        return QDir(programFolder).filePath(folderName);
    }
};

inline const FileDialogSpec kSaveSettingsDialog{10044, 10036, QStringLiteral("cfg"), kSettingsFolderName};
inline const FileDialogSpec kOpenSettingsDialog{10035, 10036, QStringLiteral("cfg"), kSettingsFolderName};
inline const FileDialogSpec kSaveBackupDialog{10041, 10027, QStringLiteral("rrg"), kBackupFolderName};
inline const FileDialogSpec kOpenBackupDialog{10032, 10027, QStringLiteral("rrg"), kBackupFolderName};
inline const FileDialogSpec kDeleteBackupDialog{10026, 10027, QStringLiteral("rrg"), kBackupFolderName};

} // namespace rpu
