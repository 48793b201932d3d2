// dorel-rpu-cli and the files a bench hands it: FIFOs and device nodes are
// refused at once and left alone, names that are not UTF-8 keep their bytes,
// and a configuration file that is no text is reported.

#include "files/textlines.h"
#include "i18n/messagecatalogue.h"
#include "support/clirun.h"
#include "support/simprocess.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace rpu;
using rpu::test::CliRun;
using rpu::test::RunToEnd;
using rpu::test::SimProcess;

class CliFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<SimProcess> sim_;
    QString transport_;
    MessageCatalogue catalogue_;

    QByteArray Native(const QByteArray &name) const { return QFile::encodeName(dir_.path()) + '/' + name; }

    // Through the shell, so that the arguments reach the program as bytes.
    CliRun Cli(const QByteArray &shellArgs, const QString &config)
    {
        QProcess p;
        p.setProgram(QStringLiteral("/bin/sh"));
        p.setArguments({QStringLiteral("-c"), QStringLiteral("exec \"$0\" ") + QString::fromUtf8(shellArgs)
                                                  + QStringLiteral(" \"$1\" --config \"$2\""),
                        qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/dorel-rpu-cli"), transport_, config});
        return RunToEnd(p, {}, 30000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        const QString socket = dir_.filePath(QStringLiteral("rx.sock"));
        sim_ = std::make_unique<SimProcess>(socket, QStringList{QStringLiteral("--state"), dir_.filePath(QStringLiteral("rx.state"))});
        QVERIFY(sim_->WaitReady());
        transport_ = QStringLiteral("--transport=socket:") + socket;
        QVERIFY(::mkfifo(Native("pipe").constData(), 0600) == 0);
        QVERIFY(::symlink("pipe", Native("to-pipe").constData()) == 0);
        QVERIFY(::symlink("/dev/null", Native("to-null").constData()) == 0);
        LoadMessageCatalogue(catalogue_, QString(), QStringLiteral("/opt/x/dorel-rpu-sela"));
    }
    void cleanupTestCase()
    {
        ::unlink(Native("set\xFF.cfg").constData());
        ::unlink(Native("set\xFF.rrg").constData());
    }

    // Refused by name (a write before anything is opened, a read without
    // blocking on the FIFO), exit 2, and the FIFO is still a FIFO.
    void notRegularFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("message");
        for (const char *file : {"pipe", "to-pipe", "to-null"}) {
            QTest::addRow("read-settings %s", file) << QByteArray("read-settings") << QByteArray(file) << 10121;
            QTest::addRow("backup %s", file) << QByteArray("backup") << QByteArray(file) << 10121;
            QTest::addRow("write-settings %s", file) << QByteArray("write-settings") << QByteArray(file) << 10120;
            QTest::addRow("restore %s", file) << QByteArray("restore") << QByteArray(file) << 10120;
        }
        QTest::addRow("write-settings device node") << QByteArray("write-settings") << QByteArray("/dev/null") << 10120;
    }
    void notRegularFilesAreRefused()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, file);
        QFETCH(int, message);
        const QByteArray path = file.startsWith('/') ? file : Native(file);
        const CliRun run = Cli(command + " '" + path + "'", dir_.filePath(QStringLiteral("none.INI")));
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(catalogue_.Format(message, QString::fromUtf8(path))), qPrintable(run.err));
        struct stat st{};
        QVERIFY(::lstat(Native("pipe").constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(::lstat(Native("to-null").constData(), &st) == 0 && S_ISLNK(st.st_mode));
    }

    // Saved under its own bytes, then found again by the same name.
    void nonUtf8NamesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("save");
        QTest::addColumn<QByteArray>("load");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("settings") << QByteArray("read-settings") << QByteArray("write-settings") << QByteArray("set\xFF.cfg");
        QTest::newRow("backup") << QByteArray("backup") << QByteArray("restore") << QByteArray("set\xFF.rrg");
    }
    void nonUtf8NamesKeepTheirBytes()
    {
        QFETCH(QByteArray, save);
        QFETCH(QByteArray, load);
        QFETCH(QByteArray, name);
        const QString none = dir_.filePath(QStringLiteral("none.INI"));
        const QByteArray path = Native(name);
        const QByteArray quoted = " \"$(printf '" + QFile::encodeName(dir_.path()) + "/set\\377" + name.mid(4) + "')\"";
        CliRun run = Cli(save + quoted, none);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        struct stat st{};
        QVERIFY(::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("set\uFFFD")) + QString::fromLatin1(name.mid(4))));
        run = Cli(load + quoted, none);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }

    // Reported, and the defaults are used: never a silent "no device".
    void configurationThatIsNoTextIsReported()
    {
        const QString ini = dir_.filePath(QStringLiteral("utf16.INI"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\xFF\xFE[\0D\0e\0v\0i\0c\0e\0]\0", 18));
        file.close();
        const CliRun run = Cli("list", ini);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(catalogue_.Format(10122, ini)), qPrintable(run.err));
        QVERIFY(Cli("list", dir_.filePath(QStringLiteral("none.INI"))).err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliFilesTest)
#include "tst_cli_files.moc"
