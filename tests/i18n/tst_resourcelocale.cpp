// The locale runtime: locale codes, finding and switching language modules,
// re-translating registered windows, and the per-user record of the choice.

#include "i18n/resourcelocale.h"

#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;

class Window : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString windowTitle MEMBER windowTitle)
    Q_PROPERTY(uchar level MEMBER level)
public:
    QString windowTitle = QStringLiteral("Окно");
    uchar level = 0;
};

namespace {

QString Module(const QString &caption, const QString &extra = {})
{
    return QStringLiteral("@messages\n10001 = %1 error\n@layout\nobject MainForm: Window\n  Caption = '%1'\n%2end\n")
        .arg(caption, extra);
}

} // namespace

class ResourceLocaleTest : public QObject {
    Q_OBJECT

    QString program() const { return dir_.filePath(QStringLiteral("bin/dorel-rpu-sela")); }
    QString fallback() const { return dir_.filePath(QStringLiteral("docs")); }

    void Write(const QString &path, const QString &text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    void WriteModule(const QString &code, const QString &text = Module(QStringLiteral("Window")))
    {
        Write(LanguageModulePath(program(), code), text);
    }
    std::unique_ptr<ResourceLocale> Runtime()
    {
        return std::make_unique<ResourceLocale>(
            program(), LocaleOverrideStore(dir_.filePath(QStringLiteral("store.ini")), dir_.filePath(QStringLiteral("machine.ini"))),
            fallback());
    }

private slots:
    void init()
    {
        dir_.remove();
        dir_ = QTemporaryDir();
        QVERIFY(dir_.isValid());
        Write(program(), QStringLiteral("program"));
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void localeCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("back");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("nativeName");
        QTest::newRow("ENU") << "ENU" << "ENU" << "English (United States)" << "English (United States)";
        QTest::newRow("EN") << "EN" << "EN" << "English" << "English";
        QTest::newRow("lower, dot") << ".enu" << "ENU" << "English (United States)" << "English (United States)";
        QTest::newRow("TR") << "TR" << "TR" << "Turkish" << "Türkçe";
        QTest::newRow("RUR") << "RUR" << "RUR" << "Russian (Russia)" << "русский (Россия)";
        QTest::newRow("DE") << "DE" << "DE" << "German" << "Deutsch";
        QTest::newRow("unknown") << "XYZ" << "" << "" << "";
        QTest::newRow("empty") << "" << "" << "" << "";
    }
    void localeCodes()
    {
        QFETCH(QString, code);
        QFETCH(QString, back);
        QFETCH(QString, name);
        QFETCH(QString, nativeName);
        const LocaleId id = ExtensionToLocale(code);
        QCOMPARE(id == 0, back.isEmpty());
        QCOMPARE((id >> 10) == 0, back.size() != 3);
        QCOMPARE(LocaleToExtension(id), back);
        QCOMPARE(GetWindowsLocaleName(id, false), name);
        QCOMPARE(GetWindowsLocaleName(id, true), nativeName);
    }

    // A language alone is answered without the table of all locales; for
    // every language the answer is still the table's, as its locale in its
    // main territory shows.
    void languageCodesAgreeWithTheTable()
    {
        int listed = 0;
        for (int l = QLocale::AnyLanguage + 1; l <= QLocale::LastLanguage; ++l) {
            const auto language = QLocale::Language(l);
            const QString code = QLocale::languageToCode(language, QLocale::ISO639Part1).toUpper();
            const LocaleId main = LocaleId(language) | LocaleId(QLocale(language).territory()) << 10;
            const bool inTable = code.size() == 2 && LocaleToExtension(main).left(2) == code;
            QCOMPARE(LocaleToExtension(LocaleId(language)), inTable ? code : QString());
            if (code.size() == 2)
                QCOMPARE(ExtensionToLocale(code), inTable ? LocaleId(language) : LocaleId(0));
            listed += inTable;
        }
        QVERIFY(listed > 100);
        QCOMPARE(ExtensionToLocale(QStringLiteral("QQ")), LocaleId(0));
    }

    void listingModules_data()
    {
        QTest::addColumn<QStringList>("beside");
        QTest::addColumn<QStringList>("inFallback");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("ENU only") << QStringList{"ENU"} << QStringList{} << QStringList{"ENU"};
        QTest::newRow("ENU and EN") << QStringList{"EN", "ENU"} << QStringList{} << QStringList{"EN", "ENU"};
        QTest::newRow("EN and TR, INI ignored") << QStringList{"EN", "TR", "INI"} << QStringList{} << QStringList{"EN", "TR"};
        QTest::newRow("fallback when none beside") << QStringList{} << QStringList{"TR"} << QStringList{"TR"};
        QTest::newRow("fallback unused") << QStringList{"EN"} << QStringList{"TR"} << QStringList{"EN"};
    }
    void listingModules()
    {
        QFETCH(QStringList, beside);
        QFETCH(QStringList, inFallback);
        QFETCH(QStringList, listed);
        for (const QString &code : beside)
            WriteModule(code);
        for (const QString &code : inFallback)
            Write(fallback() + QStringLiteral("/dorel-rpu-sela.") + code, Module(code));
        const auto runtime = Runtime();
        QList<ResourceEntry> entries;
        QCOMPARE(runtime->GetAvailableResources(entries), int(listed.size()));
        QStringList codes;
        for (const ResourceEntry &entry : entries) {
            codes << entry.code;
            QCOMPARE(entry.locale, ExtensionToLocale(entry.code));
        }
        codes.sort();
        QCOMPARE(codes, listed);

        QString failure;
        QCOMPARE(runtime->CheckResourceCount(&failure), int(listed.size()));
        QCOMPARE(failure, listed.isEmpty() ? QStringLiteral("In order to change language you must first create resource files.")
                                           : QString());
    }

    // An installed program's modules: the program folder, the user's, the
    // package's share; the fallback folder only while none has a module.
    void modulesOverSeveralFolders_data()
    {
        QTest::addColumn<QStringList>("modules"); // "folder/code"
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("enFrom");      // the folder the EN module is taken from
        QTest::newRow("share only") << QStringList{"share/EN", "share/TR"} << QStringList{"EN", "TR"} << "share";
        QTest::newRow("the user's adds a language") << QStringList{"share/EN", "user/TR"} << QStringList{"EN", "TR"}
                                                    << "share";
        QTest::newRow("program folder first") << QStringList{"share/EN", "bin/EN"} << QStringList{"EN"} << "bin";
        QTest::newRow("the user's before the share") << QStringList{"share/EN", "user/EN"} << QStringList{"EN"}
                                                     << "user";
        QTest::newRow("fallback unused") << QStringList{"docs/TR", "share/EN"} << QStringList{"EN"} << "share";
        QTest::newRow("fallback when no folder has one") << QStringList{"docs/EN"} << QStringList{"EN"} << "docs";
    }
    void modulesOverSeveralFolders()
    {
        QFETCH(QStringList, modules);
        QFETCH(QStringList, listed);
        QFETCH(QString, enFrom);
        for (const QString &module : modules) {
            const QStringList parts = module.split('/');
            Write(dir_.filePath(parts[0] + "/dorel-rpu-sela." + parts[1]), Module(parts[0]));
        }
        const auto runtime = Runtime();
        runtime->SetModuleFolders({dir_.filePath("bin"), dir_.filePath("user"), dir_.filePath("share")});
        QList<ResourceEntry> entries;
        runtime->GetAvailableResources(entries);
        QStringList codes;
        for (const ResourceEntry &entry : entries)
            codes << entry.code;
        codes.sort();
        QCOMPARE(codes, listed);
        QCOMPARE(runtime->FindModuleFile("EN"), dir_.filePath(enFrom + "/dorel-rpu-sela.EN"));
    }

    void switchingRetranslatesWindows()
    {
        WriteModule(QStringLiteral("EN"), Module(QStringLiteral("Window")));
        const auto runtime = Runtime();
        runtime->BuiltinLayouts().AddText(QStringLiteral("object MainForm: Window\n  Caption = 'Окно'\n  Level = 3\nend"));
        // Start-up: the window is built after the switch and takes both layouts.
        runtime->ApplyStartupLanguage(QStringLiteral("ENU")); // a three-letter code falls back to its two-letter module
        QCOMPARE(runtime->LoadedResourceLocale(), QStringLiteral("EN"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QStringLiteral("ENU"));
        Window window;
        QCOMPARE(runtime->TranslateNewWindow(&window), QString());
        QCOMPARE(window.windowTitle, QStringLiteral("Window"));
        QCOMPARE(window.level, uchar(3));
        auto gone = std::make_unique<Window>();
        runtime->RegisterWindow(gone.get());
        gone.reset(); // a closed window drops out by itself

        window.windowTitle = QStringLiteral("changed at run time");
        QVERIFY(runtime->SetNewResourceFile(QStringLiteral("EN"), roSaveLocale, QStringLiteral("RU")));
        QCOMPARE(window.windowTitle, QStringLiteral("Window"));
        QCOMPARE(QLocale().language(), QLocale::English);
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QStringLiteral("EN"));

        // A module that is missing changes nothing.
        QVERIFY(!runtime->SetNewResourceFile(QStringLiteral("TR"), 0, QStringLiteral("RU")));
        QCOMPARE(runtime->LoadedResourceLocale(), QStringLiteral("EN"));
        QCOMPARE(window.windowTitle, QStringLiteral("Window"));

        // Back to the program's own layouts.
        QVERIFY(runtime->SetNewResourceFile(QString(), 0, QStringLiteral("RU")));
        QCOMPARE(runtime->LoadedResourceLocale(), QString());
        QCOMPARE(runtime->PreviouslyLoadedResourceLocale(), QStringLiteral("EN"));
        QCOMPARE(window.windowTitle, QStringLiteral("Окно"));
        QCOMPARE(QLocale().language(), QLocale::Russian);
        runtime->SetCurrentDefaultLocaleReg();
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QString());
    }

    void qtTextsFollowTheLanguage()
    {
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qt_tr.qm")))
            QSKIP("Qt's translations are not installed");
        WriteModule(QStringLiteral("TR"));
        const auto runtime = Runtime();
        const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
        QVERIFY(runtime->SetNewResourceFile(QStringLiteral("TR"), 0, QStringLiteral("RU")));
        QCOMPARE(cancel(), QStringLiteral("İptal"));
        QVERIFY(runtime->SetNewResourceFile(QString(), 0, QStringLiteral("RU")));
        QCOMPARE(cancel(), QStringLiteral("Отмена"));
    }

    void failedRetranslationKeepsTheNewModule()
    {
        WriteModule(QStringLiteral("TR"), Module(QStringLiteral("Pencere"), QStringLiteral("  Level = 999\n")));
        const auto runtime = Runtime();
        Window window;
        runtime->RegisterWindow(&window);
        QString error;
        QVERIFY(!runtime->SetNewResourceFile(QStringLiteral("TR"), roSaveLocale, QStringLiteral("RU"), &error));
        QCOMPARE(error, QStringLiteral("Could not translate Window.Level: Range check error"));
        QCOMPARE(runtime->LoadedResourceLocale(), QStringLiteral("TR"));
        QCOMPARE(window.windowTitle, QStringLiteral("Pencere"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QString()); // not recorded
    }

    // A module whose layout gives a window a size it cannot take is refused
    // whole, at start and on a switch: the source, the record and the
    // catalogue stay as they were, and the switch says where the fault is.
    void moduleWithGeometryOutOfRangeIsRefused()
    {
        WriteModule(QStringLiteral("EN"), Module(QStringLiteral("Window"), QStringLiteral("  Width = 2147483647\n")));
        const QString path = LanguageModulePath(program(), QStringLiteral("EN"));
        const QString why = path + QStringLiteral(", line 6: Width = 2147483647 is out of range (0..32767); "
                                                  "the module is not used");
        const auto runtime = Runtime();
        Window window;
        runtime->RegisterWindow(&window);
        QString error;
        QVERIFY(!runtime->SetNewResourceFile(QStringLiteral("EN"), roSaveLocale, QStringLiteral("RU"), &error));
        QCOMPARE(error, why);
        QCOMPARE(runtime->ModuleRefusal(), why);
        QCOMPARE(runtime->LoadedResourceLocale(), QString());
        QCOMPARE(window.windowTitle, QStringLiteral("Окно"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QString()); // nothing loaded, nothing recorded

        QTest::ignoreMessage(QtWarningMsg, qPrintable(why));
        runtime->ApplyStartupLanguage(QStringLiteral("EN"));
        QCOMPARE(runtime->LoadedResourceLocale(), QString());
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, *runtime);
        QCOMPARE(catalogue.Text(10001), QStringLiteral("Ошибка!"));

        // A missing module stays silent; a sound one clears the refusal.
        error.clear();
        QVERIFY(!runtime->SetNewResourceFile(QStringLiteral("TR"), 0, QStringLiteral("RU"), &error));
        QCOMPARE(error, QString());
        WriteModule(QStringLiteral("EN"), Module(QStringLiteral("Window"), QStringLiteral("  Width = 32767\n")));
        QVERIFY(runtime->SetNewResourceFile(QStringLiteral("EN"), 0, QStringLiteral("RU"), &error));
        QCOMPARE(runtime->ModuleRefusal(), QString());
        QCOMPARE(window.windowTitle, QStringLiteral("Window"));
    }

    void overrideStore()
    {
        const QString machine = dir_.filePath(QStringLiteral("machine.ini"));
        LocaleOverrideStore(dir_.filePath(QStringLiteral("other.ini"))).SetDefaultLocaleReg(program(), QStringLiteral("DE"));
        QFile::rename(dir_.filePath(QStringLiteral("other.ini")), machine);
        auto runtime = Runtime();
        // No per-user record yet: the machine-wide one counts.
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QStringLiteral("DE"));
        runtime->SetDefaultLocaleReg(program(), QStringLiteral("TR"));
        runtime->SetDefaultLocaleReg(QStringLiteral("/elsewhere/x.exe"), QStringLiteral("EN"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QStringLiteral("TR"));
        // Once the per-user store exists, it alone is read.
        runtime->SetDefaultLocaleReg(program(), QString());
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QString());
        // An unchanged record is not written again; an empty one is still kept
        // (it hides the machine-wide one).
        const QString store = dir_.filePath(QStringLiteral("store.ini"));
        QVERIFY(QFile::remove(store));
        runtime->SetDefaultLocaleReg(program(), QString());
        QVERIFY(QFile::exists(store));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QString());
        {
            QFile file(store);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime));
        }
        runtime->SetDefaultLocaleReg(program(), QString());
        QCOMPARE(QFileInfo(store).lastModified().date(), QDate(2020, 1, 1));
        runtime->SetDefaultLocaleReg(program(), QStringLiteral("EN"));
        QVERIFY(QFileInfo(store).lastModified().date() > QDate(2020, 1, 1));

        // A store that cannot be written keeps nothing, silently.
        Write(dir_.filePath(QStringLiteral("plainfile")), QStringLiteral("x"));
        LocaleOverrideStore broken(dir_.filePath(QStringLiteral("plainfile/store.ini")), machine);
        broken.SetDefaultLocaleReg(program(), QStringLiteral("EN"));
        QCOMPARE(broken.GetDefaultLocaleReg(program()), QStringLiteral("DE"));
    }

    void catalogueFromTheRecordedCode()
    {
        Write(fallback() + QStringLiteral("/dorel-rpu-sela.TR"), Module(QStringLiteral("Pencere")));
        const auto runtime = Runtime();
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, *runtime);
        QCOMPARE(catalogue.Text(10001), QStringLiteral("Ошибка!"));
        runtime->SetDefaultLocaleReg(program(), QStringLiteral("TR"));
        LoadMessageCatalogue(catalogue, *runtime);
        QCOMPARE(catalogue.Text(10001), QStringLiteral("Pencere error"));
        QCOMPARE(catalogue.Text(10002), BuiltinRussianText(10002)); // the module stops at 10001
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(ResourceLocaleTest)
#include "tst_resourcelocale.moc"
