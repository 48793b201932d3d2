// The program's folders: portable or installed, where the user's files and
// the configuration file go, and the order read-only files are found in.

#include "files/programfolders.h"

#include "files/filetestutil.h"
#include "support/envsetting.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;
using rpu::test::EnvSetting;

namespace {

// "@" stands for the test's root folder; "|" separates list entries.
QString At(const QString &root, QString path)
{
    return path.replace(QLatin1Char('@'), root);
}

// An entry under the root: a trailing "/" makes a folder, else a file.
bool Make(const QString &root, const QString &entry)
{
    const QString path = root + QLatin1Char('/') + entry;
    if (entry.endsWith(QLatin1Char('/')))
        return QDir().mkpath(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && WriteBytes(path, "x");
}

// The system data folders hold the package's share, so it is looked up once.
ProgramFolders Resolve(const QString &root, const QString &program, bool writable)
{
    const UserFolders user{At(root, "@/home/data"), At(root, "@/home/config"),
                           At(root, "@/usr/share|@/sys").split('|')};
    return ResolveProgramFolders(At(root, program), writable, user);
}

const QString kInstalledLookup =
    "@/usr/bin|@/home/data/dorel-rpu-sela|@/usr/share/dorel-rpu-sela|@/sys/dorel-rpu-sela";

} // namespace

class TestProgramFolders : public QObject {
    Q_OBJECT
private slots:
    void rule_data()
    {
        QTest::addColumn<QString>("made");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("config");
        const QString share = "usr/share/dorel-rpu-sela/";
        const QString userData = "@/home/data/dorel-rpu-sela";
        const QString userIni = "@/home/config/dorel-rpu-sela/dorel-rpu-sela.INI";
        QTest::newRow("build tree") << "" << true << "@/build/bin/dorel-rpu-sela" << false << "@/build/bin"
                                    << "@/build/bin/dorel-rpu-sela.INI";
        QTest::newRow("folder not writable") << "" << false << "@/usr/bin/dorel-rpu-sela" << true << userData
                                             << userIni;
        QTest::newRow("share beside a writable folder (root)") << share << true << "@/usr/bin/dorel-rpu-sela"
                                                               << true << userData << userIni;
        QTest::newRow("share entry is a file") << "usr/share/dorel-rpu-sela" << true << "@/usr/bin/dorel-rpu-sela"
                                               << false << "@/usr/bin" << "@/usr/bin/dorel-rpu-sela.INI";
        QTest::newRow("program path not clean") << share << true << "@/usr/lib/../bin/dorel-rpu-sela" << true
                                                << userData << userIni;
        QTest::newRow("program with an extension") << "" << false << "@/usr/bin/prog.bin" << true << userData
                                                   << "@/home/config/dorel-rpu-sela/prog.INI";
    }
    void rule()
    {
        QFETCH(QString, made);
        QFETCH(bool, writable);
        QFETCH(QString, program);
        QFETCH(bool, installed);
        QFETCH(QString, data);
        QFETCH(QString, config);
        QTemporaryDir dir;
        QVERIFY(made.isEmpty() || Make(dir.path(), made));

        const ProgramFolders folders = Resolve(dir.path(), program, writable);
        QCOMPARE(folders.installed, installed);
        QCOMPARE(folders.dataFolder, At(dir.path(), data));
        QCOMPARE(folders.configFile, At(dir.path(), config));
        QCOMPARE(folders.lookup.join('|'), At(dir.path(), installed ? kInstalledLookup : data));
    }

    // Read-only files: the program folder, the user's, the package's share,
    // then the system data folders; firmware: the user's "base" first.
    void lookupOrder_data()
    {
        QTest::addColumn<QString>("holders");
        QTest::addColumn<QString>("found");
        QTest::newRow("nowhere") << "" << "";
        QTest::newRow("system folder only") << "sys/dorel-rpu-sela" << "@/sys/dorel-rpu-sela";
        QTest::newRow("share before system") << "sys/dorel-rpu-sela|usr/share/dorel-rpu-sela"
                                             << "@/usr/share/dorel-rpu-sela";
        QTest::newRow("user's before share") << "usr/share/dorel-rpu-sela|home/data/dorel-rpu-sela"
                                             << "@/home/data/dorel-rpu-sela";
        QTest::newRow("program folder first") << "home/data/dorel-rpu-sela|usr/bin" << "@/usr/bin";
    }
    void lookupOrder()
    {
        QFETCH(QString, holders);
        QFETCH(QString, found);
        QTemporaryDir dir;
        QVERIFY(Make(dir.path(), "usr/share/dorel-rpu-sela/"));
        for (const QString &holder : holders.split('|', Qt::SkipEmptyParts))
            QVERIFY(Make(dir.path(), holder + "/help/a.html") && Make(dir.path(), holder + "/help/sub/"));
        const ProgramFolders folders = Resolve(dir.path(), "@/usr/bin/dorel-rpu-sela", true);

        QCOMPARE(folders.FindFile("help/a.html"), found.isEmpty() ? QString() : At(dir.path(), found) + "/help/a.html");
        QCOMPARE(folders.FindFile("help/sub"), QString()); // a folder is not a file
        QCOMPARE(folders.FirmwareFolders().join('|'),
                 At(dir.path(), "@/home/data/dorel-rpu-sela/base|@/usr/bin/base|@/usr/share/dorel-rpu-sela/base|"
                                "@/sys/dorel-rpu-sela/base"));
    }

    // The standard folders follow XDG_*; the first start of an installed
    // program makes its working folders there and nothing beside itself.
    void xdgFoldersAndFirstStart()
    {
        QTemporaryDir dir;
        for (const char *entry : {"usr/bin/dorel-rpu-sela", "usr/share/dorel-rpu-sela/", "xh/dorel-rpu-sela/conf"})
            QVERIFY(Make(dir.path(), entry));
        const EnvSetting dataHome("XDG_DATA_HOME", At(dir.path(), "@/xh"));
        const EnvSetting configHome("XDG_CONFIG_HOME", At(dir.path(), "@/xc"));
        const EnvSetting dataDirs("XDG_DATA_DIRS", At(dir.path(), "@/xd1:@/xd2"));

        const ProgramFolders folders = ProgramFoldersOf(At(dir.path(), "@/usr/bin/dorel-rpu-sela"));
        QVERIFY(folders.installed);
        QCOMPARE(folders.configFile, At(dir.path(), "@/xc/dorel-rpu-sela/dorel-rpu-sela.INI"));
        QCOMPARE(folders.lookup.join('|'), At(dir.path(), "@/usr/bin|@/xh/dorel-rpu-sela|@/usr/share/dorel-rpu-sela|"
                                                          "@/xd1/dorel-rpu-sela|@/xd2/dorel-rpu-sela"));

        MakeWorkingFolders(folders);
        QVERIFY(QFileInfo(At(dir.path(), "@/xh/dorel-rpu-sela/reg")).isDir());
        QVERIFY(QFileInfo(At(dir.path(), "@/xh/dorel-rpu-sela/base")).isDir());
        QVERIFY(QFileInfo(At(dir.path(), "@/xh/dorel-rpu-sela/conf")).isFile()); // left as it was
        QCOMPARE(QDir(At(dir.path(), "@/usr/bin")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"dorel-rpu-sela"});
    }
};

QTEST_GUILESS_MAIN(TestProgramFolders)
#include "tst_programfolders.moc"
