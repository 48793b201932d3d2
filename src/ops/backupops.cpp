#include "ops/backupops.h"

namespace rpu::ops {

BackupReadVerdict ReadBackup(DeviceSession &session, Entry entry)
{
    BackupReadVerdict verdict;
    const BlockReadVerdict read = ReadImage(session, kRegistrationBlocks, entry);
    verdict.message = read.message;
    if (read.ok())
        verdict.backup = RegistrationBackup::FromCells(read.cells);
    return verdict;
}

BlockWriteVerdict RestoreBackup(DeviceSession &session, const RegistrationBackup &backup, Entry entry,
                                ReadBack readBack)
{
    const std::vector<int> cells = backup.ImageCells();
    return WriteImage(session, kRegistrationBlocks, cells, entry, readBack);
}

std::optional<RegistrationBackup> BackupFromValues(const std::vector<std::uint32_t> &values)
{
    if (values.size() < std::size_t(kRegistrationImageSize))
        return std::nullopt;
    RegistrationBackup backup;
    backup.values.reserve(qsizetype(values.size()));
    for (std::uint32_t value : values) {
        if (value > 0xFF)
            return std::nullopt;
        backup.values.append(char(value));
    }
    return backup;
}

} // namespace rpu::ops
