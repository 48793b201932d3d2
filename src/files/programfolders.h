#pragma once
// Where the program keeps and finds its files. A portable program (a build
// tree, an unpacked folder) keeps everything beside itself. An installed one
// writes nothing there: the user's files go to the per-user data and config
// folders, and what the package ships is read from its share folder.

#include <QString>
#include <QStringList>

namespace rpu {

// The folder name under the share, data and config folders.
inline const QString kPackageFolderName = QStringLiteral("dorel-rpu-sela");
// The simulator's demo images, beside "base" in the lookup folders; listed
// only while the device is simulated.
inline const QString kDemoFirmwareFolderName = QStringLiteral("demo-firmware");

// The user's standard folders.
struct UserFolders {
    QString dataHome;      // where the user's data is written
    QString configHome;    // where the user's configuration is written
    QStringList dataDirs;  // the system's data folders, in lookup order
};

// Read from QStandardPaths now, so XDG_DATA_HOME, XDG_CONFIG_HOME and
// XDG_DATA_DIRS count.
UserFolders StandardUserFolders();

struct ProgramFolders {
    bool installed = false;
    QString programFolder;   // the program's own folder, no trailing separator
    QString dataFolder;      // holds "reg", "base" and "conf"
    QString configFile;      // the configuration file
    QStringList lookup;      // read-only files (modules, help, shipped firmware), first match wins
    bool demoFirmware = false;  // the device is simulated: its demo images are offered too

    // The firmware folders: the user's "base" first, then "base" in each
    // lookup folder, then (demoFirmware) the demo folder in each.
    QStringList FirmwareFolders() const;
    // The first lookup folder's path of relativePath when it is a file there;
    // empty when no folder holds it.
    QString FindFile(const QString &relativePath) const;
};

// The program's path with its extension replaced by ".INI" (a path without
// extension gets ".INI" appended).
QString ConfigFilePath(const QString &programFilePath);

// Installed when the program's folder is not writable or
// "<program folder>/../share/dorel-rpu-sela" exists (root may write to
// /usr/bin, yet must not); else portable.
ProgramFolders ResolveProgramFolders(const QString &programFilePath, bool programFolderWritable,
                                     const UserFolders &user);
// The same with the folder's writability and the standard folders as they are.
ProgramFolders ProgramFoldersOf(const QString &programFilePath);

// Makes "reg", "base" and "conf" in the data folder where they are missing.
// A folder that cannot be made shows later, in the file operations.
void MakeWorkingFolders(const ProgramFolders &folders);

} // namespace rpu
