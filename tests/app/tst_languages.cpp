// Languages on the running window: switching back and forth through the
// language dialog, the change flow's failures, help and links, and the
// shipped modules against the window they translate.

#include "app/helplinks.h"
#include "app/languagedialog.h"
#include "app/languageswitch.h"
#include "app/pageflow.h"
#include "app/pages/settingspage.h"
#include "app/startup.h"
#include "app/translation/layoutdump.h"
#include "formharness.h"
#include "languageharness.h"
#include "i18n/formtranslator.h"
#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"
#include "i18n/resourcelocale.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QRadioButton>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

// What the user can do and see of the window: enabled and visible controls,
// selections and checks, by object name.
// The settings pages are built first: these walk the whole window.
void BuildPages(QWidget &window)
{
    if (auto *form = qobject_cast<TMainForm *>(&window))
        form->BuildAllPages();
}

QStringList StateOf(QWidget &window)
{
    BuildPages(window);
    QStringList state;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        // The scroll buttons of a tab bar follow the width of its captions.
        if (w->objectName().isEmpty() || qobject_cast<QTabBar *>(w->parentWidget()))
            continue;
        QString line = w->objectName()
                       + QStringLiteral(" enabled=%1 visible=%2").arg(w->isEnabled()).arg(w->isVisibleTo(&window));
        if (auto *combo = qobject_cast<QComboBox *>(w))
            line += QStringLiteral(" index=%1").arg(combo->currentIndex());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            line += QStringLiteral(" checked=%1").arg(button->isChecked());
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            line += QStringLiteral(" page=%1 tabs=").arg(tabs->currentIndex());
            for (int i = 0; i < tabs->count(); ++i)
                line += tabs->isTabVisible(i) ? QLatin1Char('1') : QLatin1Char('0');
        }
        state << line;
    }
    return state;
}

// The window's Tab stops in the order Tab visits them.
QStringList TabStops(QWidget &window)
{
    QStringList stops;
    for (QWidget *w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus)
            stops << w->objectName();
    }
    return stops;
}

QString TextOf(TMainForm &f, const char *name)
{
    QWidget *w = Find<QWidget>(f, name);
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->itemText(0);
    if (auto *tabs = qobject_cast<QTabWidget *>(w))
        return tabs->tabText(0);
    return Find<QGroupBox>(f, name)->title();
}

// Texts of the window still in Russian: captions, hints, items, tabs.
QStringList CyrillicTexts(QWidget &window)
{
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    BuildPages(window);
    QStringList found;
    const auto check = [&](QWidget *w, const QString &text) {
        if (text.contains(cyrillic))
            found << w->objectName() + QStringLiteral(": ") + text;
    };
    check(&window, window.windowTitle());
    for (QWidget *w : window.findChildren<QWidget *>()) {
        check(w, w->toolTip());
        if (auto *label = qobject_cast<QLabel *>(w))
            check(w, label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            check(w, button->text());
        if (auto *box = qobject_cast<QGroupBox *>(w))
            check(w, box->title());
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                check(w, combo->itemText(i));
        }
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                check(w, tabs->tabText(i));
        }
    }
    return found;
}

QString IniLanguage(const QString &programPath)
{
    return QSettings(ConfigFilePath(programPath), QSettings::IniFormat).value(QStringLiteral("Language/Default")).toString();
}

void ChooseDemo(TMainForm &f)
{
    Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(0);
    f.OperModeCmBChange();
}

QString MainLayout(TMainForm &f)
{
    f.BuildAllPages();
    return DumpWindowLayout(f, QStringLiteral("MainForm"), QStringLiteral("TMainForm"), false);
}

// (component, property) of every value of a layout, counted: unnamed
// components repeat.
QMap<QString, int> LayoutKeys(const QByteArray &binary)
{
    QMap<QString, int> keys;
    for (const LayoutValue &v : FlattenLayout(binary))
        ++keys[v.component + QLatin1Char(' ') + v.property];
    return keys;
}

} // namespace

class LanguagesTest : public QObject {
    Q_OBJECT
private slots:
    // RU -> EN -> TR -> RU on a running window: captions, hints, items, tab
    // captions, the caption, the status text, the INI and the store follow,
    // and nothing the user can do changes.
    void switchRoundTrip_data()
    {
        QTest::addColumn<bool>("demo");
        QTest::newRow("on-line without a link") << false;
        QTest::newRow("demo, settings page") << true;
    }
    void switchRoundTrip()
    {
        QFETCH(bool, demo);
        LanguageHarness l;
        TMainForm &f = *l.h.form;
        f.show();
        if (demo) {
            ChooseDemo(f);
            SetPageTabVisible(f, Find<QWidget>(f, "ReleSettingsTabSh"), true);
            SetActivePage(f, Find<QWidget>(f, "ReleSettingsTabSh"));
            f.MainPageCChange();
        } else {
            f.ShowStatus(l.h.catalogue.Format(10051, 50));
        }
        const QStringList state = StateOf(f);
        const QString russianLayout = MainLayout(f);

        struct Step {
            const char *code;
            const char *connect, *hint, *tab, *backupRole, *error, *ini, *store;
        };
        const Step steps[] = {
            {"EN", "&Connect", "Establishes the link with the device", "Main", "RPU", "Error!", "EN", "EN"},
            {"TR", "&Bağlan", "Cihazla bağlantı kurar", "Ana sayfa", "RPU", "Hata!", "TR", "TR"},
            {"RU", "&Установить", "Устанавливает связь с прибором", "Главная", "РПУ", "Ошибка!", "RU", ""},
        };
        for (const Step &step : steps) {
            const QByteArray where = QByteArray("switching to ") + step.code;
            QVERIFY2(l.ChangeTo(QString::fromLatin1(step.code)), where);
            QCOMPARE(TextOf(f, "ConnectButton"), QString::fromUtf8(step.connect));
            QCOMPARE(Find<QWidget>(f, "ConnectButton")->toolTip(), QString::fromUtf8(step.hint));
            QCOMPARE(TextOf(f, "MainPageC"), QString::fromUtf8(step.tab));
            QCOMPARE(Find<QButtonGroup>(f, "RPU_RTRRadioItems")->buttons().first()->text(), QString::fromUtf8(step.backupRole));
            QCOMPARE(l.h.catalogue.Text(10001), QString::fromUtf8(step.error));
            // Marked in the language shown: the harness talks to the simulator.
            QCOMPARE(f.windowTitle(), l.h.catalogue.Format(10150, l.h.catalogue.Text(10087)));
            QCOMPARE(f.StatusText(), demo ? l.h.catalogue.Text(10014) : l.h.catalogue.Format(10051, 50));
            QCOMPARE(IniLanguage(l.h.ProgramPath()), QString::fromLatin1(step.ini));
            QCOMPARE(l.runtime->GetCurrentDefaultLocaleReg(), QString::fromLatin1(step.store));
            QCOMPARE(StateOf(f), state);
            if (demo) {
                // Time items made from the catalogue, with the language's
                // decimal separator, also when a mode change builds them anew.
                const auto modes = Find<QGroupBox>(f, "ReleWorkMode1")->findChildren<QRadioButton *>();
                QRadioButton *chosen = nullptr;
                for (QRadioButton *mode : modes) {
                    if (mode->isChecked())
                        chosen = mode;
                }
                QVERIFY(chosen);
                for (QRadioButton *mode : {modes.at(modes.indexOf(chosen) == 0 ? 1 : 0), chosen}) {
                    mode->click();
                    const QComboBox *open = Find<QComboBox>(f, "TimeRzmk1");
                    QCOMPARE(open->itemText(0), l.h.catalogue.Text(10081));
                    QCOMPARE(open->itemText(1), l.h.catalogue.Format(10078, 0.5));
                    QCOMPARE(open->itemText(open->count() - 1), l.h.catalogue.Text(10075));
                }
                // Back to the state the page entry showed.
                Find<QPushButton>(f, "DefaultSettingsButton")->click();
            }
            if (QLatin1String(step.code) != QLatin1String("RU")) {
                const QStringList left = CyrillicTexts(f);
                QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
            }
        }
        // Back in Russian, nothing of the other languages is left.
        QCOMPARE(MainLayout(f), russianLayout);
    }

    // A restart comes up in the language chosen last.
    void restartInTheChosenLanguage()
    {
        LanguageHarness l;
        QVERIFY(l.ChangeTo(QStringLiteral("TR")));
        ResourceLocale restarted(l.h.ProgramPath(), l.runtime->Store(), l.runtime->FallbackFolder());
        AddBuiltinLayouts(restarted);
        MessageCatalogue catalogue;
        StartLanguage(restarted, catalogue);
        QCOMPARE(restarted.LoadedResourceLocale(), QStringLiteral("TR"));
        QCOMPARE(catalogue.Text(10012), QStringLiteral("Gerçekten çıkmak istiyor musunuz?"));
        QCOMPARE(QLocale().toString(1.5, 'f', 1), QStringLiteral("1,5"));

        SetProgramRuntime(&restarted);
        AppServices services = l.h.services;
        services.catalogue = &catalogue;
        TMainForm form(services);
        SetProgramRuntime(nullptr);
        QCOMPARE(TextOf(form, "btn_ChangeLang"), QStringLiteral("&Dili değiştir"));
        QCOMPARE(TextOf(form, "MainPageC"), QStringLiteral("Ana sayfa"));
    }

    // The settings pages are built when first needed. Built after switches,
    // they must come out as pages built at start and switched with the
    // window: the same texts and names, the same state, nothing in Russian.
    void pagesBuiltLateFollowTheLanguage_data()
    {
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("English") << QStringList{"EN"};
        QTest::newRow("Turkish") << QStringList{"TR"};
        QTest::newRow("back to Russian") << QStringList{"EN", "RU"};
    }
    void pagesBuiltLateFollowTheLanguage()
    {
        QFETCH(QStringList, codes);
        LanguageHarness early;
        early.h.form->BuildAllPages();
        LanguageHarness late;
        for (const char *part : {"ReleOKPageC", "ObjNumEdit", "Memo1"})
            QVERIFY2(!late.h.form->findChild<QWidget *>(QLatin1String(part)), part);
        for (const QString &code : codes) {
            QVERIFY(early.ChangeTo(code));
            QVERIFY(late.ChangeTo(code));
        }
        // The page the user visits first is built first.
        Find<SettingsPage>(*late.h.form, "ReleSettingsTabRPU")->BuildContent();
        QCOMPARE(MainLayout(*late.h.form), MainLayout(*early.h.form)); // builds the other page
        QCOMPARE(StateOf(*late.h.form), StateOf(*early.h.form));
        QCOMPARE(TabStops(*late.h.form), TabStops(*early.h.form));
        if (codes.last() != QLatin1String("RU"))
            QCOMPARE(CyrillicTexts(*late.h.form), QStringList());
    }

    // The window is drawn first; the pages are built in the rounds after.
    void pagesBuiltOnceTheWindowIsDrawn()
    {
        FormHarness h;
        h.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
        QTRY_VERIFY(h.form->findChild<QWidget *>(QStringLiteral("ReleOKPageCRPU")));
        for (const char *part : {"ReleOKPageC", "ObjNumEdit", "Memo1"})
            QVERIFY2(h.form->findChild<QWidget *>(QLatin1String(part)), part);
        // A language chosen is recorded once the window is redrawn.
        LanguageHarness l;
        l.asker.answers << QStringLiteral("EN");
        QVERIFY(l.Switch().ChangeLanguage());
        QVERIFY(IniLanguage(l.h.ProgramPath()) != QLatin1String("EN"));
        QTRY_COMPARE(IniLanguage(l.h.ProgramPath()), QStringLiteral("EN"));
    }

    // Box texts and Qt's own come from the new language after a switch.
    void boxesFollowTheLanguage()
    {
        LanguageHarness l;
        QVERIFY(l.ChangeTo(QStringLiteral("EN")));
        l.h.form->ConnectButtonClick(); // the simulated device answers
        l.h.form->DisconnectButtonClick();
        QVERIFY(l.h.form->StatusText() == QStringLiteral("Link with the device broken"));
        QVERIFY(l.ChangeTo(QStringLiteral("TR")));
        l.Help().HelpClick(); // no help file in the temporary folder
        QCOMPARE(l.h.dialogs.boxes.back().title, QStringLiteral("Hata!"));
        QCOMPARE(l.h.dialogs.boxes.back().text, QStringLiteral("Yardım dosyası açılamadı: dorel-rpu-sela_tr.html"));
        // Qt's own buttons (message boxes, file dialogs).
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("İptal"));
        QVERIFY(l.ChangeTo(QStringLiteral("RU")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    }

    // Every way the change flow can stop, and what each leaves behind.
    void changeFlowFailures_data()
    {
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption"); // ConnectButton afterwards
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("message10001");
        const QStringList shipped{QStringLiteral("EN"), QStringLiteral("TR")};
        QTest::newRow("no module at all") << QStringList() << "EN" << "" << kNoResourceFilesText << "&Установить" << ""
                                          << "" << "Ошибка!";
        QTest::newRow("dialog cancelled") << shipped << "" << "" << "" << "&Установить" << "" << "" << "Ошибка!";
        // A module that is there but cannot be used says why.
        QTest::newRow("module unreadable") << shipped << "EN" << "not utf-8" << "dorel-rpu-sela.EN: not UTF-8 text"
                                           << "&Установить" << "" << "" << "Ошибка!";
        // The window and its messages are in the new language; only the
        // configuration file misses it.
        QTest::newRow("configuration file not writable")
            << shipped << "EN" << "ini" << "Unable to write to %1" << "&Connect" << "" << "EN" << "Error!";
        // The broken layout replaces the module's own, and stops at its first entry.
        QTest::newRow("layout cannot be applied") << shipped << "EN" << "layout" << "Invalid data" << "&Установить" << ""
                                                  << "" << "Ошибка!";
    }
    void changeFlowFailures()
    {
        QFETCH(QStringList, modules);
        QFETCH(QString, answer);
        QFETCH(QString, damage);
        QFETCH(QString, box);
        QFETCH(QString, caption);
        QFETCH(QString, ini);
        QFETCH(QString, store);
        QFETCH(QString, message10001);
        LanguageHarness l(modules);
        const QString iniPath = ConfigFilePath(l.h.ProgramPath());
        const QString enModule = LanguageModulePath(l.h.ProgramPath(), QStringLiteral("EN"));
        if (damage == QLatin1String("not utf-8"))
            WriteFile(enModule, "@messages\n10001 = \xff\xfe\n");
        if (damage == QLatin1String("ini"))
            QVERIFY(QDir().mkpath(iniPath)); // a folder where the file should be
        if (damage == QLatin1String("layout")) {
            QFile file(enModule);
            QVERIFY(file.open(QIODevice::Append));
            file.write("@layout\nobject MainForm: TMainForm\n  object ConnectButton: QPushButton\n"
                       "    Caption = <\n      item\n      end>\n  end\nend\n");
        }
        const QStringList state = StateOf(*l.h.form);
        l.h.dialogs.boxes.clear();

        QVERIFY(!l.ChangeTo(answer));
        QCOMPARE(l.asker.asked, modules.isEmpty() ? 0 : 1);
        if (box.isEmpty()) {
            QVERIFY(l.h.dialogs.boxes.empty());
        } else {
            QCOMPARE(l.h.dialogs.boxes.size(), size_t(1));
            QCOMPARE(l.h.dialogs.boxes[0].title, kApplicationTitle);
            QVERIFY2(l.h.dialogs.boxes[0].text.contains(box.contains(QLatin1String("%1")) ? box.arg(iniPath) : box), qPrintable(l.h.dialogs.boxes[0].text));
        }
        QCOMPARE(TextOf(*l.h.form, "ConnectButton"), caption);
        if (damage != QLatin1String("ini"))
            QCOMPARE(IniLanguage(l.h.ProgramPath()), ini);
        QCOMPARE(l.runtime->GetCurrentDefaultLocaleReg(), store);
        QCOMPARE(l.h.catalogue.Text(10001), message10001);
        QCOMPARE(StateOf(*l.h.form), state);
    }

    // The real dialog: the entries by their own names, sorted, the active
    // language selected, and its own texts in the language in use.
    void languageDialog()
    {
        LanguageHarness l;
        QVERIFY(l.ChangeTo(QStringLiteral("TR")));
        l.Switch().SetAsker(nullptr);
        QStringList shown;
        QString selected, cancel, title;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<TLanguageDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List"));
            for (int i = 0; i < list->count(); ++i)
                shown << list->item(i)->text();
            selected = list->currentItem()->text();
            cancel = dialog->findChild<QPushButton *>(QStringLiteral("CancelButton"))->text();
            title = dialog->windowTitle();
            list->setCurrentRow(int(shown.indexOf(QStringLiteral("English"))));
            dialog->findChild<QPushButton *>(QStringLiteral("OkButton"))->click();
        });
        QVERIFY(l.Switch().ChangeLanguage());
        QCOMPARE(shown, (QStringList{QStringLiteral("English"), QStringLiteral("Türkçe"), QStringLiteral("русский")}));
        QCOMPARE(selected, QStringLiteral("Türkçe"));
        QCOMPARE(cancel, QStringLiteral("İptal"));
        QCOMPARE(title, QStringLiteral("Dil seçimi"));
        QCOMPARE(TextOf(*l.h.form, "ConnectButton"), QStringLiteral("&Connect"));
    }

    void help_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("file"); // created in help/, "" for none
        QTest::addColumn<QString>("opened"); // path under the program folder, "" for a box
        QTest::addColumn<QString>("boxText");
        QTest::newRow("EN named in the INI") << "EN" << QByteArray("[Help]\nEN=manual_en.pdf\n") << "manual_en.pdf"
                                             << "help/manual_en.pdf" << "";
        QTest::newRow("nothing recorded: RU") << "" << QByteArray("[Help]\nRU=ru.html\nEN=en.html\n") << "ru.html"
                                              << "help/ru.html" << "";
        QTest::newRow("name with spaces") << "RU" << QByteArray("[Help]\nRU=my help file.html\n") << "my help file.html"
                                          << "help/my help file.html" << "";
        QTest::newRow("name with a comma and a blank") << "RU" << QByteArray("[Help]\nRU=Руководство, часть 1.html\n")
                                                       << "Руководство, часть 1.html"
                                                       << "help/Руководство, часть 1.html" << "";
        QTest::newRow("name with a semicolon") << "EN" << QByteArray("[Help]\nEN=a;b.html\n") << "a;b.html"
                                               << "help/a;b.html" << "";
        QTest::newRow("no key, shipped document") << "TR" << QByteArray() << "dorel-rpu-sela_tr.html"
                                                  << "help/dorel-rpu-sela_tr.html" << "";
        QTest::newRow("no key for the code") << "DE" << QByteArray("[Help]\nRU=ru.html\n") << "" << ""
                                             << "Ошибка открытия файла помощи ";
        QTest::newRow("named file missing") << "EN" << QByteArray("[Help]\nEN=gone.pdf\n") << "" << ""
                                            << "Ошибка открытия файла помощи gone.pdf";
    }
    void help()
    {
        QFETCH(QString, language);
        QFETCH(QByteArray, ini);
        QFETCH(QString, file);
        QFETCH(QString, opened);
        QFETCH(QString, boxText);
        LanguageHarness l;
        const QDir folder(l.h.folder.path());
        if (!ini.isEmpty())
            WriteFile(ConfigFilePath(l.h.ProgramPath()), ini);
        if (!file.isEmpty()) {
            QVERIFY(folder.mkpath(QStringLiteral("help")));
            WriteFile(folder.filePath(QStringLiteral("help/") + file), "help");
        }
        l.runtime->SetDefaultLocaleReg(l.h.ProgramPath(), language);
        l.h.dialogs.boxes.clear();

        Find<QPushButton>(*l.h.form, "Help")->click();
        if (opened.isEmpty()) {
            QVERIFY(l.opened.isEmpty());
            QCOMPARE(l.h.dialogs.boxes.size(), size_t(1));
            QCOMPARE(l.h.dialogs.boxes[0].title, QStringLiteral("Ошибка!"));
            QCOMPARE(l.h.dialogs.boxes[0].text, boxText);
        } else {
            QCOMPARE(l.opened, QList<QUrl>{QUrl::fromLocalFile(folder.filePath(opened))});
            QVERIFY(l.h.dialogs.boxes.empty());
        }
    }

    void helpOpenFailureShowsTheBox()
    {
        LanguageHarness l;
        QDir(l.h.folder.path()).mkpath(QStringLiteral("help"));
        WriteFile(l.h.folder.filePath(QStringLiteral("help/dorel-rpu-sela_ru.html")), "help");
        l.openResult = false; // no program to open it with
        l.Help().HelpClick();
        QCOMPARE(l.h.dialogs.BoxTexts(), QStringList{QStringLiteral("Ошибка открытия файла помощи dorel-rpu-sela_ru.html")});
    }

    void linkLabels()
    {
        LanguageHarness l;
        auto *web = Find<QLabel>(*l.h.form, "Label_webaddr");
        auto *mail = Find<QLabel>(*l.h.form, "Label_emailaddr");
        QCOMPARE(web->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(mail->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(web, Qt::LeftButton);
        QTest::mouseClick(mail, Qt::LeftButton);
        QCOMPARE(l.opened, (QList<QUrl>{QUrl(QStringLiteral("http://") + web->text()),
                                        QUrl(QStringLiteral("mailto:") + mail->text() + QStringLiteral("?subject=dorel-rpu-sela"))}));
        QCOMPARE(MailTarget(QStringLiteral("a@b.c"), QStringLiteral("C:/prog/x.exe")).toString(),
                 QStringLiteral("mailto:a@b.c?subject=x.exe"));
        l.openResult = false; // nothing is reported for links
        QTest::mouseClick(web, Qt::LeftButton);
        QVERIFY(l.h.dialogs.boxes.empty());
    }

    // The built-in layout is the window as built: applying it changes nothing.
    void builtinLayoutMatchesTheWindow()
    {
        FormHarness h;
        h.form->BuildAllPages();
        TLanguageDialog dialog;
        ResourceLocale runtime(h.ProgramPath());
        AddBuiltinLayouts(runtime);
        int changed = 0;
        TranslationSettings().onBeforeTranslate = [&](QObject *, QObject *obj, const QString &property,
                                                      const QVariant &current, const QVariant &stored, bool &) {
            if (current == stored)
                return; // item lists are written without comparing
            ++changed;
            qWarning("changed: %s.%s", qPrintable(obj->objectName()), qPrintable(property));
        };
        QCOMPARE(TranslateForms(runtime.BuiltinLayouts(), {h.form.get(), &dialog}), QString());
        TranslationSettings().onBeforeTranslate = nullptr;
        QCOMPARE(changed, 0);
    }

    // A module must translate every message and every text the window and
    // the dialog show, and name no control they no longer have.
    void shippedModulesAreComplete_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("EN") << "EN";
        QTest::newRow("TR") << "TR";
    }
    void shippedModulesAreComplete()
    {
        QFETCH(QString, code);
        const auto module = LanguageModule::Load(ShippedModule(code));
        QVERIFY(module);
        QCOMPARE(CheckLanguageModule(*module), QStringList());
        for (int n = 10001; n <= kLastProgramMessage; ++n)
            QVERIFY2(IsReservedMessageNumber(n) || !module->String(n).isEmpty(), qPrintable(QString::number(n)));

        FormHarness h;
        h.form->BuildAllPages();
        TLanguageDialog dialog;
        const struct {
            QWidget *window;
            QString name, className;
            bool rootValues;
        } windows[] = {{h.form.get(), QStringLiteral("MainForm"), QStringLiteral("TMainForm"), false},
                       {&dialog, QStringLiteral("LanguageDialog"), QStringLiteral("TLanguageDialog"), true}};
        for (const auto &w : windows) {
            const QMap<QString, int> live =
                LayoutKeys(LayoutTextToBinary(DumpWindowLayout(*w.window, w.name, w.className, w.rootValues)));
            const QMap<QString, int> stored = LayoutKeys(module->Layout(w.className));
            QStringList missing, unknown;
            for (auto it = live.begin(); it != live.end(); ++it) {
                if (stored.value(it.key()) < it.value())
                    missing << it.key();
            }
            for (const LayoutValue &v : FlattenLayout(module->Layout(w.className))) {
                const QString name = v.component.section(QLatin1Char('.'), -1);
                if (!name.startsWith(QLatin1Char('<')) && name != w.name
                    && !w.window->findChild<QObject *>(name))
                    unknown << v.component;
            }
            QVERIFY2(missing.isEmpty(), qPrintable(w.className + QStringLiteral(" lacks: ") + missing.join(QStringLiteral(", "))));
            QVERIFY2(unknown.isEmpty(), qPrintable(w.className + QStringLiteral(" names: ") + unknown.join(QStringLiteral(", "))));
        }
    }

    // With RPU_DUMP_LAYOUT set, writes the window's current layout (the
    // built-in Russian one on a fresh window) to that file.
    void dumpLayout()
    {
        const QString target = qEnvironmentVariable("RPU_DUMP_LAYOUT");
        if (target.isEmpty())
            QSKIP("RPU_DUMP_LAYOUT not set");
        FormHarness h;
        h.form->BuildAllPages();
        TLanguageDialog dialog;
        QFile out(target);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(MainLayout(*h.form).toUtf8());
        out.write(DumpWindowLayout(dialog, QStringLiteral("LanguageDialog"), QStringLiteral("TLanguageDialog")).toUtf8());
    }

    // With RPU_SCREENSHOTS set to a folder, saves every page in every
    // language there, for a look at clipped texts.
    void screenshots()
    {
        const QString folder = qEnvironmentVariable("RPU_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("RPU_SCREENSHOTS not set");
        LanguageHarness l;
        TMainForm &f = *l.h.form;
        f.show();
        const char *pages[] = {"MainTabSh", "RegistBackupTabSh", "ReleSettingsTabSh", "ReleSettingsTabRPU"};
        for (const char *code : {"RU", "EN", "TR"}) {
            QVERIFY(l.ChangeTo(QString::fromLatin1(code)));
            Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(1);
            f.OperModeCmBChange();
            f.grab().save(QStringLiteral("%1/%2-welcome.png").arg(folder, QLatin1String(code)));
            ChooseDemo(f);
            for (const char *page : pages) {
                SetPageTabVisible(f, Find<QWidget>(f, page), true);
                SetActivePage(f, Find<QWidget>(f, page));
                f.MainPageCChange();
                QTest::qWait(20);
                f.grab().save(QStringLiteral("%1/%2-%3.png").arg(folder, QLatin1String(code), QLatin1String(page)));
            }
            Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(1);
            f.OperModeCmBChange();
            l.h.dialogs.answers = {Dialogs::Answer::No}; // no firmware update now
            f.ConnectButtonClick();
            f.grab().save(QStringLiteral("%1/%2-connected.png").arg(folder, QLatin1String(code)));
            f.DisconnectButtonClick();
            TLanguageDialog dialog;
            TranslateForms(l.runtime->ResourceSource(), {&dialog});
            dialog.grab().save(QStringLiteral("%1/%2-dialog.png").arg(folder, QLatin1String(code)));
        }
    }
};

QTEST_MAIN(LanguagesTest)
#include "tst_languages.moc"
