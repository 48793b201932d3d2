#include "ops/receivermemory.h"

#include "files/uniquepath.h"
#include "ops/backupops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rpu::ops {

MemoryCopyVerdict CopyReceiverMemory(DeviceSession &session, const QString &dir, const QString &stem,
                                     const MessageCatalogue &catalogue)
{
    MemoryCopyVerdict v;
    const BackupReadVerdict registration = ReadBackup(session, Entry::Renew);
    if (!registration.ok()) {
        v.message = registration.message;
        return v;
    }
    const SettingsReadVerdict settings = ReadSettings(session, SectionSet::Both(), Entry::Renew);
    if (!settings.ok()) {
        v.message = settings.message;
        return v;
    }
    v.memory.registration = registration.backup;
    v.memory.settings = settings.image;

    // An earlier copy of the same name stays: it may be the only good one.
    const QString base = QDir(dir).filePath(stem);
    QString why;
    const QString rrg = UniqueBackupPath(base + QStringLiteral(".rrg"), &why);
    if (rrg.isEmpty()) {
        v.detail = base + QStringLiteral(".rrg: ") + why;
        return v;
    }
    if (const FileError error = WriteRegistrationBackup(rrg, v.memory.registration); !error.ok()) {
        QFile::remove(rrg);
        v.detail = DescribeFileError(error, rrg, catalogue);
        return v;
    }
    v.files << rrg;
    // The settings beside their registration copy, under the same name when free.
    const QFileInfo rrgInfo(rrg);
    const QString cfg =
        UniqueBackupPath(rrgInfo.dir().filePath(rrgInfo.completeBaseName() + QStringLiteral(".cfg")), &why);
    if (cfg.isEmpty()) {
        v.detail = rrg + QStringLiteral(": ") + why;
        return v;
    }
    const SettingsSaveVerdict file = SaveDeviceSettings(cfg, settings);
    v.settingsFaults = file.faults;
    if (!file.written())
        QFile::remove(cfg);
    if (!file.error.ok()) {
        v.detail = DescribeFileError(file.error, cfg, catalogue);
        return v;
    }
    if (file.written())
        v.files << cfg;
    return v;
}

BlockWriteVerdict WriteBackMemory(DeviceSession &session, const ReceiverMemory &memory)
{
    const BlockWriteVerdict registration = RestoreBackup(session, memory.registration, Entry::Renew, ReadBack::Yes);
    if (!registration.ok())
        return registration;
    const std::vector<int> settings(memory.settings.begin(), memory.settings.end());
    return WriteImage(session, kSettingsBlocks, settings, Entry::Renew, ReadBack::Yes);
}

} // namespace rpu::ops
