#include "files/backupname.h"

#include "files/textlines.h"

#include <QFileInfo>
#include <limits>

namespace rpu {

namespace {

bool UnsafeInFileName(QChar c)
{
    static const QString refused = QStringLiteral("<>:\"/\\|?*");
    return c.category() == QChar::Other_Control || refused.contains(c);
}

// The text after the first match of prefix (any case) up to the next "_".
QString PieceAfter(const QString &name, const QString &prefix)
{
    const qsizetype at = name.indexOf(prefix, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype start = at + prefix.size();
    const qsizetype end = name.indexOf(QLatin1Char('_'), start);
    return name.mid(start, end < 0 ? -1 : end - start);
}

} // namespace

QString FileNameSafePiece(const QString &text, int maxLength)
{
    QString safe = text.left(maxLength);
    // Do not leave half a surrogate pair at the cut.
    if (!safe.isEmpty() && safe.back().isHighSurrogate())
        safe.chop(1);
    for (QChar &c : safe) {
        if (UnsafeInFileName(c))
            c = QLatin1Char('-');
    }
    return safe;
}

QString ComposeBackupFileName(RegistrationRole role, const QString &address,
                              const QString &dateStamp, const QString &objectNumber,
                              const QString &configurationCode)
{
    QString name;
    if (role != RegistrationRole::None) {
        name = (role == RegistrationRole::Rpu ? kRpuFilePrefix : kRtrFilePrefix)
               + FileNameSafePiece(address) + FileNameSafePiece(dateStamp) + kObjectPrefix
               + FileNameSafePiece(objectNumber);
    }
    return name + kConfigurationCodeInfix + FileNameSafePiece(configurationCode) + QLatin1Char('.')
           + kBackupSuffix;
}

BackupNameParts ParseBackupFileName(const QString &fileName)
{
    QString name = QFileInfo(fileName).fileName();
    const QString ending = QLatin1Char('.') + kBackupSuffix;
    if (name.endsWith(ending, Qt::CaseInsensitive))
        name.chop(ending.size());

    BackupNameParts parts;
    QString prefix;
    if (name.contains(kRpuFilePrefix, Qt::CaseInsensitive)) {
        parts.role = RegistrationRole::Rpu;
        prefix = kRpuFilePrefix;
    }
    if (name.contains(kRtrFilePrefix, Qt::CaseInsensitive)) {
        parts.role = RegistrationRole::Rtr;
        prefix = kRtrFilePrefix;
    }
    if (!prefix.isEmpty())
        parts.address = PieceAfter(name, prefix);
    parts.objectNumber = PieceAfter(name, kObjectPrefix);
    return parts;
}

QString BackupDialogFileName(RegistrationRole role)
{
    switch (role) {
    case RegistrationRole::Rpu: return kRpuFilePrefix + QLatin1Char('*');
    case RegistrationRole::Rtr: return kRtrFilePrefix + QLatin1Char('*');
    case RegistrationRole::None: break;
    }
    return {};
}

namespace {

struct AddressRange {
    int first;
    int last;
};

AddressRange RangeOf(RegistrationRole role)
{
    return role == RegistrationRole::Rpu ? AddressRange{1, 4} : AddressRange{5, 196};
}

} // namespace

QStringList ModuleNumberChoices(RegistrationRole role)
{
    QStringList choices;
    if (role == RegistrationRole::None)
        return choices;
    const AddressRange range = RangeOf(role);
    for (int n = range.first; n <= range.last; ++n)
        choices << QString::number(n);
    return choices;
}

bool ModuleNumberAccepted(RegistrationRole role, const QString &text)
{
    if (text.isEmpty() || role == RegistrationRole::None)
        return true;
    const auto parsed = ParseDecimalLine(text, 0, std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max());
    const qint64 value = parsed.ok() ? *parsed.value : -1;
    const AddressRange range = RangeOf(role);
    return value >= range.first && value <= range.last;
}

} // namespace rpu
