#include "files/uniquepath.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

namespace rpu {

namespace {

// Far more than a bench makes in a day; past it the folder needs a look.
constexpr int kMaxCounter = 9999;

} // namespace

QString UniqueBackupPath(const QString &wanted, QString *error)
{
    const QFileInfo info(wanted);
    const QString suffix = info.suffix();
    const QString stem = info.dir().filePath(suffix.isEmpty() ? info.fileName() : info.completeBaseName());
    QString lastError;
    for (int n = 1; n <= kMaxCounter; ++n) {
        QString candidate = n == 1 ? wanted : QStringLiteral("%1-%2").arg(stem).arg(n);
        if (n > 1 && !suffix.isEmpty())
            candidate += QLatin1Char('.') + suffix;
        QFile file(candidate);
        // NewOnly is O_CREAT|O_EXCL: it fails when anything of that name
        // exists, a dangling symbolic link included, and no one else can
        // take the name between our check and our create.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return candidate;
        // Taken is the one reason to try the next number; anything else
        // (no folder, no right to write) would fail for every number.
        if (!QFileInfo(candidate).isSymLink() && !QFileInfo::exists(candidate)) {
            lastError = file.errorString();
            break;
        }
        lastError = QStringLiteral("every name up to \"%1\" is taken").arg(candidate);
    }
    if (error)
        *error = lastError;
    return {};
}

} // namespace rpu
