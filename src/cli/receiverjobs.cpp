#include "cli/receiverjobs.h"

#include "cli/benchdevices.h"
#include "cli/writeguard.h"
#include "files/backupname.h"
#include "files/registrationfile.h"
#include "files/uniquepath.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "io/safefile.h"
#include "link/devicelink.h"
#include "ops/backupops.h"
#include "session/devicesession.h"

#include <QFile>
#include <QFileInfo>

namespace rpu::cli {

namespace {

JobResult FileFailure(const FileError &error, const QString &path, const MessageCatalogue &catalogue)
{
    return {kExitUsage, DescribeFileError(error, DisplayPath(path), catalogue)};
}

JobResult Written(const QString &path, QString text)
{
    JobResult result{kExitOk, std::move(text)};
    result.record.insert(QStringLiteral("files"), QJsonArray{path});
    return result;
}

} // namespace

// Under --all a signal held for one receiver's write stops the writes that
// have not begun: the engineer asked to stop.
std::optional<JobResult> StoppedBeforeWrite(const MessageCatalogue &catalogue)
{
    if (HeldSignal() == 0)
        return std::nullopt;
    return JobResult{kExitSignalled, catalogue.Text(msg::kWriteNotBegun)};
}

JobResult InfoJob(const DeviceSession &session, const MessageCatalogue &catalogue)
{
    const DeviceInfo &info = session.Info();
    const QString type = catalogue.Text(DeviceTypeMessage(info.deviceClass));
    const QString version = FormatDeviceVersion(info.versionByte);
    JobResult result{kExitOk, type + QStringLiteral(", ") + version};
    result.record = {{QStringLiteral("class"), info.deviceClass},
                     {QStringLiteral("type"), type},
                     {QStringLiteral("version"), version},
                     {QStringLiteral("versionByte"), info.versionByte}};
    return result;
}

JobResult ReadSettingsJob(DeviceSession &session, const QString &path, const MessageCatalogue &catalogue)
{
    const ops::SettingsReadVerdict read = ops::ReadSettings(session, ops::SectionSet::Both(), ops::Entry::AsEntered);
    if (!read.ok())
        return {kExitDevice, catalogue.Text(read.message)};
    // A section out of range is named and left out; the other is still saved.
    const ops::SettingsSaveVerdict saved = ops::SaveDeviceSettings(path, read);
    QStringList faults;
    for (const ops::SectionFault &fault : saved.faults)
        faults << ops::DescribeSectionFault(fault, catalogue);
    JobResult result = !saved.error.ok() ? FileFailure(saved.error, path, catalogue)
                     : !saved.written()  ? JobResult{kExitDevice, QString()}
                                         : Written(path, catalogue.Text(msg::kSettingsRead) + QLatin1Char('\n')
                                                             + catalogue.Text(msg::kSettingsSaved) + QStringLiteral(": ")
                                                             + path);
    result.notes = faults;
    return result;
}

JobResult BackupJob(DeviceSession &session, const QString &path, const MessageCatalogue &catalogue)
{
    const ops::BackupReadVerdict read = ops::ReadBackup(session, ops::Entry::AsEntered);
    if (!read.ok())
        return {kExitDevice, catalogue.Text(read.message)};
    if (const FileError error = WriteRegistrationBackup(path, read.backup); !error.ok())
        return FileFailure(error, path, catalogue);
    return Written(path, catalogue.Text(msg::kBackupReadFromDevice) + QLatin1Char('\n')
                             + catalogue.Text(msg::kBackupSaved) + QStringLiteral(": ") + path
                             + QStringLiteral(" (conf %1)").arg(read.backup.ConfigurationCode()));
}

JobResult WriteSettingsJob(DeviceSession &session, const ops::SettingsFileVerdict &file,
                           const MessageCatalogue &catalogue)
{
    const WriteGuard writing;
    if (auto stopped = StoppedBeforeWrite(catalogue))
        return *stopped;
    const ops::SettingsWriteVerdict verdict =
        ops::WriteSettings(session, file.image, file.carried, ops::Entry::AsEntered, ops::ReadBack::Yes);
    if (verdict.refused)
        return {kExitUsage, ops::DescribeSectionFault(*verdict.refused, catalogue)};
    if (verdict.message != 0)
        return {kExitDevice, catalogue.Text(verdict.message)};
    QStringList kept;
    for (SettingsSection section : ops::kSections) {
        if (verdict.keptFromDevice.Has(section))
            kept << catalogue.Format(msg::kSectionKeptFromDevice, catalogue.Text(ops::SectionNameMessage(section)));
    }
    JobResult result = WriteReport(verdict.write, msg::kSettingsWritten, catalogue);
    result.text = (kept << result.text).join(QLatin1Char('\n'));
    return result;
}

JobResult RestoreJob(DeviceSession &session, const RegistrationBackup &backup, const MessageCatalogue &catalogue)
{
    const WriteGuard writing;
    if (auto stopped = StoppedBeforeWrite(catalogue))
        return *stopped;
    return WriteReport(ops::RestoreBackup(session, backup, ops::Entry::AsEntered, ops::ReadBack::Yes),
                       msg::kBackupWritten, catalogue);
}

QString ReceiverFileStem(const DeviceSlot &slot)
{
    const QString where = slot.transport == QLatin1String("socket") ? QFileInfo(slot.path).fileName()
                                                                     : slot.transport + QLatin1Char('-') + slot.path;
    return FileNameSafePiece(where);
}

JobResult IntoNewFile(const QString &wanted, const std::function<JobResult(const QString &path)> &write)
{
    QString why;
    const QString path = UniqueBackupPath(wanted, &why);
    if (path.isEmpty())
        return {kExitUsage, DisplayPath(wanted) + QStringLiteral(": ") + why};
    JobResult result = write(path);
    if (!result.record.value(QStringLiteral("files")).toArray().contains(path))
        QFile::remove(path);
    return result;
}

JobResult Named(const DeviceSlot &slot, const QString &action, JobResult result)
{
    QJsonObject record = DeviceRecord(slot);
    record.insert(QStringLiteral("action"), action);
    record.insert(QStringLiteral("verdict"), VerdictName(result.exitCode));
    record.insert(QStringLiteral("exitCode"), result.exitCode);
    record.insert(QStringLiteral("files"), QJsonArray());
    QStringList lines = result.notes;
    if (!result.text.isEmpty())
        lines.prepend(result.text);
    result.text = lines.join(QLatin1Char('\n'));
    result.notes.clear();
    record.insert(QStringLiteral("message"), result.text);
    for (auto it = result.record.begin(); it != result.record.end(); ++it)
        record.insert(it.key(), it.value());
    result.record = record;
    return result;
}

} // namespace rpu::cli
