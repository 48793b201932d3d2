#pragma once
// The per-user record of which interface language each program path uses.

#include <QString>

namespace rpu {

class LocaleOverrideStore {
public:
    // storeFile: an INI file; empty selects the per-user default location.
    // machineFile: read only when storeFile does not exist; empty selects the
    // system-wide configuration folder.
    explicit LocaleOverrideStore(QString storeFile = {}, QString machineFile = {});

    // Records the code for a program path. Nothing happens when the store
    // cannot be written.
    void SetDefaultLocaleReg(const QString &programFilePath, const QString &code);
    // The code recorded for a path; empty when none is or the store cannot be read.
    QString GetDefaultLocaleReg(const QString &programFilePath) const;

    QString StoreFile() const { return storeFile_; }
    QString MachineFile() const { return machineFile_; }

private:
    QString storeFile_;
    QString machineFile_;
};

} // namespace rpu
