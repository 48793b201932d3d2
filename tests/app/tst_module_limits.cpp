// Language modules whose layouts place or size the window's controls at the
// integer limits: refused whole at start and on a switch, the program stays
// in its own texts, and the configuration file does not come to name them.

#include "app/languagedialog.h"
#include "app/languageswitch.h"
#include "app/startup.h"
#include "formharness.h"
#include "i18n/resourcelocale.h"

#include <QPushButton>
#include <QSettings>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

struct OneAnswer final : LanguageAsker {
    QString code;
    bool Ask(QWidget *, const LanguageList &, QString &answer) override
    {
        answer = code;
        return true;
    }
};

// The shipped English module with one line put in after the first line that
// starts with `after`; the number of the new line in *lineNo.
QByteArray EnglishWith(const QByteArray &after, const QByteArray &line, int *lineNo)
{
    QFile shipped(qEnvironmentVariable("RPU_SOURCE_DIR") + QStringLiteral("/lang/dorel-rpu-sela.EN"));
    if (!shipped.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = shipped.readAll().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().startsWith(after)) {
            lines.insert(i + 1, line);
            *lineNo = i + 2;
            return lines.join('\n');
        }
    }
    return {};
}

} // namespace

class ModuleLimitsTest : public QObject {
    Q_OBJECT
private slots:
    void geometryAtTheLimits_data()
    {
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("fault"); // empty: the module is used
        QTest::newRow("button width int max") << QByteArray("object btn_ChangeLang:") << QByteArray("      Width = 2147483647")
                                              << "Width = 2147483647 is out of range (0..32767)";
        QTest::newRow("window left int min") << QByteArray("object MainForm:") << QByteArray("  Left = -2147483648")
                                             << "Left = -2147483648 is out of range (-32768..32767)";
        QTest::newRow("window height huge") << QByteArray("object MainForm:") << QByteArray("  Height = 2147483000")
                                            << "Height = 2147483000 is out of range (0..32767)";
        QTest::newRow("button minimum width") << QByteArray("object btn_ChangeLang:")
                                              << QByteArray("      MinimumWidth = 16777215")
                                              << "MinimumWidth = 16777215 is out of range (0..32767)";
        QTest::newRow("button at the limits") << QByteArray("object btn_ChangeLang:")
                                              << QByteArray("      Left = -32768\n      Width = 32767") << QString();
    }
    void geometryAtTheLimits()
    {
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, line);
        QFETCH(QString, fault);
        const QLocale savedLocale;
        FormHarness h;
        int lineNo = 0;
        const QByteArray module = EnglishWith(after, line, &lineNo);
        QVERIFY(!module.isEmpty());
        const QString modulePath = LanguageModulePath(h.ProgramPath(), QStringLiteral("EN"));
        for (const auto &[path, bytes] : {std::pair(h.ProgramPath(), QByteArray("program")), std::pair(modulePath, module)}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const QString ini = ProgramFoldersOf(h.ProgramPath()).configFile;
        auto *button = Find<QPushButton>(*h.form, "btn_ChangeLang");
        const QString russian = button->text();

        // The language change.
        OneAnswer english;
        english.code = QStringLiteral("EN");
        LanguageSwitchOf(*h.form)->SetAsker(&english);
        const bool switched = LanguageSwitchOf(*h.form)->ChangeLanguage() && LanguageSwitchOf(*h.form)->WritePendingRecords();
        QCOMPARE(switched, fault.isEmpty());
        if (fault.isEmpty()) {
            QVERIFY(button->text() != russian);
            QCOMPARE(button->geometry().left(), -32768);
            QCOMPARE(button->geometry().width(), 32767);
            QCOMPARE(QSettings(ini, QSettings::IniFormat).value("Language/Default").toString(), QStringLiteral("EN"));
        } else {
            QCOMPARE(button->text(), russian);
            QCOMPARE(h.dialogs.BoxTexts().value(0), QStringLiteral("%1, line %2: %3; the module is not used")
                                                        .arg(modulePath)
                                                        .arg(lineNo)
                                                        .arg(fault));
            QVERIFY(!QSettings(ini, QSettings::IniFormat).contains("Language/Default"));
            QCOMPARE(h.catalogue.Text(10001), BuiltinRussianText(10001));
        }

        // The start with the module named in the configuration file.
        {
            QSettings settings(ini, QSettings::IniFormat);
            settings.setValue("Language/Default", "EN");
        }
        const auto runtime = MakeResourceLocale(h.ProgramPath());
        MessageCatalogue catalogue;
        if (!fault.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(fault)));
        StartLanguage(*runtime, catalogue);
        QCOMPARE(runtime->LoadedResourceLocale(), fault.isEmpty() ? QStringLiteral("EN") : QString());
        QCOMPARE(catalogue.Text(10001) == BuiltinRussianText(10001), !fault.isEmpty());
        QLocale::setDefault(savedLocale);
    }
};

QTEST_MAIN(ModuleLimitsTest)
#include "tst_module_limits.moc"
