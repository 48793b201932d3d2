#pragma once
// What each command does with one linked receiver, as a result to report:
// nothing is printed here, so the same job runs for --device and, on a
// thread of its own per receiver, for --all.

#include "cli/clireport.h"
#include "ops/settingsops.h"

#include <functional>
#include <optional>

namespace rpu {
class DeviceSession;
class MessageCatalogue;
struct RegistrationBackup;
} // namespace rpu

namespace rpu::cli {

struct DeviceSlot;

// Class, type and version as record fields; the text is one line for the table.
JobResult InfoJob(const DeviceSession &session, const MessageCatalogue &catalogue);
// Each writes path and names it in the record's "files" when it was written.
JobResult ReadSettingsJob(DeviceSession &session, const QString &path, const MessageCatalogue &catalogue);
JobResult BackupJob(DeviceSession &session, const QString &path, const MessageCatalogue &catalogue);
// Writes with signals held and reads back; the file was accepted beforehand.
// Nothing is written once a signal was held for another receiver's write.
JobResult WriteSettingsJob(DeviceSession &session, const ops::SettingsFileVerdict &file,
                           const MessageCatalogue &catalogue);
JobResult RestoreJob(DeviceSession &session, const RegistrationBackup &backup, const MessageCatalogue &catalogue);

// The start of a receiver's file names: where it is plugged in, never its
// place in the list, which changes when another one is unplugged.
QString ReceiverFileStem(const DeviceSlot &slot);

// kExitSignalled when a signal was held for another receiver's write before
// this one's began: it is left as it was.
std::optional<JobResult> StoppedBeforeWrite(const MessageCatalogue &catalogue);

// Runs write on a new file near wanted (wanted itself, else "-2", "-3", ...
// before the extension: an earlier file may be the only good copy) and
// removes that file again when write did not fill it.
JobResult IntoNewFile(const QString &wanted, const std::function<JobResult(const QString &path)> &write);

// A job's result with its receiver and the fields every record carries
// (action, verdict, exitCode, message, files); the job's own fields win.
// Its notes join its text, for a table row that says everything.
JobResult Named(const DeviceSlot &slot, const QString &action, JobResult result);

} // namespace rpu::cli
