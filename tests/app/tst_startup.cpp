// Start-up: the configuration file, the working folders beside the program,
// the date stamp, and the real program started from another directory.

#include "app/languagedialog.h"
#include "app/languageswitch.h"
#include "app/startup.h"
#include "formharness.h"
#include "i18n/localestore.h"
#include "support/envsetting.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

void WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Answers the language dialog with one code.
struct OneAnswer final : LanguageAsker {
    QString code;
    bool Ask(QWidget *, const LanguageList &, QString &answer) override
    {
        answer = code;
        return true;
    }
};

// Restores the current directory at the end of a test.
struct CurrentDirGuard {
    QString saved = QDir::currentPath();
    ~CurrentDirGuard() { QDir::setCurrent(saved); }
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void configFileBesideTheProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("ini");
        QTest::newRow("no extension") << "/opt/dorel/dorel-rpu-sela" << "/opt/dorel/dorel-rpu-sela.INI";
        QTest::newRow("extension replaced") << "/opt/dorel/prog.exe" << "/opt/dorel/prog.INI";
        QTest::newRow("last extension only") << "/opt/prog.v2.bin" << "/opt/prog.v2.INI";
        QTest::newRow("dot in a folder name") << "/opt/dorel.d/prog" << "/opt/dorel.d/prog.INI";
    }
    void configFileBesideTheProgram()
    {
        QFETCH(QString, program);
        QFETCH(QString, ini);
        QCOMPARE(ConfigFilePath(program), ini);
    }

    void startupLanguage()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("dorel-rpu-sela.INI"));
        QCOMPARE(ReadStartupLanguage(ini), QStringLiteral("RU")); // no file

        WriteText(ini, "[Help]\nRU=help_ru.chm\n");
        QCOMPARE(ReadStartupLanguage(ini), QStringLiteral("RU")); // no section

        WriteText(ini, "[Language]\nOther=TR\n");
        QCOMPARE(ReadStartupLanguage(ini), QStringLiteral("RU")); // no key

        WriteText(ini, "[Help]\nRU=help_ru.chm\n\n[Language]\nDefault=EN\n");
        QCOMPARE(ReadStartupLanguage(ini), QStringLiteral("EN"));

        WriteText(ini, "\xff\xfe garbage \x01\n");
        QCOMPARE(ReadStartupLanguage(ini), QStringLiteral("RU"));
    }

    void foldersBesideTheProgramNotInTheStartFolder()
    {
        CurrentDirGuard guard;
        QTemporaryDir elsewhere;
        QVERIFY(QDir::setCurrent(elsewhere.path()));

        FormHarness h;
        const QDir program(h.folder.path());
        for (const char *name : {"reg", "base", "conf"}) {
            QVERIFY2(program.exists(QLatin1String(name)), name);
            QVERIFY2(!QDir(elsewhere.path()).exists(QLatin1String(name)), name);
        }
        QCOMPARE(h.form->Places().ProgramFolder, QDir::cleanPath(h.folder.path()));
        QVERIFY(!h.form->Places().ProgramFolder.endsWith(QLatin1Char('/')));
        QCOMPARE(QDir::currentPath(), QDir(h.folder.path()).canonicalPath());
    }

    void existingFoldersAreLeftAsTheyAre()
    {
        CurrentDirGuard guard;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("reg")));
        WriteText(dir.filePath(QStringLiteral("reg/ksy_rpu_3_081226_object_1_conf_17.rrg")), "1\r\n");
        // A file where a folder should be: creation fails quietly.
        WriteText(dir.filePath(QStringLiteral("conf")), "not a folder");

        FormHarness h;
        AppServices services = h.services;
        services.programFilePath = dir.filePath(QStringLiteral("dorel-rpu-sela"));
        TMainForm form(services);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("reg/ksy_rpu_3_081226_object_1_conf_17.rrg"))));
        QVERIFY(QDir(dir.filePath(QStringLiteral("base"))).exists());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("conf"))).isFile());
        QCOMPARE(form.Places().ProgramFolder, QDir::cleanPath(dir.path()));
    }

    void dateStampIgnoresTheLocaleSeparators()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(QLocale().dateFormat(QLocale::ShortFormat).contains(QLatin1Char('/')));

        FormHarness h; // started on 8 December 2026
        QCOMPARE(h.form->Places().RegistrationDateStamp, QStringLiteral("_081226_"));

        AppServices services = h.services;
        services.startDate = QDate(2027, 2, 1);
        TMainForm form(services);
        QCOMPARE(form.Places().RegistrationDateStamp, QStringLiteral("_010227_"));
        QLocale::setDefault(saved);
    }

    // The real program, copied into a folder of its own and started from
    // another directory with a configuration file asking for English.
    void programStartedFromAnotherDirectory()
    {
        const QString built = qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/dorel-rpu-sela");
        if (!QFile::exists(built))
            QSKIP("the program is not built");
        QTemporaryDir home;
        QTemporaryDir install;
        QTemporaryDir start;
        const QString program = install.filePath(QStringLiteral("dorel-rpu-sela"));
        QVERIFY(QFile::copy(built, program));
        QVERIFY(QFile::setPermissions(program, QFile::permissions(built)));
        WriteText(install.filePath(QStringLiteral("dorel-rpu-sela.INI")),
                  "[Language]\nDefault=EN\n\n[Device]\nTransport=simulator\n");

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(start.path());
        process.start(program, {});
        QVERIFY(process.waitForStarted());

        const QDir installDir(install.path());
        QTRY_VERIFY_WITH_TIMEOUT(installDir.exists(QStringLiteral("reg")) && installDir.exists(QStringLiteral("base"))
                                     && installDir.exists(QStringLiteral("conf")),
                                 10000);
        QCOMPARE(process.state(), QProcess::Running); // the window is up, waiting for the user
        QVERIFY(QDir(start.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

        const LocaleOverrideStore store(home.filePath(QStringLiteral("dorel-rpu-sela/locale-overrides.ini")));
        QCOMPARE(store.GetDefaultLocaleReg(program), QStringLiteral("EN"));

        process.kill();
        process.waitForFinished();
    }

    // An installed program (a share folder beside its bin folder) keeps the
    // user's files under the XDG folders and writes nothing beside itself.
    void installedProgramWritesOnlyUnderTheUserFolders()
    {
        CurrentDirGuard guard;
        const QLocale savedLocale;
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString share = root.filePath(QStringLiteral("usr/share/dorel-rpu-sela"));
        const QString user = root.filePath(QStringLiteral("home/data/dorel-rpu-sela"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(share));
        WriteText(bin + "/dorel-rpu-sela", "program");
        QVERIFY(QFile::copy(qEnvironmentVariable("RPU_SOURCE_DIR") + "/lang/dorel-rpu-sela.EN",
                            share + "/dorel-rpu-sela.EN"));
        const EnvSetting dataHome("XDG_DATA_HOME", root.filePath(QStringLiteral("home/data")));
        const EnvSetting configHome("XDG_CONFIG_HOME", root.filePath(QStringLiteral("home/config")));

        FormHarness h;
        AppServices services = h.services;
        services.programFilePath = bin + "/dorel-rpu-sela";
        TMainForm form(services);
        const auto enter = [&form](PageId page) {
            form.Flow().SetPageTabVisible(page, true);
            form.Flow().SetActivePage(page);
            form.MainPageCChange();
        };
        Find<QComboBox>(form, "OperModeCmB")->setCurrentIndex(0);
        form.OperModeCmBChange();
        enter(PageId::RelaySettings);
        h.dialogs.paths.push_back(user + "/conf/relay.cfg");
        form.SaveButtonClick();
        enter(PageId::Backup);
        form.LoadButtonClick(); // cancelled
        QCOMPARE(h.dialogs.fileDialogFolders, QStringList({user + "/conf", user + "/reg"}));
        QVERIFY(QFileInfo(user + "/conf/relay.cfg").isFile());
        QVERIFY(QFileInfo(user + "/base").isDir());

        // The module comes from the share; the choice goes to the user's INI.
        OneAnswer english;
        english.code = QStringLiteral("EN");
        LanguageSwitchOf(form)->SetAsker(&english);
        QVERIFY(LanguageSwitchOf(form)->ChangeLanguage());
        QVERIFY(LanguageSwitchOf(form)->WritePendingRecords());
        const QString ini = root.filePath(QStringLiteral("home/config/dorel-rpu-sela/dorel-rpu-sela.INI"));
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value("Language/Default").toString(), QStringLiteral("EN"));

        QCOMPARE(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("dorel-rpu-sela")});
        QLocale::setDefault(savedLocale);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
