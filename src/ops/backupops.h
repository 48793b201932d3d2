#pragma once
// Registration memory: reading it into a backup, restoring a backup, and the
// value buffer as a backup. Files go through files/registrationfile.

#include "files/registrationfile.h"
#include "ops/blockops.h"

#include <optional>
#include <vector>

namespace rpu::ops {

struct BackupReadVerdict {
    int message = 0;  // link failure; 0 when read
    RegistrationBackup backup;
    bool ok() const { return message == 0; }
};
BackupReadVerdict ReadBackup(DeviceSession &session, Entry entry);

// Sends lines 1..1792 of the backup.
BlockWriteVerdict RestoreBackup(DeviceSession &session, const RegistrationBackup &backup, Entry entry,
                                ReadBack readBack);

// The value buffer as a backup: at least the image, every value a byte.
// Anything else (settings values, firmware bytes) must never reach the
// registration memory or a backup file.
std::optional<RegistrationBackup> BackupFromValues(const std::vector<std::uint32_t> &values);

} // namespace rpu::ops
