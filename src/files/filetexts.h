#pragma once
// Catalogue numbers of the texts the settings-file and backup flows show, and
// what each of their file dialogs is set up with. The window reads the texts
// from the catalogue, so a language module translates them.

#include "i18n/messageids.h"

#include <QDir>
#include <QString>

namespace rpu {

// Status texts, questions and box titles.
namespace filemsg {
inline constexpr int kErrorTitle = msg::kTitleError;
inline constexpr int kSystemTitle = msg::kTitleSystem;
inline constexpr int kOverwriteQuestion = msg::kOverwriteQuestion;
inline constexpr int kSaveCancelled = msg::kSaveCancelled;
inline constexpr int kReadCancelled = msg::kReadCancelled;
inline constexpr int kDeleteCancelled = msg::kDeleteCancelled;

inline constexpr int kSavingSettings = msg::kSavingSettings;
inline constexpr int kSettingsSaved = msg::kSettingsSaved;
inline constexpr int kReadingSettings = msg::kReadingSettings;
inline constexpr int kSettingsRead = msg::kSettingsRead;
// "wrong size": the catalogue's text for a settings file that is too short.
inline constexpr int kSettingsWrongSize = msg::kSettingsWrongSize;

inline constexpr int kNeedModuleAndObject = msg::kNeedModuleAndObject;
inline constexpr int kInvalidModuleNumber = msg::kInvalidModuleNumber;
inline constexpr int kSavingBackup = msg::kSavingBackup;
inline constexpr int kBackupSaved = msg::kBackupSaved;
inline constexpr int kReadingBackup = msg::kReadingBackup;
inline constexpr int kBackupRead = msg::kBackupRead;
inline constexpr int kDeletingBackup = msg::kDeletingBackup;
inline constexpr int kDeleteQuestion = msg::kDeleteBackupQuestion;  // %s: the file name
inline constexpr int kBackupDeleted = msg::kBackupDeleted;
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

inline const FileDialogSpec kSaveSettingsDialog{msg::kSavingSettings, msg::kSettingsFilter, QStringLiteral("cfg"), kSettingsFolderName};
inline const FileDialogSpec kOpenSettingsDialog{msg::kOpenSettingsTitle, msg::kSettingsFilter, QStringLiteral("cfg"), kSettingsFolderName};
inline const FileDialogSpec kSaveBackupDialog{msg::kSaveBackupTitle, msg::kBackupFilter, QStringLiteral("rrg"), kBackupFolderName};
inline const FileDialogSpec kOpenBackupDialog{msg::kOpenBackupTitle, msg::kBackupFilter, QStringLiteral("rrg"), kBackupFolderName};
inline const FileDialogSpec kDeleteBackupDialog{msg::kDeletingBackup, msg::kBackupFilter, QStringLiteral("rrg"), kBackupFolderName};

} // namespace rpu
