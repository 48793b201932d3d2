#pragma once
// Firmware: accepting a file, writing it, and the bench's whole update of one
// receiver (find, check, back up first, write, renew, verify, restore after).
// The receiver is reached through ReceiverAccess, so the sequence runs the
// same over any transport; what is said about a verdict is the front end's.

#include "files/registrationfile.h"
#include "firmware/firmwarefile.h"
#include "ops/blockops.h"
#include "ops/settingsops.h"
#include "session/valuebuffer.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace rpu::ops {

// The value buffer's bytes as the image accepted before: the same length,
// a length the transfer sends whole, every value a byte. nullopt otherwise:
// nothing may reach the device then.
std::optional<std::span<const std::uint8_t>> AcceptedFirmwareImage(const ValueBuffer &buffer, qint64 acceptedSize);

// A refused file's text with its path: why it could not be read, or
// "path: " and the verdict's message.
QString RefusedFirmwareText(const FirmwareFile &file, const QString &path, const MessageCatalogue &catalogue);

FirmwareOutcome WriteFirmwareFile(DeviceSession &session, const FirmwareFile &file);

// One receiver for a job that outlives its link: the firmware write restarts
// the device, and the job reaches it again over new pipes.
class ReceiverAccess {
public:
    virtual ~ReceiverAccess() = default;
    // The session of the current link; null when there is none.
    virtual DeviceSession *Session() = 0;
    // New pipes, break and the main page's handshake; the failure's text.
    virtual bool Relink(QString *error) = 0;
    // Closes the pipes (before the device restarts).
    virtual void Drop() = 0;
};

struct FirmwareUpdateRequest {
    std::optional<FirmwareFile> file; // nothing: the newest of baseDirs, when newer
    QStringList baseDirs;
    QString backupDir;                // set: registration memory and settings saved there first
    QString backupStem;               // file name start; "_v<version>" and the suffix follow
    bool restoreAfter = false;
    // An image whose version byte belongs to another device class is
    // refused unless the user asks for the class change.
    bool allowClassChange = false;
    // A file given by name must be newer than the device's firmware unless
    // one of these says otherwise (an image of another class is not compared).
    bool allowOlder = false;
    bool allowReinstall = false;
    // Asked before the newest firmware is written: true yes, false no,
    // nullopt no answer. Unset: write without asking.
    std::function<std::optional<bool>(const QString &fileName)> confirm;
    int relinkWaitMs = 5000;          // the device restarts after the write
};

enum class UpdateStep {
    Done,         // everything asked was done
    NothingNewer, // message says why (no file, no newer one)
    NotNewer,     // the file given is older or the same: detail says which
    Declined,
    NoAnswer,
    Link,         // detail holds the link's text
    DeviceClass,
    ClassChange,  // the image would change the receiver's class
    FirmwareFile, // detail holds the file's text
    Backup,       // message: the read; or detail: a file error
    Write,        // message: the write's outcome
    Relink,       // detail holds the link's text
    Version,      // the device reports another version than the file's
    Restore,      // restore: its verdict
};

struct FirmwareUpdateVerdict {
    UpdateStep step = UpdateStep::Done;
    int message = 0;
    QString detail;
    QString firmwareName;
    int versionBefore = -1;
    int versionAfter = -1;
    int versionExpected = -1;
    QStringList backupFiles;              // the files that hold the receiver's copy
    std::vector<SectionFault> settingsFaults; // sections left out of the settings copy
    bool written = false;                 // the firmware was sent and accepted
    BlockWriteVerdict restore;            // the failed part of a restore
    bool restored = false;
    bool restoreSkipped = false;          // a restore was asked for and never ran
    bool ok() const { return step == UpdateStep::Done || step == UpdateStep::NothingNewer || step == UpdateStep::NotNewer
                             || step == UpdateStep::Declined; }
};

FirmwareUpdateVerdict UpdateFirmware(ReceiverAccess &receiver, const FirmwareUpdateRequest &request,
                                     const MessageCatalogue &catalogue);

} // namespace rpu::ops
