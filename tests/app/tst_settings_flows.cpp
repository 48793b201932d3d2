// The settings pages in the window: the block read on entry and on "Считать",
// the write of both sections, the factory settings, the failures of both
// transfers and the fatal data error.

#include "formharness.h"

#include "app/pages/settingspage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cstdio>

using namespace rpu;
using namespace rpu::test;

namespace {

constexpr int kBlock7 = 7 * 256;
constexpr const char *kChildArgument = "--bad-byte-child";

SettingsPage *SettingsPageOf(TMainForm &f, const char *name)
{
    return Find<SettingsPage>(f, name);
}

void EnterPage(TMainForm &f, const char *name)
{
    QWidget *page = Find<QWidget>(f, name);
    SetPageTabVisible(f, page, true);
    SetActivePage(f, page);
    f.MainPageCChange();
}

void ChooseDemo(TMainForm &f)
{
    Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(0);
    f.OperModeCmBChange();
}

SettingsImage DeviceBlock(FormHarness &h)
{
    SettingsImage image{};
    for (int i = 0; i < kSettingsImageCells; ++i)
        image[i] = h.device.Memory()[kBlock7 + i];
    return image;
}

void SetDeviceBlock(FormHarness &h, const SettingsImage &image)
{
    for (int i = 0; i < kSettingsImageCells; ++i)
        h.device.Memory()[kBlock7 + i] = std::uint8_t(image[i]);
}

SettingsImage Composed(TMainForm &f)
{
    SettingsImage image{};
    SettingsPageOf(f, "ReleSettingsTabSh")->ComposeOwnSection(image);
    SettingsPageOf(f, "ReleSettingsTabRPU")->ComposeOwnSection(image);
    return image;
}

bool IsReserved(int offset)
{
    return offset == 20 || offset == 22 || offset == 24 || offset == 25 || (offset >= 29 && offset <= 31)
        || (offset >= 45 && offset <= 49) || offset >= 96;
}

// A block that the pages show and compose back unchanged in every owned cell
// (the presets' boxes are set in it), with junk in the cells no field owns.
SettingsImage StableBlock()
{
    SettingsImage b{};
    for (int i = 0; i < kSettingsImageCells; ++i)
        b[i] = IsReserved(i) ? (i < 96 ? 0xA5 : 0x5A) : 0;
    b[49] = 0x12;
    for (int k = 0; k < 16; ++k)
        b[k] = quint32(k % 8);
    const int relayNotes[] = {16, 17, 18, 19, 21, 23, 26, 27, 28};
    for (int i = 0; i < 9; ++i)
        b[relayNotes[i]] = quint32((i * 3 + 1) % 8);
    b[26] |= 2; // "Исполнительный" on relay 2 checks OnOffLine2
    b[32] = 5;
    const quint32 relayTimes[] = {1, 254, 12, 20, 0, 0, 255, 7, 100};
    for (int i = 0; i < 9; ++i)
        b[33 + i] = relayTimes[i];
    b[42] = 7, b[43] = 6, b[44] = 7;

    for (int j = 0; j < 24; ++j)
        b[50 + j] = quint32(j * 17) & 0x77;
    for (int c = 74; c <= 82; ++c)
        b[c] = quint32(c % 8);
    b[77] = 7; // every mode checks AlarmEventRPU
    b[83] = 6;
    const quint32 rpuTimes[] = {3, 0, 255, 40, 41, 42, 200, 24, 1};
    for (int i = 0; i < 9; ++i)
        b[84 + i] = rpuTimes[i];
    b[93] = 7, b[94] = 5, b[95] = 4;
    return b;
}

// What a write of the shown block sends: owned cells kept, the rest 0, the marker.
SettingsImage Written(SettingsImage b)
{
    for (int i = 0; i < kSettingsImageCells; ++i)
        if (IsReserved(i))
            b[i] = 0;
    b[kRpuMarkerOffset] = kRpuSectionMarker;
    return b;
}

void ConnectAndEnter(FormHarness &h, const char *page)
{
    h.form->ConnectButtonClick();
    EnterPage(*h.form, page);
}

QRadioButton *ModeButton(TMainForm &f, bool relay, int n, int mode)
{
    if (relay)
        return Find<QGroupBox>(f, qPrintable(QStringLiteral("ReleWorkMode%1").arg(n)))
            ->findChildren<QRadioButton *>()
            .at(mode - 1);
    return Find<QRadioButton>(f, qPrintable(QStringLiteral("RadioButton%1%2").arg(n).arg(mode)));
}

bool LinkDown(TMainForm &f)
{
    return Find<QPushButton>(f, "ConnectButton")->isEnabled()
        && !Find<QPushButton>(f, "DisconnectButton")->isEnabled()
        && Find<QTabWidget>(f, "MainPageC")->isHidden();
}

// Shows every message box on stdout, for the parent of a child run.
class PrintingDialogs final : public Dialogs {
public:
    Answer MessageBox(QWidget *, const QString &title, const QString &text, Icon, Buttons) override
    {
        std::printf("BOX %s|%s\n", qUtf8Printable(title), qUtf8Printable(text));
        return Answer::Ok;
    }
    QString OpenFileName(QWidget *, const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString SaveFileName(QWidget *, const QString &, const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
};

// The child run: a device block with 8 at offset 16 read into the relay
// page, and the program's own ending.
int RunBadByteChild()
{
    FormHarness h;
    PrintingDialogs dialogs;
    h.services.dialogs = &dialogs;
    h.form = std::make_unique<TMainForm>(h.services);
    h.device.Memory()[kBlock7 + 16] = 8;
    ConnectAndEnter(h, "ReleSettingsTabSh");
    std::printf("STILL RUNNING\n");
    return 0;
}

} // namespace

class SettingsFlowsTest : public QObject {
    Q_OBJECT
private slots:
    void onlineEntryShowsTheBlockAndWriteKeepsIt()
    {
        FormHarness h(1, 104);
        const SettingsImage stable = StableBlock();
        SetDeviceBlock(h, stable);
        ConnectAndEnter(h, "ReleSettingsTabSh");
        EnterPage(*h.form, "ReleSettingsTabRPU");
        QVERIFY(Find<QCheckBox>(*h.form, "privrele27")->isChecked()); // cell 6 = 6: outputs 2, 3
        QVERIFY(!Find<QCheckBox>(*h.form, "privrele17")->isChecked());
        QVERIFY(ModeButton(*h.form, false, 2, 5)->isChecked());
        QCOMPARE(Composed(*h.form), Written(stable));

        h.form->ReadButtonClick();
        QCOMPARE(h.form->StatusText(), QStringLiteral("Настройки реле успешно считаны"));
        QCOMPARE(Find<QProgressBar>(*h.form, "MainProgressB")->value(), 0);
        h.form->WriteButtonClick();
        QCOMPARE(DeviceBlock(h), Written(stable));
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Настройки реле успешно записаны")});
        QCOMPARE(h.dialogs.boxes.back().title, QStringLiteral("Системное сообщение"));
        QCOMPARE(h.form->StatusText(), QStringLiteral("Настройки реле успешно записаны"));
        QCOMPARE(Find<QProgressBar>(*h.form, "MainProgressB")->value(), 0);
    }

    void editedModeAndTimeReachTheDevice_data()
    {
        QTest::addColumn<bool>("relay");
        QTest::newRow("relay page") << true;
        QTest::newRow("RPU page") << false;
    }
    void editedModeAndTimeReachTheDevice()
    {
        QFETCH(bool, relay);
        FormHarness h(1, 104);
        const SettingsImage stable = StableBlock();
        SetDeviceBlock(h, stable);
        ConnectAndEnter(h, "ReleSettingsTabRPU");
        EnterPage(*h.form, "ReleSettingsTabSh");
        if (!relay)
            EnterPage(*h.form, "ReleSettingsTabRPU");

        // Output 2 to "Специальный", then one of its times.
        ModeButton(*h.form, relay, 2, 7)->click();
        SettingsImage expected = Written(stable);
        if (relay) {
            Find<QComboBox>(*h.form, "TimeZmk2")->setCurrentIndex(9);
            for (int c : {16, 17, 18, 19, 21, 23, 26, 27, 28, 32})
                expected[c] &= ~2u;
            expected[36] = 9, expected[37] = 0, expected[38] = 0, expected[43] = 7;
        } else {
            Find<QComboBox>(*h.form, "TimeRzmkRPU2")->setCurrentIndex(11);
            for (int c = 74; c <= 83; ++c)
                expected[c] &= ~2u;
            expected[77] |= 2u;
            expected[87] = 0, expected[88] = 11, expected[89] = 0, expected[94] = 7;
        }
        h.form->WriteButtonClick();
        QCOMPARE(DeviceBlock(h), expected);

        // Read back onto a page that shows something else meanwhile.
        ModeButton(*h.form, relay, 2, relay ? 1 : 4)->click();
        h.form->ReadButtonClick();
        QVERIFY(ModeButton(*h.form, relay, 2, 7)->isChecked());
        QCOMPARE(Find<QComboBox>(*h.form, relay ? "TimeZmk2" : "TimeRzmkRPU2")->currentIndex(), relay ? 9 : 11);
        QCOMPARE(Composed(*h.form), expected);
    }

    void factorySettings()
    {
        FormHarness h;
        ChooseDemo(*h.form);
        // Demo entry of each page shows the factory settings.
        EnterPage(*h.form, "ReleSettingsTabSh");
        EnterPage(*h.form, "ReleSettingsTabRPU");
        QCOMPARE(h.form->StatusText(), QStringLiteral("Заводские настройки установлены"));
        SettingsImage expected = FactorySettingsImage();
        expected[41] = 10; // the sounder duration is stored as minutes
        expected[kRpuMarkerOffset] = kRpuSectionMarker;
        QCOMPARE(Composed(*h.form), expected);

        // "Завод. настройки" resets the page in view only.
        ModeButton(*h.form, false, 1, 5)->click();
        EnterPage(*h.form, "ReleSettingsTabSh");
        ModeButton(*h.form, true, 1, 2)->click();
        Find<QCheckBox>(*h.form, "privrele116")->setChecked(true);
        h.form->ShowStatus(QString());
        h.form->DefaultSettingsButtonClick();
        QCOMPARE(h.form->StatusText(), QStringLiteral("Заводские настройки установлены"));
        SettingsImage composed = Composed(*h.form);
        QCOMPARE(composed[93], 5u);
        composed[93] = 0, composed[77] = 0, composed[83] = 0;
        for (int c = 84; c <= 86; ++c)
            composed[c] = 0;
        QCOMPARE(composed, expected);
    }

    void sounderDurationOfferedByDeviceAndMode_data()
    {
        QTest::addColumn<bool>("demo");
        QTest::addColumn<int>("version"); // 104: class 0, 30: class 1, 46: class 2
        QTest::addColumn<QString>("modeButton");
        QTest::addColumn<bool>("offered");
        QTest::newRow("demo") << true << 46 << "" << true;
        QTest::newRow("class 0, RPU mode") << false << 104 << "RPU_rb" << false;
        QTest::newRow("class 0, RTR mode") << false << 104 << "RTR_rb" << true;
        QTest::newRow("class 1") << false << 30 << "" << true;
        QTest::newRow("class 2") << false << 46 << "" << false;
    }
    void sounderDurationOfferedByDeviceAndMode()
    {
        QFETCH(bool, demo);
        QFETCH(int, version);
        QFETCH(QString, modeButton);
        QFETCH(bool, offered);
        FormHarness h(1, std::uint8_t(version));
        if (demo) {
            ChooseDemo(*h.form);
            EnterPage(*h.form, "ReleSettingsTabSh");
        } else {
            ConnectAndEnter(h, "ReleSettingsTabSh");
        }
        if (!modeButton.isEmpty())
            Find<QRadioButton>(*h.form, qPrintable(modeButton))->setChecked(true);
        ModeButton(*h.form, true, 3, 5)->click();
        ModeButton(*h.form, true, 3, 4)->click();
        QComboBox *duration = Find<QComboBox>(*h.form, "TimePeriod3");
        QCOMPARE(duration->isEnabled(), offered);
        QCOMPARE(duration->currentIndex(), offered ? 0 : -1);
        // Either way the cell holds a duration the device and a file accept.
        QCOMPARE(Composed(*h.form)[41], 10u);
    }

    void failedTransfersDropTheLink_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("text");
        QTest::newRow("read, frame not sent") << false << 0 << "Невозможно отправить команду инициализации чтения!";
        QTest::newRow("read, no data") << false << 1 << "Не удалось получить данные из прибора!";
        QTest::newRow("read, bad header") << false << 2 << "Нет ответа от прибора!";
        QTest::newRow("read, bad CRC") << false << 3 << "Ошибка CRC! Данные не считаны!";
        QTest::newRow("write, frame not sent") << true << 0 << "Невозможно отправить команду инициализации записи!";
        QTest::newRow("write, no acknowledgement") << true << 1 << "Не удалось получить данные из прибора!";
        QTest::newRow("write, data not sent") << true << 4 << "Ошибка записи данных в прибор!";
        QTest::newRow("write, refused") << true << 5 << "Данные не записаны!";
    }
    void failedTransfersDropTheLink()
    {
        QFETCH(bool, write);
        QFETCH(int, fault);
        QFETCH(QString, text);
        FormHarness h(1, 104);
        SetDeviceBlock(h, StableBlock());
        ConnectAndEnter(h, "ReleSettingsTabSh");
        const SettingsImage shown = Composed(*h.form);
        ModeButton(*h.form, true, 2, 7)->click();
        const SettingsImage edited = Composed(*h.form);
        QVERIFY(shown != edited);
        switch (fault) {
        case 0: h.wire->failWritesFrom = h.wire->WriteCalls(); break;
        case 1: h.wire->failReadsFrom = h.wire->ReadCalls(); break;
        case 2: h.device.Faults().badHeader = true; break;
        case 3: h.device.Faults().badCrc = true; break;
        case 4: h.wire->failWritesFrom = h.wire->WriteCalls() + 8; break;
        case 5: h.device.Faults().refuseWrite = true; break;
        }
        if (write)
            h.form->WriteButtonClick();
        else
            h.form->ReadButtonClick();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{text});
        QCOMPARE(h.dialogs.boxes.back().title, QStringLiteral("Ошибка!"));
        QCOMPARE(h.form->StatusText(), text);
        QVERIFY(LinkDown(*h.form));
        QCOMPARE(Find<QProgressBar>(*h.form, "MainProgressB")->value(), 0);
        // A failed read leaves the page as it was.
        QCOMPARE(Composed(*h.form), edited);
        if (!write)
            QCOMPARE(DeviceBlock(h), StableBlock());
    }

    void writeLocksTheWindow()
    {
        FormHarness h(1, 104);
        ConnectAndEnter(h, "ReleSettingsTabRPU");
        int looks = 0;
        bool locked = true;
        h.wire->onProcessEvents = [&] {
            ++looks;
            for (const char *name : {"ConnectButton", "DisconnectButton", "WriteButton", "ReadButton",
                                     "SaveButton", "LoadButton", "DefaultSettingsButton", "btn_ChangeLang"})
                locked = locked && !h.form->Flow().TakesInput(Find(*h.form, name));
            locked = locked && !h.form->Flow().PagesTakeInput();
        };
        h.form->WriteButtonClick();
        h.wire->onProcessEvents = nullptr;
        QVERIFY(looks > 0);
        QVERIFY(locked);
        QVERIFY(h.form->Flow().PagesTakeInput());
        QVERIFY(Find<QPushButton>(*h.form, "WriteButton")->isEnabled());
    }

    void badByteEndsTheProgram_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::newRow("relay, own tamper 8") << "ReleSettingsTabSh" << 16 << 8;
        QTest::newRow("RPU, source pair 0x78") << "ReleSettingsTabRPU" << 50 << 0x78;
        QTest::newRow("RPU, work mode 8") << "ReleSettingsTabRPU" << 95 << 8;
    }
    void badByteEndsTheProgram()
    {
        QFETCH(QString, page);
        QFETCH(int, offset);
        QFETCH(int, value);
        FormHarness h(1, 104);
        SetDeviceBlock(h, StableBlock());
        h.form->ConnectButtonClick();
        EnterPage(*h.form, qPrintable(page));
        const SettingsImage shown = Composed(*h.form);
        QList<int> ends;
        SettingsPageOf(*h.form, qPrintable(page))->SetProgramEnd([&](int code) { ends << code; });
        h.device.Memory()[kBlock7 + offset] = std::uint8_t(value);
        h.dialogs.boxes.clear();
        h.form->ReadButtonClick();
        QCOMPARE(ends, QList<int>{1});
        QCOMPARE(h.dialogs.BoxTexts(),
                 QStringList{QStringLiteral("Ошибка в данных, считанных с прибора (Байт №%1=%2). "
                                            "Программа завершает свою работу.")
                                 .arg(offset)
                                 .arg(value)});
        QCOMPARE(h.dialogs.boxes.back().title, QStringLiteral("Ошибка!"));
        QVERIFY(!h.link->HasWritePipe() && !h.link->HasReadPipe());
        QCOMPARE(Composed(*h.form), shown); // nothing of the bad block is shown
    }

    void badByteExitCodeInAChildProcess()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildArgument)});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        QVERIFY2(out.contains(QStringLiteral("BOX Ошибка!|Ошибка в данных, считанных с прибора (Байт №16=8). "
                                             "Программа завершает свою работу.")),
                 qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("STILL RUNNING")));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kChildArgument) == 0)
        return RunBadByteChild();
    SettingsFlowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_flows.moc"
