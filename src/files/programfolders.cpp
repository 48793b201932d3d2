#include "files/programfolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace rpu {

namespace {

const QStringList kWorkingFolders = {QStringLiteral("reg"), QStringLiteral("base"), QStringLiteral("conf")};

QString PackageFolderIn(const QString &folder)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + kPackageFolderName);
}

} // namespace

UserFolders StandardUserFolders()
{
    UserFolders user;
    user.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    user.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    user.dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    user.dataDirs.removeAll(user.dataHome);
    return user;
}

QStringList ProgramFolders::FirmwareFolders() const
{
    QStringList folders{dataFolder + QStringLiteral("/base")};
    QStringList subfolders{QStringLiteral("/base")};
    if (demoFirmware)
        subfolders << QLatin1Char('/') + kDemoFirmwareFolderName;
    for (const QString &sub : std::as_const(subfolders)) {
        for (const QString &folder : lookup) {
            if (!folders.contains(folder + sub))
                folders << folder + sub;
        }
    }
    return folders;
}

QString ProgramFolders::FindFile(const QString &relativePath) const
{
    for (const QString &folder : lookup) {
        const QString path = QDir(folder).filePath(relativePath);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QString ConfigFilePath(const QString &programFilePath)
{
    const QFileInfo info(programFilePath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot names a hidden file; it is not an extension.
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString folder = programFilePath.left(programFilePath.size() - name.size());
    return folder + base + QStringLiteral(".INI");
}

ProgramFolders ResolveProgramFolders(const QString &programFilePath, bool programFolderWritable,
                                     const UserFolders &user)
{
    ProgramFolders folders;
    folders.programFolder = QDir::cleanPath(QFileInfo(programFilePath).absolutePath());
    const QString share = PackageFolderIn(folders.programFolder + QStringLiteral("/../share"));
    folders.installed = !programFolderWritable || QFileInfo(share).isDir();
    if (!folders.installed) {
        folders.dataFolder = folders.programFolder;
        folders.configFile = ConfigFilePath(programFilePath);
        folders.lookup = {folders.programFolder};
        return folders;
    }
    folders.dataFolder = PackageFolderIn(user.dataHome);
    folders.configFile = PackageFolderIn(user.configHome) + QLatin1Char('/')
                         + QFileInfo(ConfigFilePath(programFilePath)).fileName();
    folders.lookup = {folders.programFolder, folders.dataFolder, share};
    for (const QString &dir : user.dataDirs)
        folders.lookup << PackageFolderIn(dir);
    folders.lookup.removeDuplicates();
    return folders;
}

ProgramFolders ProgramFoldersOf(const QString &programFilePath)
{
    const QString folder = QFileInfo(programFilePath).absolutePath();
    return ResolveProgramFolders(programFilePath, QFileInfo(folder).isWritable(), StandardUserFolders());
}

void MakeWorkingFolders(const ProgramFolders &folders)
{
    const QDir data(folders.dataFolder);
    for (const QString &name : kWorkingFolders) {
        if (!QFileInfo(data, name).isDir())
            data.mkpath(name);
    }
}

} // namespace rpu
