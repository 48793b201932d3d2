#include "i18n/localestore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace rpu {

namespace {
// QSettings would read slashes in a path as groups.
QString KeyOf(const QString &programFilePath)
{
    return QStringLiteral("Locales/") + QString::fromLatin1(programFilePath.toUtf8().toHex());
}
} // namespace

LocaleOverrideStore::LocaleOverrideStore(QString storeFile, QString machineFile)
    : storeFile_(std::move(storeFile)), machineFile_(std::move(machineFile))
{
    const QString name = QStringLiteral("/dorel-rpu-sela/locale-overrides.ini");
    if (storeFile_.isEmpty())
        storeFile_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + name;
    if (machineFile_.isEmpty()) {
        const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
        machineFile_ = (folders.size() > 1 ? folders.last() : QStringLiteral("/etc/xdg")) + name;
    }
}

void LocaleOverrideStore::SetDefaultLocaleReg(const QString &programFilePath, const QString &code)
{
    QDir().mkpath(QFileInfo(storeFile_).absolutePath());
    QSettings store(storeFile_, QSettings::IniFormat);
    const QString key = KeyOf(programFilePath);
    // Each start records the language; an unchanged record is not written
    // again (the write syncs to disk).
    if (store.contains(key) && store.value(key).toString() == code)
        return;
    store.setValue(key, code);
    store.sync();
}

QString LocaleOverrideStore::GetDefaultLocaleReg(const QString &programFilePath) const
{
    // Only the first store that exists is consulted.
    const QString &file = QFileInfo::exists(storeFile_) || !QFileInfo::exists(machineFile_) ? storeFile_ : machineFile_;
    QSettings store(file, QSettings::IniFormat);
    if (store.status() != QSettings::NoError)
        return {};
    return store.value(KeyOf(programFilePath)).toString();
}

} // namespace rpu
