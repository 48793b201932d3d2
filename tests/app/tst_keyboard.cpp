// The window from the keyboard and for screen readers, in every language:
// Tab reaches what is shown and nothing hidden, no key opens a box by
// itself, Enter presses buttons and opens links, inputs have names and the
// main commands have mnemonics.

#include "app/pages/mainpage.h"
#include "firmware/firmwarefile.h"
#include "formharness.h"
#include "languageharness.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeySequence>
#include <QPushButton>
#include <QtTest>

#include <functional>

using namespace rpu;
using namespace rpu::test;

namespace {

void Put(FormHarness &h, const QString &name, const QByteArray &bytes)
{
    QFile f(h.folder.path() + QStringLiteral("/base/") + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void EnterDemoPage(TMainForm &f, const char *page)
{
    Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(0);
    f.OperModeCmBChange();
    SetPageTabVisible(f, Find(f, page), true);
    SetActivePage(f, Find(f, page));
    f.MainPageCChange();
}

using Situation = std::function<void(LanguageHarness &)>;

// Tabs through the shown window, pressing the arrow keys in every list on
// the way; returns the names of the controls that had the focus.
QStringList WalkFocus(TMainForm &f)
{
    f.show();
    f.activateWindow();
    if (!QTest::qWaitForWindowActive(&f))
        return {QStringLiteral("window never active")};
    QTest::keyClick(&f, Qt::Key_Tab);
    QStringList visited;
    for (int step = 0; step < 150; ++step) {
        QWidget *w = QApplication::focusWidget();
        if (!w)
            break;
        QString name = w->objectName();
        if (!w->isVisible())
            name += QStringLiteral(" (hidden)");
        visited << name;
        if (qobject_cast<QAbstractItemView *>(w)) {
            QTest::keyClick(w, Qt::Key_Down);
            QTest::keyClick(w, Qt::Key_Down);
            QTest::keyClick(w, Qt::Key_Up);
        }
        QTest::keyClick(w, Qt::Key_Tab);
    }
    return visited;
}

QString AccessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

const char *const kCommands[] = {"ConnectButton", "DisconnectButton", "WriteButton", "ReadButton",
                                 "SaveButton", "LoadButton", "DefaultSettingsButton", "Help",
                                 "btn_ChangeLang", "WriteSWButton"};

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void focusWalkOpensNoBox_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<Situation>("situation");
        QTest::addColumn<QStringList>("reached");
        const struct {
            const char *name;
            Situation situation;
            QStringList reached;
        } situations[] = {
            {"welcome", [](LanguageHarness &) {}, {"Label_webaddr", "Label_emailaddr", "ConnectButton"}},
            // The first row is a refused file: focus on the list once opened a box.
            {"firmware list",
             [](LanguageHarness &l) {
                 Put(l.h, QStringLiteral("a_broken_sela_3_0.bin"), MakeFirmwareImage(0x12, 30, 2) + "x");
                 Put(l.h, QStringLiteral("b_other_sela_9_9.bin"), MakeFirmwareImage(0x13, 99, 2));
                 Put(l.h, QStringLiteral("c_sela_4_5.bin"), MakeFirmwareImage(0x12, 45, 2));
                 l.h.form->ConnectButtonClick();
             },
             {"SoftUpdatesListBox", "DisconnectButton"}},
            {"backup page", [](LanguageHarness &l) { EnterDemoPage(*l.h.form, "RegistBackupTabSh"); },
             {"qt_tabwidget_tabbar"}},
            {"relay settings", [](LanguageHarness &l) { EnterDemoPage(*l.h.form, "ReleSettingsTabSh"); },
             {"qt_tabwidget_tabbar"}},
            {"receiver settings", [](LanguageHarness &l) { EnterDemoPage(*l.h.form, "ReleSettingsTabRPU"); },
             {"qt_tabwidget_tabbar"}},
        };
        for (const char *code : {"RU", "EN", "TR"}) {
            for (const auto &s : situations)
                QTest::addRow("%s %s", code, s.name) << QString::fromLatin1(code) << s.situation << s.reached;
        }
    }
    void focusWalkOpensNoBox()
    {
        QFETCH(QString, code);
        QFETCH(Situation, situation);
        QFETCH(QStringList, reached);
        LanguageHarness l;
        if (code != QLatin1String("RU"))
            QVERIFY(l.ChangeTo(code));
        situation(l);
        l.h.dialogs.boxes.clear();

        const QStringList visited = WalkFocus(*l.h.form);
        QVERIFY2(l.h.dialogs.boxes.empty(), qPrintable(l.h.dialogs.BoxTexts().join(QLatin1Char('|'))));
        for (const QString &name : reached)
            QVERIFY2(visited.contains(name), qPrintable(name + QStringLiteral(" not in ") + visited.join(QLatin1Char(' '))));
        QVERIFY2(!visited.contains(QStringLiteral("LangCmB")), qPrintable(visited.join(QLatin1Char(' '))));
        for (const QString &name : visited)
            QVERIFY2(!name.endsWith(QLatin1String("(hidden)")), qPrintable(name));
    }

    void enterPressesTheFocusedButton()
    {
        FormHarness h;
        h.form->show();
        auto *connect = Find<QPushButton>(*h.form, "ConnectButton");
        connect->setFocus();
        QTest::keyClick(connect, Qt::Key_Return);
        QCOMPARE(h.form->Session().State(), LinkState::Linked);
        auto *disconnect = Find<QPushButton>(*h.form, "DisconnectButton");
        disconnect->setFocus();
        QTest::keyClick(disconnect, Qt::Key_Enter);
        QCOMPARE(h.form->Session().State(), LinkState::Down);
    }

    void linksOpenFromTheKeyboard_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("scheme");
        QTest::newRow("web, Enter") << "Label_webaddr" << int(Qt::Key_Return) << "http";
        QTest::newRow("web, Space") << "Label_webaddr" << int(Qt::Key_Space) << "http";
        QTest::newRow("mail, Enter") << "Label_emailaddr" << int(Qt::Key_Enter) << "mailto";
        QTest::newRow("mail, a letter opens nothing") << "Label_emailaddr" << int(Qt::Key_M) << "";
    }
    void linksOpenFromTheKeyboard()
    {
        QFETCH(QString, link);
        QFETCH(int, key);
        QFETCH(QString, scheme);
        LanguageHarness l;
        l.h.form->show();
        QWidget *label = Find(*l.h.form, qPrintable(link));
        QCOMPARE(label->focusPolicy(), Qt::StrongFocus);
        QTest::keyClick(label, Qt::Key(key));
        QCOMPARE(l.opened.size(), scheme.isEmpty() ? 0 : 1);
        if (!scheme.isEmpty())
            QVERIFY2(l.opened[0].scheme().startsWith(scheme), qPrintable(l.opened[0].toString()));
    }

    void inputsHaveNamesInEveryLanguage_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("RU") << "RU";
        QTest::newRow("EN") << "EN";
        QTest::newRow("TR") << "TR";
    }
    void inputsHaveNamesInEveryLanguage()
    {
        QFETCH(QString, code);
        LanguageHarness l;
        l.h.form->show();
        QMap<QString, QString> russian;
        for (const char *name : {"ObjNumEdit", "ModuleNumCmB", "SoftUpdatesListBox"})
            russian[QLatin1String(name)] = AccessibleName(Find(*l.h.form, name));
        if (code != QLatin1String("RU"))
            QVERIFY(l.ChangeTo(code));
        for (auto it = russian.cbegin(); it != russian.cend(); ++it) {
            const QString name = AccessibleName(Find(*l.h.form, qPrintable(it.key())));
            QVERIFY2(!name.isEmpty(), qPrintable(it.key()));
            QVERIFY2(!name.contains(QLatin1Char('&')), qPrintable(name));
            // The name follows the language shown.
            QCOMPARE(name == it.value(), code == QLatin1String("RU"));
        }
    }

    void mainCommandsHaveDistinctMnemonics_data() { inputsHaveNamesInEveryLanguage_data(); }
    void mainCommandsHaveDistinctMnemonics()
    {
        QFETCH(QString, code);
        LanguageHarness l;
        if (code != QLatin1String("RU"))
            QVERIFY(l.ChangeTo(code));
        QMap<QKeySequence, QString> seen;
        for (const char *name : kCommands) {
            const QString text = Find<QPushButton>(*l.h.form, name)->text();
            const QKeySequence mnemonic = QKeySequence::mnemonic(text);
            QVERIFY2(!mnemonic.isEmpty(), qPrintable(text));
            QVERIFY2(text.count(QLatin1Char('&')) == 1, qPrintable(text));
            QVERIFY2(!seen.contains(mnemonic), qPrintable(text + QStringLiteral(" and ") + seen.value(mnemonic)));
            seen.insert(mnemonic, text);
        }
    }
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
