// Backup file names as the load parses them, and the address check.

#include "files/backupname.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const rpu::BackupNameParts parts = rpu::ParseBackupFileName(name);
    for (rpu::RegistrationRole role :
         {rpu::RegistrationRole::None, rpu::RegistrationRole::Rpu, rpu::RegistrationRole::Rtr})
        (void)rpu::ModuleNumberAccepted(role, name);
    (void)rpu::FileNameSafePiece(name);
    (void)parts;
    return 0;
}
