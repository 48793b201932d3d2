// Work modes, connect, disconnect and the page change: the command state of
// every situation and the traffic each one puts on the wire.

#include "formharness.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

// One row of the command-state table: 1 on, 0 off, -1 not examined.
struct Row {
    int operMode, connect, disconnect, write, read, save, load, deflt, lang, pageShown;
};

void CheckRow(TMainForm &f, const Row &row, const char *situation)
{
    const std::pair<int, bool> cells[] = {
        {row.operMode, Find<QComboBox>(f, "OperModeCmB")->isEnabled()},   {row.connect, Find<QPushButton>(f, "ConnectButton")->isEnabled()},
        {row.disconnect, Find<QPushButton>(f, "DisconnectButton")->isEnabled()}, {row.write, Find<QPushButton>(f, "WriteButton")->isEnabled()},
        {row.read, Find<QPushButton>(f, "ReadButton")->isEnabled()},        {row.save, Find<QPushButton>(f, "SaveButton")->isEnabled()},
        {row.load, Find<QPushButton>(f, "LoadButton")->isEnabled()},        {row.deflt, Find<QPushButton>(f, "DefaultSettingsButton")->isEnabled()},
        {row.lang, Find<QPushButton>(f, "btn_ChangeLang")->isEnabled()},    {row.pageShown, !Find<QTabWidget>(f, "MainPageC")->isHidden()},
    };
    const char *names[] = {"OperModeCmB", "Connect", "Disconnect", "Write", "Read",
                           "Save", "Load", "Default", "btn_ChangeLang", "MainPageC shown"};
    for (int i = 0; i < 10; ++i) {
        if (cells[i].first < 0)
            continue;
        if (cells[i].first != int(cells[i].second))
            QFAIL(qPrintable(QStringLiteral("%1: %2 is %3").arg(QLatin1String(situation),
                                                                  QLatin1String(names[i]),
                                                                  cells[i].second ? QStringLiteral("on")
                                                                                  : QStringLiteral("off"))));
    }
}

QStringList Frame(std::initializer_list<int> bytes)
{
    QStringList lines;
    for (int b : bytes)
        lines << QStringLiteral("W ") + QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return lines;
}

QStringList Reads(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("R");
    return lines;
}

// Wire lines with the read values dropped, so answers need not be spelt out.
QStringList Shape(const QStringList &wire)
{
    QStringList lines;
    for (const QString &line : wire)
        lines << (line.startsWith(QLatin1String("R ")) ? QStringLiteral("R") : line);
    return lines;
}

const QStringList kBreak = Frame({0x55, 0x55, 0xA0, 0x00, 0x00, 0x00, 0x22, 0x09});
const QStringList kInitMain = Frame({0x55, 0x55, 0xA0, 0xAA, 0x00, 0x00, 0x02, 0x29});
const QStringList kInitOther = Frame({0x55, 0x55, 0xAA, 0xAA, 0x00, 0x00, 0x01, 0xF1});
const QStringList kReadSettings = Frame({0x55, 0x55, 0x93, 0x01, 0x07, 0x00, 0x7E, 0xBD});

void ChooseWorkMode(TMainForm &f, int item)
{
    Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(item);
    f.OperModeCmBChange();
}

std::vector<std::uint8_t> InitAnswer(std::uint8_t version, bool goodCrc)
{
    std::vector<std::uint8_t> a{0x55, 0x55, 0xAA, version, 0x12, 0x00};
    const std::uint16_t crc = Crc16(a);
    a.push_back(std::uint8_t(crc & 0xFF));
    a.push_back(std::uint8_t((crc >> 8) ^ (goodCrc ? 0 : 0xFF)));
    return a;
}

// The user choosing a tab that is offered.
void EnterPage(TMainForm &f, QWidget *page)
{
    SetPageTabVisible(f, page, true);
    SetActivePage(f, page);
    f.MainPageCChange();
}

} // namespace

class PagesTest : public QObject {
    Q_OBJECT
private slots:
    void startState()
    {
        FormHarness h;
        CheckRow(*h.form, {1, 1, 0, 0, 0, 0, 0, 0, 1, 0}, "after start");
        QCOMPARE(Find<QComboBox>(*h.form, "OperModeCmB")->currentIndex(), 1);
        QCOMPARE(ActivePage(*h.form), Find<QWidget>(*h.form, "MainTabSh"));
        QVERIFY(h.wire->Log().empty());
    }

    void connectRefusedByDeviceCount_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("message");
        QTest::newRow("no device") << 0 << 10008;
        QTest::newRow("two devices") << 2 << 10010;
    }
    void connectRefusedByDeviceCount()
    {
        QFETCH(int, devices);
        QFETCH(int, message);
        FormHarness h(devices);
        h.form->ConnectButtonClick();
        CheckRow(*h.form, {1, 1, 0, -1, -1, -1, -1, -1, -1, 0}, "connect refused");
        QCOMPARE(h.form->StatusText(), h.Msg(message));
        QCOMPARE(h.dialogs.boxes.size(), std::size_t(1));
        QCOMPARE(h.dialogs.boxes[0].title, QStringLiteral("Внимание!"));
        QCOMPARE(h.dialogs.boxes[0].text, h.Msg(message));
        QVERIFY(h.wire->Log().empty());
        QCOMPARE(h.link->UsbDeviceCount(), devices);
    }

    void connectOneDeviceEntersMainPage()
    {
        FormHarness h(1, 46);
        h.form->ConnectButtonClick();
        CheckRow(*h.form, {0, 0, 1, 0, 0, 0, 0, 0, 0, 1}, "main page entered, r = 0");
        QCOMPARE(Shape(h.wire->WireTrace()), kBreak + kInitMain + Reads(8));
        QCOMPARE(ActivePage(*h.form), Find<QWidget>(*h.form, "MainTabSh"));
        QCOMPARE(Find<QLabel>(*h.form, "CurrentSoftVerLabel2")->text(), QStringLiteral("4_6"));
        QCOMPARE(Find<QLabel>(*h.form, "DevTypeLabel2")->text(), QStringLiteral("РПУ-SELA (СИМУЛЯТОР)"));
        QCOMPARE(Find<QLabel>(*h.form, "Dev2TypeLabel2")->text(), QStringLiteral("РПУ-SELA (СИМУЛЯТОР)"));
        QCOMPARE(h.form->Session().Info().deviceClass, 2);
        QVERIFY(!Find<QGroupBox>(*h.form, "SoftUpdatesGroupBox")->isHidden());
        QVERIFY(!Find<QListWidget>(*h.form, "SoftUpdatesListBox")->isHidden());
        QVERIFY(!Find<QPushButton>(*h.form, "WriteSWButton")->isHidden());
        QCOMPARE(VisibleTabs(*h.form), QStringList{QStringLiteral("MainTabSh")});
        QCOMPARE(h.form->StatusText(), QStringLiteral("Связь с прибором установлена"));
        QVERIFY(h.dialogs.boxes.empty());
    }

    void mainPageInitLinkFailures_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 frame not sent") << 1 << QStringLiteral("Невозможно отправить команду инициализации связи!");
        QTest::newRow("2 no answer") << 2 << QStringLiteral("Не удалось получить данные из прибора!");
        QTest::newRow("3 bad header") << 3 << QStringLiteral("Неправильный заголовок полученного пакета!");
        QTest::newRow("4 bad crc") << 4 << QStringLiteral("Ошибка CRC в полученном пакете!");
    }
    void mainPageInitLinkFailures()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        FormHarness h;
        switch (code) {
        case 1: h.wire->failWritesFrom = 8; break; // the break frame goes, the init frame does not
        case 2: h.device.Faults().noAnswer = true; break;
        case 3: h.device.Faults().badHeader = true; break;
        case 4: h.device.Faults().badCrc = true; break;
        }
        h.form->ConnectButtonClick();
        CheckRow(*h.form, {0, 1, 0, 0, 0, 0, 0, 0, 0, 1}, "main page entered, r != 0");
        QCOMPARE(h.dialogs.BoxTexts(), (QStringList{text, QStringLiteral("Не удалось установить связь с прибором!")}));
        QCOMPARE(h.dialogs.boxes[0].title, QStringLiteral("Ошибка!"));
        QCOMPARE(h.form->StatusText(), QStringLiteral("Не удалось установить связь с прибором!"));
        QCOMPARE(h.form->Session().Info().deviceClass, -1);
        QVERIFY(Find<QLabel>(*h.form, "DevTypeLabel2")->text().isEmpty());
        QCOMPARE(ActivePage(*h.form), Find<QWidget>(*h.form, "MainTabSh"));
    }

    void settingsPageOnlineBreaksThenInitsThenReads()
    {
        FormHarness h(1, 104);
        h.form->ConnectButtonClick();
        h.wire->ClearLog();
        // A tab left visible from demo mode, chosen on-line.
        EnterPage(*h.form, Find<QWidget>(*h.form, "ReleSettingsTabRPU"));
        const QStringList wire = Shape(h.wire->WireTrace());
        QCOMPARE(wire.mid(0, 24), kBreak + kInitOther + Reads(8));
        QCOMPARE(wire.mid(24, 8), kReadSettings);
        CheckRow(*h.form, {-1, -1, -1, 1, 1, 1, 1, 1, -1, 1}, "settings page entered, r = 0");
        QCOMPARE(h.form->StatusText(), QStringLiteral("Связь с прибором установлена"));
        QVERIFY(h.dialogs.boxes.empty());
    }

    void backupPageOnline()
    {
        FormHarness h(1, 104);
        h.form->ConnectButtonClick();
        EnterPage(*h.form, Find<QWidget>(*h.form, "RegistBackupTabSh"));
        CheckRow(*h.form, {-1, -1, -1, 0, 0, 0, 0, 0, -1, 1}, "backup page entered, r = 0");
        QVERIFY(Find<QPushButton>(*h.form, "RegBackupCreateButton")->isEnabled());
        QVERIFY(Find<QPushButton>(*h.form, "RegBackupRestoreButton")->isEnabled());
        QVERIFY(!Find<QGroupBox>(*h.form, "RPU_RTRRadioGr")->isEnabled());
        QCOMPARE(Find<QLabel>(*h.form, "Dev2TypeLabel2")->text(), QStringLiteral("Радиоприемное устройство (РПУ/РТР) (СИМУЛЯТОР)"));
    }

    void backupPageCrcErrorFallsBackToMainPage()
    {
        FormHarness h;
        RecordingTransport scripted; // answers from a script instead of the device
        h.services.transport = &scripted;
        h.services.pacer = &scripted;
        TMainForm form(h.services);
        QVERIFY(h.link->OpenUsbDevice());
        Find<QTabWidget>(form, "MainPageC")->setVisible(true);
        Find<QComboBox>(form, "OperModeCmB")->setEnabled(false);
        SetPageTabVisible(form, Find<QWidget>(form, "RegistBackupTabSh"), true);
        SetActivePage(form, Find<QWidget>(form, "RegistBackupTabSh"));
        const auto bad = InitAnswer(46, false);
        const auto good = InitAnswer(46, true);
        scripted.Reply(bad);
        scripted.Reply(good);
        form.MainPageCChange();
        QCOMPARE(Shape(scripted.WireTrace()), kBreak + kInitOther + Reads(8) + kBreak + kInitMain + Reads(8));
        QCOMPARE(h.dialogs.BoxTexts(), (QStringList{QStringLiteral("Ошибка CRC в полученном пакете!"),
                                                    QStringLiteral("Не удалось установить связь с прибором!")}));
        QCOMPARE(ActivePage(form), Find<QWidget>(form, "MainTabSh"));
        QVERIFY(!Find<QTabWidget>(form, "MainPageC")->isHidden());
        QVERIFY(Find<QPushButton>(form, "ConnectButton")->isEnabled());
        QVERIFY(!Find<QPushButton>(form, "DisconnectButton")->isEnabled());
        QCOMPARE(form.StatusText(), QStringLiteral("Не удалось установить связь с прибором!"));
        // The nested main-page entry did identify the device.
        QCOMPARE(Find<QLabel>(form, "CurrentSoftVerLabel2")->text(), QStringLiteral("4_6"));
    }

    void registrationWriteFromTheBuffer()
    {
        FormHarness h(1, 104);
        h.form->ConnectButtonClick();
        EnterPage(*h.form, Find<QWidget>(*h.form, "RegistBackupTabSh"));

        // A short buffer never reaches the device.
        SetBufferLines(*h.form, QStringList(100, QStringLiteral("7")));
        h.wire->ClearLog();
        h.form->WriteButtonClick();
        QVERIFY(h.wire->Log().empty());
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Данные не записаны!")});

        QStringList lines;
        for (int i = 0; i < 1792; ++i)
            lines << QString::number(i % 251);
        SetBufferLines(*h.form, lines);
        h.dialogs.boxes.clear();
        bool pagesLocked = true;
        h.wire->onProcessEvents = [&] {
            for (const char *name : {"ConnectButton", "DisconnectButton", "WriteButton", "btn_ChangeLang"})
                pagesLocked = pagesLocked && !h.form->Flow().TakesInput(Find(*h.form, name));
            pagesLocked = pagesLocked && !h.form->Flow().PagesTakeInput()
                && !h.form->Flow().TakesInput(Find(*h.form, "OperModeCmB"));
        };
        h.form->WriteButtonClick();
        h.wire->onProcessEvents = nullptr;
        QVERIFY(pagesLocked);
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Резервная копия успешно записана в прибор")});
        QCOMPARE(int(h.device.Memory()[1000]), 1000 % 251);
        QVERIFY(Find<QTabWidget>(*h.form, "MainPageC")->isEnabled());
        QVERIFY(Find<QPushButton>(*h.form, "DisconnectButton")->isEnabled());
    }

    void pageChangeWithLinkLost()
    {
        FormHarness h;
        h.form->ConnectButtonClick();
        h.dialogs.boxes.clear();
        h.wire->failWritesFrom = h.wire->WriteCalls();
        h.form->MainPageCChange();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Связь с прибором потеряна!")});
        CheckRow(*h.form, {1, 1, 0, 0, 0, 0, 0, 0, 1, 0}, "link-down state");
    }

    void disconnect_data()
    {
        QTest::addColumn<bool>("deviceGone");
        QTest::newRow("device answers") << false;
        QTest::newRow("device gone") << true;
    }
    void disconnect()
    {
        QFETCH(bool, deviceGone);
        FormHarness h;
        h.form->ConnectButtonClick();
        QVERIFY(h.dialogs.boxes.empty());
        h.wire->ClearLog();
        if (deviceGone)
            h.wire->failWritesFrom = h.wire->WriteCalls();
        h.form->DisconnectButtonClick();
        if (deviceGone) {
            QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Невозможно отправить команду разрыва связи!")});
            QCOMPARE(h.dialogs.boxes[0].title, QStringLiteral("Ошибка!"));
            QCOMPARE(h.form->StatusText(), QStringLiteral("Невозможно отправить команду разрыва связи!"));
        } else {
            QVERIFY(h.dialogs.boxes.empty());
            QCOMPARE(Shape(h.wire->WireTrace()), kBreak);
            QCOMPARE(h.form->StatusText(), QStringLiteral("Связь с прибором разорвана"));
        }
        CheckRow(*h.form, {1, 1, 0, 0, 0, 0, 0, 0, 1, 0}, "link-down state");
        QCOMPARE(h.form->Session().Info().deviceClass, -1);
        QVERIFY(Find<QLabel>(*h.form, "DevTypeLabel2")->text().isEmpty());
        QVERIFY(Find<QLabel>(*h.form, "CurrentSoftVerLabel2")->text().isEmpty());
        QVERIFY(h.link->HasWritePipe()); // the pipes stay open
    }

    void demoBeforeAnyDevice()
    {
        FormHarness h;
        ChooseWorkMode(*h.form, 0);
        CheckRow(*h.form, {-1, 0, 0, 0, 0, 0, 0, 0, -1, 1}, "demo, main page");
        QCOMPARE(VisibleTabs(*h.form), QStringList{QStringLiteral("MainTabSh")});
        QVERIFY(Find<QGroupBox>(*h.form, "SoftUpdatesGroupBox")->isHidden());
        QVERIFY(Find<QPushButton>(*h.form, "WriteSWButton")->isHidden());
        QVERIFY(Find<QGroupBox>(*h.form, "SoftUpdateGrB")->isHidden());
        QVERIFY(Find<QLabel>(*h.form, "DevTypeLabel2")->text().isEmpty());
        QVERIFY(h.wire->Log().empty());
    }

    void demoAfterClassZeroDevice()
    {
        FormHarness h(1, 104);
        h.form->ConnectButtonClick();
        QVERIFY(Find<QRadioButton>(*h.form, "RPU_rb")->isChecked());
        h.form->DisconnectButtonClick();
        h.wire->ClearLog();
        ChooseWorkMode(*h.form, 0);
        QCOMPARE(VisibleTabs(*h.form), (QStringList{QStringLiteral("MainTabSh"), QStringLiteral("RegistBackupTabSh"),
                                                    QStringLiteral("ReleSettingsTabRPU")}));

        SetActivePage(*h.form, Find<QWidget>(*h.form, "ReleSettingsTabRPU"));
        h.form->MainPageCChange();
        CheckRow(*h.form, {-1, 0, 0, 0, 0, 1, 1, 1, -1, 1}, "demo, settings page");
        QCOMPARE(h.form->StatusText(), QStringLiteral("Заводские настройки установлены"));

        SetActivePage(*h.form, Find<QWidget>(*h.form, "RegistBackupTabSh"));
        h.form->MainPageCChange();
        CheckRow(*h.form, {-1, 0, 0, 0, 0, 0, 1, -1, -1, 1}, "demo, backup page");
        QVERIFY(!Find<QPushButton>(*h.form, "RegBackupCreateButton")->isEnabled());
        QVERIFY(!Find<QPushButton>(*h.form, "RegBackupRestoreButton")->isEnabled());
        QVERIFY(Find<QLabel>(*h.form, "Dev2TypeLabel2")->text().isEmpty());
        QVERIFY(h.wire->Log().empty()); // demo never talks to the device
    }

    void onlineWhileDemoPagesShown()
    {
        FormHarness h;
        Find<QRadioButton>(*h.form, "RTR_rb")->setChecked(true); // runs the device-mode handler
        ChooseWorkMode(*h.form, 0);
        SetActivePage(*h.form, Find<QWidget>(*h.form, "ReleSettingsTabSh"));
        h.form->MainPageCChange();
        QVERIFY(Find<QPushButton>(*h.form, "SaveButton")->isEnabled());
        ChooseWorkMode(*h.form, 1);
        CheckRow(*h.form, {1, 1, 0, 0, 0, 0, 0, 0, 1, 0}, "on-line chosen");
        QCOMPARE(ActivePage(*h.form), Find<QWidget>(*h.form, "MainTabSh"));
        QCOMPARE(VisibleTabs(*h.form), (QStringList{QStringLiteral("MainTabSh"), QStringLiteral("RegistBackupTabSh"),
                                                    QStringLiteral("ReleSettingsTabSh")}));
        // The next good main-page entry hides them.
        h.form->ConnectButtonClick();
        QCOMPARE(VisibleTabs(*h.form), QStringList{QStringLiteral("MainTabSh")});
    }

    void onlineSettingsReadFailureEndsInLinkDown()
    {
        FormHarness h(1, 104);
        h.form->ConnectButtonClick();
        SetPageTabVisible(*h.form, Find<QWidget>(*h.form, "ReleSettingsTabSh"), true);
        SetActivePage(*h.form, Find<QWidget>(*h.form, "ReleSettingsTabSh"));
        h.wire->failReadsFrom = h.wire->ReadCalls() + 8; // the handshake answers, the block does not
        h.form->MainPageCChange();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Не удалось получить данные из прибора!")});
        CheckRow(*h.form, {1, 1, 0, 0, 0, 0, 0, 0, 1, 0}, "link-down state");
        // The failure stays in the status bar; it is not followed by "link established".
        QCOMPARE(h.form->StatusText(), h.dialogs.BoxTexts().constFirst());
    }
};

QTEST_MAIN(PagesTest)
#include "tst_pages.moc"
