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

LocaleOverrideStore::LocaleOverrideStore(QString storeFile) : storeFile_(std::move(storeFile))
{
    if (storeFile_.isEmpty()) {
        storeFile_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                     + QStringLiteral("/dorel-rpu-sela/locale-overrides.ini");
    }
}

void LocaleOverrideStore::SetDefaultLocaleReg(const QString &programFilePath, const QString &code)
{
    QDir().mkpath(QFileInfo(storeFile_).absolutePath());
    QSettings store(storeFile_, QSettings::IniFormat);
    store.setValue(KeyOf(programFilePath), code);
    store.sync();
}

QString LocaleOverrideStore::GetDefaultLocaleReg(const QString &programFilePath) const
{
    QSettings store(storeFile_, QSettings::IniFormat);
    if (store.status() != QSettings::NoError)
        return {};
    return store.value(KeyOf(programFilePath)).toString();
}

} // namespace rpu
