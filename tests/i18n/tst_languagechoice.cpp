// The language choice without widgets: the dialog's entries and selection,
// the switch to the chosen code, and recording the change.

#include "i18n/languagechoice.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;

class LanguageChoiceTest : public QObject {
    Q_OBJECT

    QString program() const { return dir_.filePath(QStringLiteral("dorel-rpu-sela")); }
    QString ini() const { return dir_.filePath(QStringLiteral("dorel-rpu-sela.INI")); }

    void Write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    std::unique_ptr<ResourceLocale> Runtime(const QStringList &modules)
    {
        Write(program(), "program");
        for (const QString &code : modules)
            Write(LanguageModulePath(program(), code), "@messages\n10001 = " + code.toUtf8() + "\n");
        return std::make_unique<ResourceLocale>(program(), LocaleOverrideStore(dir_.filePath(QStringLiteral("store.ini"))),
                                                dir_.filePath(QStringLiteral("none")));
    }
    static QStringList Codes(const LanguageList &list)
    {
        QStringList codes;
        for (const TLanguageListItem &item : list.items)
            codes << item.code;
        return codes;
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup()
    {
        dir_.remove();
        dir_ = QTemporaryDir();
        QLocale::setDefault(QLocale::c());
    }

    void entriesAndSelection_data()
    {
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<unsigned>("options");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("selected");
        QTest::newRow("first use") << QStringList{"TR", "EN"} << "" << 0u
                                   << QStringList{"English", "Türkçe", "русский"} << 2;
        QTest::newRow("English loaded") << QStringList{"TR", "EN"} << "EN" << 0u
                                        << QStringList{"English", "Türkçe", "русский"} << 0;
        QTest::newRow("names in English") << QStringList{"TR", "EN"} << "" << unsigned(doUseCurrentLanguage)
                                          << QStringList{"English", "Russian", "Turkish"} << 1;
        QTest::newRow("country module") << QStringList{"ENU"} << "" << 0u
                                        << QStringList{"English (United States)", "русский"} << 1;
    }
    void entriesAndSelection()
    {
        QFETCH(QStringList, modules);
        QFETCH(QString, loaded);
        QFETCH(unsigned, options);
        QFETCH(QStringList, names);
        QFETCH(int, selected);
        auto runtime = Runtime(modules);
        if (!loaded.isEmpty())
            QVERIFY(runtime->LoadNewResourceFile(loaded));
        const LanguageList list = LanguageListFor(*runtime, QStringLiteral("RU"), options);
        QStringList shown;
        for (const TLanguageListItem &item : list.items)
            shown << item.name;
        QCOMPARE(shown, names);
        QCOMPARE(list.selected, selected);
    }

    void emptyListSelectsNothing()
    {
        auto runtime = Runtime({});
        QCOMPARE(LanguageListFor(*runtime, QString(), 0).selected, -1);
        QCOMPARE(Codes(LanguageListFor(*runtime, QStringLiteral("RU"), 0)), QStringList{"RU"});
    }

    void changeIsRecorded()
    {
        auto runtime = Runtime({QStringLiteral("ENU")});
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, *runtime);

        QVERIFY(SwitchToChosenLanguage(*runtime, QStringLiteral("ENU"), QStringLiteral("RU"), 0));
        QCOMPARE(RecordLanguageChange(*runtime, ini(), catalogue), QString());
        QCOMPARE(QSettings(ini(), QSettings::IniFormat).value(QStringLiteral("Language/Default")).toString(),
                 QStringLiteral("ENU"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QStringLiteral("ENU"));
        QCOMPARE(catalogue.Text(10001), QStringLiteral("ENU"));

        // Choosing the built-in language goes back to the program's own texts.
        QVERIFY(SwitchToChosenLanguage(*runtime, QStringLiteral("RU"), QStringLiteral("RU"), 0));
        QCOMPARE(RecordLanguageChange(*runtime, ini(), catalogue), QString());
        QCOMPARE(QSettings(ini(), QSettings::IniFormat).value(QStringLiteral("Language/Default")).toString(),
                 QStringLiteral("RU"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QString());
        QCOMPARE(catalogue.Text(10001), QStringLiteral("Ошибка!"));
    }

    // Only "[Language] Default" changes: comments, order, a ';' in a socket
    // path and a ", " in a help name stay byte for byte.
    void changeKeepsEveryOtherByte_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray head = "; bench 3, do not touch\r\n[Device]\r\nTransport=socket:/run/rpu;bench3.sock\r\n"
                                "UsbIds=04b4:8613,04b4:1004\r\n\r\n";
        const QByteArray help = "[Help]\r\nRU=Руководство, часть 1.html\r\n";
        QTest::newRow("key replaced") << head + "[Language]\r\nDefault=RU\r\n" + help
                                      << head + "[Language]\r\nDefault=ENU\r\n" + help;
        QTest::newRow("key added") << head + "[Language]\r\n; chosen at start\r\n" + help
                                   << head + "[Language]\r\n; chosen at start\r\nDefault=ENU\r\n" + help;
        QTest::newRow("section added") << head + help << head + help + "[Language]\r\nDefault=ENU\r\n";
    }
    void changeKeepsEveryOtherByte()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        auto runtime = Runtime({QStringLiteral("ENU")});
        MessageCatalogue catalogue;
        Write(ini(), before);
        QVERIFY(SwitchToChosenLanguage(*runtime, QStringLiteral("ENU"), QStringLiteral("RU"), 0));
        QCOMPARE(RecordLanguageChange(*runtime, ini(), catalogue), QString());
        QFile file(ini());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), after);
        QCOMPARE(catalogue.Text(10001), QStringLiteral("ENU"));
    }

    void unwritableConfigurationKeepsTheCatalogue()
    {
        auto runtime = Runtime({QStringLiteral("TR")});
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, *runtime);
        QVERIFY(SwitchToChosenLanguage(*runtime, QStringLiteral("TR"), QStringLiteral("RU"), 0));
        Write(dir_.filePath(QStringLiteral("plainfile")), "x");
        const QString badIni = dir_.filePath(QStringLiteral("plainfile/dorel-rpu-sela.INI"));
        QCOMPARE(RecordLanguageChange(*runtime, badIni, catalogue), QStringLiteral("Unable to write to ") + badIni);
        QCOMPARE(catalogue.Text(10001), QStringLiteral("Ошибка!"));
        QCOMPARE(runtime->GetCurrentDefaultLocaleReg(), QStringLiteral("TR")); // the store keeps the new code
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(LanguageChoiceTest)
#include "tst_languagechoice.moc"
