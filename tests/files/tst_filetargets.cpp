// Settings and backup files where the name is not a regular file, or not
// UTF-8: refused before anything is opened, with a message naming the file;
// kept byte for byte.

#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "i18n/messagecatalogue.h"
#include "io/safefile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace rpu;

namespace {

enum class Operation { ReadSettings, ReadBackup, WriteSettings, WriteBackup };

FileError Run(Operation operation, const QString &path)
{
    switch (operation) {
    case Operation::ReadSettings: return ReadSettingsFile(path).error;
    case Operation::ReadBackup: return ReadRegistrationBackup(path).error;
    case Operation::WriteSettings: return WriteSettingsFile(path, SettingsFileCells{});
    case Operation::WriteBackup:
        return WriteRegistrationBackup(path, RegistrationBackup::FromImage(QByteArray(kRegistrationImageSize, 7)));
    }
    return {};
}

bool Writes(Operation operation)
{
    return operation == Operation::WriteSettings || operation == Operation::WriteBackup;
}

} // namespace

Q_DECLARE_METATYPE(Operation)

class FileTargetsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString Path(const char *name) const { return dir_.filePath(QString::fromUtf8(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0600) == 0);
        QVERIFY(QFile::link(Path("pipe"), Path("to-pipe")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), Path("to-null")));
    }

    // Qt does not see a name that is not UTF-8, so QTemporaryDir cannot remove it.
    void cleanupTestCase()
    {
        for (const char *name : {"/set\xFFs", "/set\xFF" "b"})
            ::unlink((QFile::encodeName(dir_.path()) + name).constData());
    }

    // A FIFO would block the open; a device node would be replaced by a plain
    // file. Writes never go to the device node itself here: as root a broken
    // check would replace it.
    void notRegularIsRefusedNamingTheFile_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("path");
        const struct {
            const char *name;
            Operation operation;
        } operations[] = {{"read settings", Operation::ReadSettings},
                          {"read backup", Operation::ReadBackup},
                          {"write settings", Operation::WriteSettings},
                          {"write backup", Operation::WriteBackup}};
        for (const auto &op : operations) {
            QTest::addRow("%s: FIFO", op.name) << op.operation << Path("pipe");
            QTest::addRow("%s: link to a FIFO", op.name) << op.operation << Path("to-pipe");
            if (!Writes(op.operation))
                QTest::addRow("%s: device node", op.name) << op.operation << QStringLiteral("/dev/null");
            QTest::addRow("%s: link to a device node", op.name) << op.operation << Path("to-null");
        }
    }
    void notRegularIsRefusedNamingTheFile()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, path);
        const FileError error = Run(operation, path);
        QCOMPARE(error.kind, FileErrorKind::NotRegular);
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QString(), QStringLiteral("/opt/x/dorel-rpu-sela"));
        const QString text = DescribeFileError(error, QStringLiteral("bench.cfg"), catalogue);
        QCOMPARE(text, catalogue.Format(Writes(operation) ? 10121 : 10120, QStringLiteral("bench.cfg")));
        QVERIFY(text.contains(QLatin1String("bench.cfg")));
        struct stat st{};
        QVERIFY(::lstat(QFile::encodeName(Path("pipe")).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(QFileInfo(Path("to-null")).isSymLink());
    }

    // "set\xFF.cfg" written as given, found again and read back.
    void nonUtf8NamesKeepTheirBytes_data()
    {
        QTest::addColumn<Operation>("write");
        QTest::addColumn<Operation>("read");
        QTest::newRow("settings") << Operation::WriteSettings << Operation::ReadSettings;
        QTest::newRow("backup") << Operation::WriteBackup << Operation::ReadBackup;
    }
    void nonUtf8NamesKeepTheirBytes()
    {
        QFETCH(Operation, write);
        QFETCH(Operation, read);
        const QByteArray native = QFile::encodeName(dir_.path()) + "/set\xFF" + (write == Operation::WriteBackup ? "b" : "s");
        const QString path = PathFromNative(native);
        QVERIFY(Run(write, path).ok());
        struct stat st{};
        QVERIFY(::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode));
        QVERIFY(Run(read, path).ok());
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files).filter(QString(QChar(QChar::ReplacementCharacter))), QStringList());
    }
};

QTEST_GUILESS_MAIN(FileTargetsTest)
#include "tst_filetargets.moc"
