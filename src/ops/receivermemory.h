#pragma once
// A receiver's registration memory and settings block, copied into files
// before anything is written to it and written back after a firmware write
// (a new image may start with its memory cleared).

#include "files/registrationfile.h"
#include "ops/blockops.h"
#include "ops/settingsops.h"
#include "settings/settingsimage.h"

#include <QStringList>
#include <vector>

namespace rpu {
class MessageCatalogue;
}

namespace rpu::ops {

struct ReceiverMemory {
    RegistrationBackup registration;
    SettingsImage settings{}; // the device's block whole, erased sections too
};

struct MemoryCopyVerdict {
    int message = 0;   // a failed read
    QString detail;    // a file that could not be written
    QStringList files; // written so far, kept even when a later one failed
    std::vector<SectionFault> settingsFaults; // sections left out of the settings copy
    ReceiverMemory memory;
    bool ok() const { return message == 0 && detail.isEmpty(); }
};

// Reads both and writes "<stem>.rrg" and "<stem>.cfg" into dir, never over
// an earlier copy. The settings file holds the sections in range; with none
// in range it is left out.
MemoryCopyVerdict CopyReceiverMemory(DeviceSession &session, const QString &dir, const QString &stem,
                                     const MessageCatalogue &catalogue);

// Both written back, each read back; the first that failed.
BlockWriteVerdict WriteBackMemory(DeviceSession &session, const ReceiverMemory &memory);

} // namespace rpu::ops
