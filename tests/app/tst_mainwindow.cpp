// The main window as it opens: controls, captions, states, the window's own
// events (show, close, F5) and the wiring of controls to their handlers.

#include "formharness.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QListWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>
#include <stdexcept>

using namespace rpu;
using namespace rpu::test;

namespace {

// Caption of a control: "text" of buttons, labels and boxes, "title" of groups.
QString Caption(const QWidget *w)
{
    if (const auto *group = qobject_cast<const QGroupBox *>(w))
        return group->title();
    return w->property("text").toString();
}

QStringList VisibleTabs(const QTabWidget *pages)
{
    QStringList names;
    for (int i = 0; i < pages->count(); ++i) {
        if (pages->isTabVisible(i))
            names << pages->widget(i)->objectName();
    }
    return names;
}

struct Shown {
    FormHarness h;
    Shown()
    {
        h.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowFrame()
    {
        Shown s;
        TMainForm &f = *s.h.form;
        // The harness talks to the simulator, and the caption says so.
        QCOMPARE(f.windowTitle(), QStringLiteral("Dorel-RPU-SELA (СИМУЛЯТОР)"));
        QCOMPARE(f.size(), QSize(794, 570));
        QCOMPARE(f.minimumSize(), QSize(794, 570));
        QCOMPARE(f.maximumSize(), QSize(794, 570));
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!f.windowIcon().isNull());
        QVERIFY(!Find<QLabel>(f, "Logo_Image")->pixmap().isNull());
    }

    void controlsAndCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        auto row = [](const char *name, const QString &caption, const QString &hint = {}) {
            QTest::newRow(name) << QString::fromLatin1(name) << caption << hint;
        };
        row("GroupBox1", QStringLiteral("Порт связи"));
        row("CheckBox1", QStringLiteral("USB-порт"));
        row("OperModeGrB", QStringLiteral("Режим работы:"));
        row("GroupBox39", QStringLiteral("Связь"));
        row("ConnectButton", QStringLiteral("&Установить"), QStringLiteral("Устанавливает связь с прибором"));
        row("DisconnectButton", QStringLiteral("&Разорвать"), QStringLiteral("Разрывает связь с прибором"));
        row("GroupBox40", QStringLiteral("Прибор"));
        row("WriteButton", QStringLiteral("&Записать"), QStringLiteral("Записывает настройки в прибор"));
        row("ReadButton", QStringLiteral("&Считать"), QStringLiteral("Считывает настройки из прибора"));
        row("GroupBox41", QStringLiteral("Файл"));
        row("SaveButton", QStringLiteral("Со&хранить"), QStringLiteral("Записывает настройки в файл"));
        row("LoadButton", QStringLiteral("З&агрузить"), QStringLiteral("Считывает настройки из файла"));
        row("GroupBox42", QStringLiteral("Прочее"));
        row("DefaultSettingsButton", QStringLiteral("Завод. &настройки"),
            QStringLiteral("Выставление заводских настроек"));
        row("Help", QStringLiteral("&Help  "), QStringLiteral("Вызов справки по программе"));
        row("LngLabel", QStringLiteral("Язык:"));
        row("btn_ChangeLang", QStringLiteral("Сменить &язык"));
        row("Button2", QStringLiteral("создать файл для перевода"));
        row("Label_maintabsh_header_sela", QStringLiteral("Обновление ПО подключенного радиоустройства"));
        row("Label_maintabsh_header_rpu",
            QStringLiteral("Выбор режима работы, обновление или смена ПО подключенного радиоустройства"));
        row("SoftUpdateGrB2", QStringLiteral("Сведения о приборе:"));
        row("DevTypeLabel", QStringLiteral("Тип подключенного прибора: "));
        row("CurrentSoftVerLabel", QStringLiteral("Текущая версия ПО: "));
        row("DevOperModeGrB", QStringLiteral("Выберите режим работы прибора: "));
        row("RPU_rb", QStringLiteral("Радиоприемное устройство (РПУ)"));
        row("RTR_rb", QStringLiteral("Ретранслятор + модуль реле (РТР)"));
        row("MRO_rb", QStringLiteral("Модуль реле и оповещения (МРО)"));
        row("SoftUpdatesGroupBox", QStringLiteral("Выберите файл ПО:"));
        row("WriteSWButton", QStringLiteral("&Обновить ПО устройства"));
        row("SoftUpdateGrB", QStringLiteral("Сведения о файле ПО:"));
        row("SoftFNameLabel", QStringLiteral("Имя файла: "));
        row("SoftFTypeLabel", QStringLiteral("Тип файла: "));
        row("SoftFSizeLabel", QStringLiteral("Размер файла (байт):"));
        row("NewSoftVerLabel", QStringLiteral("Версия ПО: "));
        row("SoftFDateLabel", QStringLiteral("Дата создания файла: "));
        row("RegBackupCreateButton", QStringLiteral("Создать"));
        row("RegBackupRestoreButton", QStringLiteral("Восстановить"));
        row("RegBackupDeleteButton", QStringLiteral("Удалить"));
        row("RPU_RTRRadioGr", QStringLiteral("Режим работы в системе:"));
        row("Dev2TypeLabel", QStringLiteral("Тип подключенного прибора: "));
        row("ObjNumLabel", QStringLiteral("Номер объекта(системы): "));
        row("ModuleNumLabel", QStringLiteral("Адрес прибора в системе:"));
        row("RegFNameLabel", QStringLiteral("Имя файла резервной копии:"));
        row("ConfCodeLabel", QStringLiteral("Код конфигурации:"));
        row("RegBackupHeaderLabel", QStringLiteral("Создание файла, восстановление из файла или удаление "
                                                   "файла резервной копии памяти регистрации"));
        row("Logo1_SELA_lb", QStringLiteral("Вас приветствует программа Dorel-RPU-SELA"));
        row("Logo1_lb", QStringLiteral("Вас приветствует программа для настройки РПУ Вельмар-КС-И"));
        row("logo5_lb", QStringLiteral("Для подключения РПУ к компьютеру следует установить режим «Работы "
                                       "с ПК» (установить перемычку F3 при выключенном питании РПУ и "
                                       "отключенном кабеле USB). Электропитание 12V на РПУ можно не "
                                       "подавать."));
        row("logo4_SELA_lb", QStringLiteral("Подключение РПУ к персональному компьютеру (ПК) "
                                            "осуществляется через USB-порт с помощью кабеля USB AM/BM"));
    }
    void controlsAndCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        FormHarness h;
        QWidget *w = Find(*h.form, name.toLatin1().constData());
        QCOMPARE(Caption(w), caption);
        QCOMPARE(w->toolTip(), hint);
    }

    void pagesAndTabs()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        QCOMPARE(Find<QTabWidget>(f, "MainPageC")->count(), 4);
        const QStringList captions = {QStringLiteral("Главная"), QStringLiteral("Резервная копия"),
                                      QStringLiteral("Режимы реле и выхода ОК"),
                                      QStringLiteral("Режимы реле и выхода ОК (РПУ в автономном режиме)")};
        const QList<QWidget *> pages = {Find<QWidget>(f, "MainTabSh"), Find<QWidget>(f, "RegistBackupTabSh"), Find<QWidget>(f, "ReleSettingsTabSh"),
                                        Find<QWidget>(f, "ReleSettingsTabRPU")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(Find<QTabWidget>(f, "MainPageC")->widget(i), pages[i]);
            QCOMPARE(Find<QTabWidget>(f, "MainPageC")->tabText(i), captions[i]);
        }
        const QStringList inner = {QStringLiteral("Реле №1"), QStringLiteral("Реле №2"),
                                   QStringLiteral("Выход ОК №1")};
        const QStringList relayNames = {QStringLiteral("Rele1TabSh"), QStringLiteral("Rele2TabSh"),
                                        QStringLiteral("OK1TabSh")};
        const QStringList rpuNames = {QStringLiteral("TabSheet2"), QStringLiteral("TabSheet3"),
                                      QStringLiteral("TabSheet4")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Find<QTabWidget>(f, "ReleOKPageC")->tabText(i), inner[i]);
            QCOMPARE(Find<QTabWidget>(f, "ReleOKPageC")->widget(i)->objectName(), relayNames[i]);
            QCOMPARE(Find<QTabWidget>(f, "ReleOKPageCRPU")->tabText(i), inner[i]);
            QCOMPARE(Find<QTabWidget>(f, "ReleOKPageCRPU")->widget(i)->objectName(), rpuNames[i]);
        }
        QVERIFY(Find<QWidget>(f, "ReleSettingsTabSh")->isAncestorOf(Find<QTabWidget>(f, "ReleOKPageC")));
        QVERIFY(Find<QWidget>(f, "ReleSettingsTabRPU")->isAncestorOf(Find<QTabWidget>(f, "ReleOKPageCRPU")));
        QVERIFY(Find<QWidget>(f, "RegistBackupTabSh")->isAncestorOf(Find<QGroupBox>(f, "RPU_RTRRadioGr")));
        QVERIFY(Find<QWidget>(f, "MainTabSh")->isAncestorOf(Find<QListWidget>(f, "SoftUpdatesListBox")));
        QVERIFY(Find<QWidget>(f, "MainTabSh")->isAncestorOf(Find<QListView>(f, "TempListB2")));

        // Backup page: the role items, their ids and a selection that can be cleared.
        QCOMPARE(Find<QButtonGroup>(f, "RPU_RTRRadioItems")->button(0)->text(), QStringLiteral("РПУ"));
        QCOMPARE(Find<QButtonGroup>(f, "RPU_RTRRadioItems")->button(1)->text(), QStringLiteral("РТР"));
        QCOMPARE(Find<QButtonGroup>(f, "RPU_RTRRadioItems")->checkedId(), -1);
        QVERIFY(Find<QComboBox>(f, "ModuleNumCmB")->isEditable());
        QCOMPARE(Find<QComboBox>(f, "ModuleNumCmB")->maxVisibleItems(), 10);
        QVERIFY(Find<QPushButton>(f, "RegBackupDeleteButton")->isEnabled());

        // Language and work-mode lists.
        QCOMPARE(Find<QComboBox>(f, "LangCmB")->currentText(), QStringLiteral("Russian"));
        QCOMPARE(Find<QComboBox>(f, "LangCmB")->count(), 3);
        QCOMPARE(Find<QComboBox>(f, "LangCmB")->itemText(2), QStringLiteral("Turkish"));
        QCOMPARE(Find<QComboBox>(f, "OperModeCmB")->itemText(0), QStringLiteral("демо"));
        QCOMPARE(Find<QProgressBar>(f, "MainProgressB")->maximum(), 100);
        // The language button covers the label and its list.
        QVERIFY(Find<QPushButton>(f, "btn_ChangeLang")->geometry().contains(Find<QLabel>(f, "LngLabel")->geometry()));
    }

    void stateAfterStart()
    {
        Shown s;
        TMainForm &f = *s.h.form;
        // Only these commands are usable.
        QVERIFY(Find<QPushButton>(f, "ConnectButton")->isEnabled());
        QVERIFY(Find<QComboBox>(f, "OperModeCmB")->isEnabled());
        QCOMPARE(Find<QComboBox>(f, "OperModeCmB")->currentText(), QStringLiteral("on-line"));
        QVERIFY(Find<QPushButton>(f, "Help")->isEnabled());
        QVERIFY(Find<QPushButton>(f, "btn_ChangeLang")->isEnabled());
        for (QWidget *w : std::initializer_list<QWidget *>{Find<QPushButton>(f, "DisconnectButton"), Find<QPushButton>(f, "WriteButton"), Find<QPushButton>(f, "ReadButton"),
                                                           Find<QPushButton>(f, "SaveButton"), Find<QPushButton>(f, "LoadButton"),
                                                           Find<QPushButton>(f, "DefaultSettingsButton"), Find<QPushButton>(f, "WriteSWButton"),
                                                           Find<QCheckBox>(f, "CheckBox1")})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(Find<QCheckBox>(f, "CheckBox1")->isChecked());
        QCOMPARE(f.Session().Mode(), WorkMode::Online);

        QVERIFY(!Find<QTabWidget>(f, "MainPageC")->isVisible());
        QCOMPARE(ActivePage(f), Find<QWidget>(f, "MainTabSh"));
        QCOMPARE(VisibleTabs(Find<QTabWidget>(f, "MainPageC")), QStringList{QStringLiteral("MainTabSh")});
        QVERIFY(!IsPageTabVisible(f, Find<QWidget>(f, "ReleSettingsTabRPU")));

        // Main page contents (visible as soon as the page control is).
        QVERIFY(Find<QGroupBox>(f, "DevOperModeGrB")->isHidden());
        QVERIFY(Find<QLabel>(f, "Label_maintabsh_header_rpu")->isHidden());
        QVERIFY(!Find<QLabel>(f, "Label_maintabsh_header_sela")->isHidden());
        QVERIFY(Find<QGroupBox>(f, "SoftUpdateGrB")->isHidden());
        QVERIFY(Find<QListView>(f, "TempListB2")->isHidden());
        QVERIFY(Find<QPlainTextEdit>(f, "Memo1")->isHidden());
        QVERIFY(Find<QLabel>(f, "DevTypeLabel2")->text().isEmpty());
        QVERIFY(Find<QLabel>(f, "CurrentSoftVerLabel2")->text().isEmpty());
        QVERIFY(Find<QLineEdit>(f, "ObjNumEdit")->text().isEmpty());
        QCOMPARE(Find<QComboBox>(f, "ModuleNumCmB")->count(), 0);
        QVERIFY(Find<QComboBox>(f, "ModuleNumCmB")->currentText().isEmpty());

        // Welcome area of this edition.
        for (QWidget *w : std::initializer_list<QWidget *>{Find<QLabel>(f, "Logo1_SELA_lb"), Find<QLabel>(f, "logo2_SELA_lb"), Find<QLabel>(f, "logo4_SELA_lb"),
                                                           Find<QLabel>(f, "logo5_lb"), Find<QLabel>(f, "Logo_Image"), Find<QLabel>(f, "Label_webaddr"),
                                                           Find<QLabel>(f, "Label_emailaddr"), Find<QPushButton>(f, "btn_ChangeLang")})
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        for (QWidget *w : std::initializer_list<QWidget *>{Find<QLabel>(f, "Logo1_lb"), Find<QLabel>(f, "logo2_lb"), Find<QLabel>(f, "logo3_lb"), Find<QLabel>(f, "logo4_lb"),
                                                           Find<QPushButton>(f, "Button2")})
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(f.StatusText().isEmpty());
        QCOMPARE(Find<QProgressBar>(f, "MainProgressB")->value(), 0);
        // The button hides the language label and list under it.
        QLabel *language = Find<QLabel>(f, "LngLabel");
        QWidget *top = f.childAt(language->mapTo(&f, language->rect().center()));
        QVERIFY(top == Find<QPushButton>(f, "btn_ChangeLang") || Find<QPushButton>(f, "btn_ChangeLang")->isAncestorOf(top));

        // Window state for the other pages.
        QCOMPARE(f.Places().ReleOutputCount, 3);
        QCOMPARE(f.Places().RelaySectionLength, 45);
        QCOMPARE(f.Places().SettingsFileCellCount, 96);
        QCOMPARE(f.Places().RpuFilePrefix, QStringLiteral("ksy_rpu_"));
        QCOMPARE(f.Places().RtrFilePrefix, QStringLiteral("ksy_rtr_"));
        QCOMPARE(f.Places().ObjectPrefix, QStringLiteral("object_"));
        QCOMPARE(f.Places().ConfCodeInfix, QStringLiteral("_conf_"));
        QVERIFY(f.Main().NewestFirmwareName.isEmpty());
        QVERIFY(f.Main().FirmwareVersionDigits.isEmpty());
    }

    void statusAndProgress()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        f.ShowStatus(QStringLiteral("первый"));
        f.ShowStatus(QStringLiteral("второй"));
        QCOMPARE(f.StatusText(), QStringLiteral("второй"));
        // The bar shows the latest value from the next event round on.
        auto *bar = Find<QProgressBar>(f, "MainProgressB");
        for (const auto &[set, shown] : {std::pair{42, 42}, {150, 100}, {-3, 0}, {70, 70}}) {
            f.SetProgress(set);
            QCOMPARE(f.Progress(), shown);
            QCoreApplication::processEvents();
            QCOMPARE(bar->value(), shown);
        }
        // A value that comes back before the bar took the last one leaves it alone.
        int repaints = 0;
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [&] { ++repaints; });
        f.SetProgress(100);
        f.SetProgress(70);
        QCoreApplication::processEvents();
        QCOMPARE(repaints, 0);
    }

    void f5TogglesTheHiddenBuffers()
    {
        Shown s;
        TMainForm &f = *s.h.form;
        Find<QPlainTextEdit>(f, "Memo1")->show(); // toggled each on its own
        QTest::keyClick(&f, Qt::Key_F5);
        QVERIFY(!Find<QListView>(f, "TempListB2")->isHidden());
        QVERIFY(Find<QPlainTextEdit>(f, "Memo1")->isHidden());
        QTest::keyClick(&f, Qt::Key_F5, Qt::ShiftModifier);
        QVERIFY(Find<QListView>(f, "TempListB2")->isHidden());
        QVERIFY(!Find<QPlainTextEdit>(f, "Memo1")->isHidden());
        QTest::keyClick(&f, Qt::Key_F4);
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(Find<QListView>(f, "TempListB2")->isHidden());
        QVERIFY(!Find<QPlainTextEdit>(f, "Memo1")->isHidden());
        QVERIFY(f.isVisible());
    }

    void closeAnsweredNoKeepsEverything()
    {
        Shown s;
        FormHarness &h = s.h;
        Find<QPushButton>(*h.form, "ConnectButton")->click(); // opens the pipes and enters the main page
        QVERIFY(h.link->HasWritePipe());
        const QString status = h.form->StatusText();
        const auto boxesBefore = h.dialogs.boxes.size();
        const auto wireBefore = h.wire->Log().size();

        h.dialogs.answers.push_back(Dialogs::Answer::No);
        QVERIFY(!h.form->close());
        QVERIFY(h.form->isVisible());
        QCOMPARE(h.dialogs.boxes.size(), boxesBefore + 1);
        const auto &box = h.dialogs.boxes.back();
        QCOMPARE(box.title, QStringLiteral("Системное сообщение"));
        QCOMPARE(box.text, QStringLiteral("Вы действительно хотите выйти?"));
        QCOMPARE(box.icon, Dialogs::Icon::Question);
        QCOMPARE(box.buttons, Dialogs::Buttons::YesNo);
        QVERIFY(h.link->HasWritePipe() && h.link->HasReadPipe());
        QCOMPARE(h.wire->Log().size(), wireBefore);
        QCOMPARE(h.form->StatusText(), status);
        QVERIFY(Find<QPushButton>(*h.form, "DisconnectButton")->isEnabled());
    }

    void closeAnsweredYesClosesThePipes()
    {
        Shown s;
        FormHarness &h = s.h;
        Find<QPushButton>(*h.form, "ConnectButton")->click();
        QVERIFY(h.link->HasWritePipe());
        const auto wireBefore = h.wire->Log().size();
        h.dialogs.answers.push_back(Dialogs::Answer::Yes);
        QVERIFY(h.form->close());
        QVERIFY(!h.form->isVisible());
        QVERIFY(!h.link->HasWritePipe());
        QVERIFY(!h.link->HasReadPipe());
        // No break frame at exit.
        QCOMPARE(h.wire->Log().size(), wireBefore);
    }

    void errorsInHandlersAreShownAndTheProgramGoesOn()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        f.Flow().RunGuarded([] { throw std::runtime_error("Файл не читается"); });
        QCOMPARE(h.dialogs.boxes.size(), size_t(1));
        QCOMPARE(h.dialogs.boxes[0].title, QStringLiteral("Dorel-RPU-KSY"));
        QCOMPARE(h.dialogs.boxes[0].text, QStringLiteral("Файл не читается"));
        QCOMPARE(h.dialogs.boxes[0].icon, Dialogs::Icon::Error);
        bool ran = false;
        f.Flow().RunGuarded([&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(h.dialogs.boxes.size(), size_t(1));
    }

    void pageChangesFromTheProgramRunNothing()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        Find<QPushButton>(f, "ConnectButton")->click();
        QCOMPARE(f.StatusText(), h.Msg(10064));
        h.wire->ClearLog();
        f.ShowStatus(QString());

        SetPageTabVisible(f, Find<QWidget>(f, "RegistBackupTabSh"), true);
        SetActivePage(f, Find<QWidget>(f, "RegistBackupTabSh"));
        SetPageTabVisible(f, Find<QWidget>(f, "RegistBackupTabSh"), false); // moves the current tab
        SetActivePage(f, Find<QWidget>(f, "MainTabSh"));
        QVERIFY(h.wire->Log().empty());
        QVERIFY(f.StatusText().isEmpty());

        // A tab chosen by the user runs the on-line page change: break, then InitLink (0xAA).
        SetPageTabVisible(f, Find<QWidget>(f, "RegistBackupTabSh"), true);
        Find<QTabWidget>(f, "MainPageC")->tabBar()->setCurrentIndex(1);
        QStringList written;
        for (const QString &line : h.wire->WireTrace()) {
            if (line.startsWith(QLatin1String("W ")))
                written << line;
        }
        QCOMPARE(written.mid(0, 16),
                 (QStringList{"W 55", "W 55", "W A0", "W 00", "W 00", "W 00", "W 22", "W 09",
                              "W 55", "W 55", "W AA", "W AA", "W 00", "W 00", "W 01", "W F1"}));
        QCOMPARE(f.StatusText(), h.Msg(10064));
        QVERIFY(Find<QPushButton>(f, "RegBackupCreateButton")->isEnabled());
    }

    void controlsReachTheirHandlers()
    {
        FormHarness h(0); // no device on the bus
        TMainForm &f = *h.form;
        Find<QPushButton>(f, "ConnectButton")->click();
        QCOMPARE(f.StatusText(), h.Msg(10008));
        QCOMPARE(h.dialogs.boxes.back().title, h.Msg(10009));

        // The user picking "демо" runs the work-mode change.
        Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(0);
        emit Find<QComboBox>(f, "OperModeCmB")->activated(0);
        QCOMPARE(f.Session().Mode(), WorkMode::Demo);
        QVERIFY(Find<QTabWidget>(f, "MainPageC")->isVisibleTo(&f));

        // Device-mode buttons: selecting one runs its handler once (demo shows its tabs);
        // clearing runs nothing.
        f.Main().SelectDeviceModeButton(Find<QRadioButton>(f, "RPU_rb"));
        QVERIFY(Find<QRadioButton>(f, "RPU_rb")->isChecked());
        QVERIFY(IsPageTabVisible(f, Find<QWidget>(f, "RegistBackupTabSh")));
        QVERIFY(IsPageTabVisible(f, Find<QWidget>(f, "ReleSettingsTabRPU")));
        f.Main().SelectDeviceModeButton(nullptr);
        QVERIFY(!Find<QRadioButton>(f, "RPU_rb")->isChecked() && !Find<QRadioButton>(f, "RTR_rb")->isChecked() && !Find<QRadioButton>(f, "MRO_rb")->isChecked());
        QVERIFY(IsPageTabVisible(f, Find<QWidget>(f, "ReleSettingsTabRPU")));

        // "Завод. настройки" on a settings page in demo.
        Find<QTabWidget>(f, "MainPageC")->tabBar()->setCurrentIndex(Find<QTabWidget>(f, "MainPageC")->indexOf(Find<QWidget>(f, "ReleSettingsTabRPU")));
        QVERIFY(Find<QPushButton>(f, "DefaultSettingsButton")->isEnabled());
        f.ShowStatus(QString());
        Find<QPushButton>(f, "DefaultSettingsButton")->click();
        QCOMPARE(f.StatusText(), h.Msg(10014));
        QVERIFY(h.wire->Log().empty());
    }

    void valueBufferTakesAFullFirmwareFile()
    {
        Shown s;
        TMainForm &f = *s.h.form;
        QStringList lines;
        lines.reserve(131072);
        for (int i = 0; i < 131072; ++i)
            lines << QString::number(i % 256);
        Find<QTabWidget>(f, "MainPageC")->show();
        QTest::keyClick(&f, Qt::Key_F5); // visible while filled: the slow case (bench_firmware times it)
        SetBufferLines(f, lines);
        QCoreApplication::processEvents();
        QCOMPARE(f.Buffer().Count(), 131072);
        QCOMPARE(f.Buffer().Lines().at(131071), QStringLiteral("255"));
        SetBufferLines(f, {});
        QCOMPARE(f.Buffer().Count(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
