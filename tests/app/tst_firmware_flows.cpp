// The firmware page: the offer after connecting, picking and writing a file,
// failed transfers, and the device-mode buttons.

#include "formharness.h"

#include "firmware/firmwarefile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

void Put(FormHarness &h, const QString &name, const QByteArray &bytes)
{
    QFile f(h.folder.path() + "/base/" + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList Listed(TMainForm &f)
{
    QStringList names;
    for (int i = 0; i < Find<QListWidget>(f, "SoftUpdatesListBox")->count(); ++i)
        names << Find<QListWidget>(f, "SoftUpdatesListBox")->item(i)->text();
    return names;
}

void Pick(TMainForm &f, const QString &name)
{
    const QList<QListWidgetItem *> items = Find<QListWidget>(f, "SoftUpdatesListBox")->findItems(name, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    // A click makes the row current and picks it.
    Find<QListWidget>(f, "SoftUpdatesListBox")->setCurrentItem(items.first());
    f.Main().SoftUpdatesListBoxClick();
}

// Frames 55 55 A0 AA … that opened a main-page link.
int MainPageInits(const RecordingTransport &wire)
{
    const std::vector<std::uint8_t> bytes = wire.WrittenBytes();
    int count = 0;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] == 0x55 && bytes[i + 1] == 0x55 && bytes[i + 2] == 0xA0 && bytes[i + 3] == 0xAA)
            ++count;
    }
    return count;
}

int PacketWrites(const RecordingTransport &wire)
{
    int n = 0;
    for (const WireEvent &e : wire.Log())
        n += e.kind == WireEvent::WritePacket;
    return n;
}

// The controls a parse or transfer disables are usable again.
void CheckFirmwareControlsUsable(TMainForm &f)
{
    for (QWidget *w : {static_cast<QWidget *>(Find<QListWidget>(f, "SoftUpdatesListBox")), static_cast<QWidget *>(Find<QTabWidget>(f, "MainPageC")),
                       static_cast<QWidget *>(Find<QGroupBox>(f, "DevOperModeGrB")), static_cast<QWidget *>(Find<QRadioButton>(f, "RPU_rb")),
                       static_cast<QWidget *>(Find<QRadioButton>(f, "RTR_rb")), static_cast<QWidget *>(Find<QRadioButton>(f, "MRO_rb"))})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!QApplication::overrideCursor());
}

void CheckLinkDown(FormHarness &h)
{
    TMainForm &f = *h.form;
    QVERIFY(Find<QTabWidget>(f, "MainPageC")->isHidden());
    QVERIFY(Find<QPushButton>(f, "ConnectButton")->isEnabled());
    QVERIFY(!Find<QPushButton>(f, "DisconnectButton")->isEnabled());
    QVERIFY(Find<QComboBox>(f, "OperModeCmB")->isEnabled());
    QCOMPARE(f.Session().Info().deviceClass, -1);
    QVERIFY(Find<QLabel>(f, "CurrentSoftVerLabel2")->text().isEmpty());
    QCOMPARE(Find<QProgressBar>(f, "MainProgressB")->value(), 0);
    QVERIFY(!QApplication::overrideCursor());
}

} // namespace

class FirmwareFlowsTest : public QObject {
    Q_OBJECT
private slots:
    void offerAnsweredNoLeavesTheListFilled()
    {
        FormHarness h(1, 46);
        Put(h, "a_sela_4_5", MakeFirmwareImage(0x12, 45, 2));
        Put(h, "b_sela_4_7", MakeFirmwareImage(0x12, 47, 2));
        Put(h, "readme.txt", "not firmware");
        QVERIFY(QDir(h.folder.path() + "/base").mkdir("old_sela_9_9"));
        h.dialogs.answers = {Dialogs::Answer::No};
        h.form->ConnectButtonClick();

        QCOMPARE(h.dialogs.boxes.size(), std::size_t(1));
        QCOMPARE(h.dialogs.boxes[0].title, h.Msg(10013));
        QCOMPARE(h.dialogs.boxes[0].text, h.Msg(10062));
        QCOMPARE(h.dialogs.boxes[0].buttons, Dialogs::Buttons::YesNo);
        // The folder named like firmware is not offered as the newest file.
        QCOMPARE(Listed(*h.form), QStringList({"a_sela_4_5", "b_sela_4_7"}));
        QVERIFY(!Find<QPushButton>(*h.form, "WriteSWButton")->isEnabled());
        QVERIFY(Find<QGroupBox>(*h.form, "SoftUpdateGrB")->isHidden());
        QVERIFY(!Find<QTabWidget>(*h.form, "MainPageC")->isHidden());
        QCOMPARE(ActivePage(*h.form), Find<QWidget>(*h.form, "MainTabSh"));
        QVERIFY(Find<QPushButton>(*h.form, "DisconnectButton")->isEnabled());
        QCOMPARE(h.form->StatusText(), h.Msg(10064));
        QCOMPARE(PacketWrites(*h.wire), 0);
        QVERIFY(h.device.AcceptedFirmwareLengths().empty());
        QCOMPARE(h.form->Main().SelectedDeviceClass, 2);
        CheckFirmwareControlsUsable(*h.form);
    }

    void noOfferForCurrentOrOtherDevices_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("class 2 already at 4_7") << 47;
        QTest::newRow("class 0") << 104;
    }
    void noOfferForCurrentOrOtherDevices()
    {
        QFETCH(int, version);
        FormHarness h(1, std::uint8_t(version));
        Put(h, "a_sela_4_5", MakeFirmwareImage(0x12, 45, 2));
        Put(h, "b_sela_4_7", MakeFirmwareImage(0x12, 47, 2));
        Put(h, "c_sela_9_9_9", MakeFirmwareImage(0x12, 99, 2)); // 999 beats any version byte
        if (version >= 40 && version < 100)
            QFile::remove(h.folder.path() + "/base/c_sela_9_9_9");
        h.form->ConnectButtonClick();
        for (const QString &text : h.dialogs.BoxTexts())
            QVERIFY(text != h.Msg(10062));
        QCOMPARE(h.form->StatusText(), h.Msg(10064));
        QVERIFY(h.device.AcceptedFirmwareLengths().empty());
        QVERIFY(!Find<QPushButton>(*h.form, "WriteSWButton")->isEnabled());
        QVERIFY(!Find<QTabWidget>(*h.form, "MainPageC")->isHidden());
    }

    void offerAnsweredYesWritesAndReconnects()
    {
        FormHarness h(1, 46);
        const QByteArray image = MakeFirmwareImage(0x12, 50, 16);
        Put(h, "rpu_sela_4_7.bin", MakeFirmwareImage(0x12, 47, 16));
        Put(h, "rpu_sela_5_0.bin", image);
        h.form->ConnectButtonClick();

        // One question: after the write the device runs 5_0 and is not asked again.
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{h.Msg(10062)});
        QCOMPARE(h.device.AcceptedFirmwareLengths(), std::vector<int>{int(image.size())});
        QCOMPARE(h.device.VersionByte(), 50);
        QCOMPARE(PacketWrites(*h.wire), 16);
        // Connect, then the break and the main-page link made again.
        QCOMPARE(MainPageInits(*h.wire), 2);
        QCOMPARE(Find<QLabel>(*h.form, "CurrentSoftVerLabel2")->text(), FormatDeviceVersion(50));
        QCOMPARE(h.form->Session().Info().versionByte, 50);
        QCOMPARE(h.form->StatusText(), h.Msg(10064));
        QVERIFY(!Find<QTabWidget>(*h.form, "MainPageC")->isHidden());
        QVERIFY(Find<QPushButton>(*h.form, "DisconnectButton")->isEnabled());
        QVERIFY(!Find<QPushButton>(*h.form, "ConnectButton")->isEnabled());
        QCOMPARE(h.form->Main().FirmwareFileSize, image.size());
        QCOMPARE(h.form->Buffer().Count(), image.size());
        QCOMPARE(h.form->Buffer().Lines().mid(0, 4), QStringList({"85", "85", "18", "50"}));
        QCOMPARE(Find<QProgressBar>(*h.form, "MainProgressB")->value(), 0);
        CheckFirmwareControlsUsable(*h.form);
    }

    void offerOfARejectedFileWritesNothing()
    {
        FormHarness h(1, 46);
        Put(h, "rpu_sela_5_0.bin", MakeFirmwareImage(0x13, 50, 4));
        h.form->ConnectButtonClick();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList({h.Msg(10062), h.Msg(10018)}));
        QCOMPARE(PacketWrites(*h.wire), 0);
        QVERIFY(Find<QPushButton>(*h.form, "DisconnectButton")->isEnabled());
        QCOMPARE(h.form->StatusText(), h.Msg(10064));
        CheckFirmwareControlsUsable(*h.form);
    }

    void failedOfferWriteEndsLinkDown()
    {
        FormHarness h(1, 46);
        Put(h, "rpu_sela_5_0.bin", MakeFirmwareImage(0x12, 50, 8));
        h.device.Faults().refuseFirmware = true;
        h.form->ConnectButtonClick();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList({h.Msg(10062), h.Msg(10024)}));
        QCOMPARE(h.dialogs.boxes[1].title, h.Msg(10001));
        QCOMPARE(h.dialogs.boxes[1].icon, Dialogs::Icon::Error);
        // The page change does not report a link after the failure.
        QCOMPARE(h.form->StatusText(), h.Msg(10024));
        CheckLinkDown(h);
        QCOMPARE(MainPageInits(*h.wire), 1);

        // Connecting again by hand gives a usable page control.
        h.device.Faults().refuseFirmware = false;
        h.dialogs.answers = {Dialogs::Answer::No};
        h.form->ConnectButtonClick();
        QVERIFY(!Find<QTabWidget>(*h.form, "MainPageC")->isHidden());
        CheckFirmwareControlsUsable(*h.form);
    }

    void pickingFiles()
    {
        FormHarness h(1, 47);
        Put(h, "a_sela_4_7.bin", MakeFirmwareImage(0x12, 47, 3));
        Put(h, "b_sela_header.bin", QByteArray("\x55\x54\x12\x2F", 4) + QByteArray(198, '\0'));
        Put(h, "c_sela_type.bin", MakeFirmwareImage(0x13, 99, 1));
        Put(h, "d_sela_length.bin", MakeFirmwareImage(0x12, 48, 1) + "x");
        Put(h, "e_sela_gone.bin", MakeFirmwareImage(0x12, 40, 1));
        h.form->ConnectButtonClick();
        QVERIFY(h.dialogs.boxes.empty());
        TMainForm &f = *h.form;

        Pick(f, "a_sela_4_7.bin");
        QCOMPARE(f.StatusText(), h.Msg(10021));
        QVERIFY(Find<QPushButton>(f, "WriteSWButton")->isEnabled());
        QVERIFY(!Find<QGroupBox>(f, "SoftUpdateGrB")->isHidden());
        QCOMPARE(Find<QLabel>(f, "SoftFNameLabel2")->text(), QStringLiteral("a_sela_4_7.bin"));
        QCOMPARE(Find<QLabel>(f, "SoftFTypeLabel2")->text(), QStringLiteral("ПО для РПУ-SELA"));
        QCOMPARE(Find<QLabel>(f, "SoftFSizeLabel2")->text(), QStringLiteral("202"));
        QCOMPARE(Find<QLabel>(f, "NewSoftVerLabel2")->text(), QStringLiteral("4_7"));
        const QDate today = QFileInfo(h.folder.path() + "/base/a_sela_4_7.bin").lastModified().date();
        QCOMPARE(Find<QLabel>(f, "SoftFDateLabel2")->text(), QLocale().toString(today, QLocale::ShortFormat));
        QCOMPARE(f.Buffer().Count(), 202);
        QCOMPARE(f.Main().FirmwareFileSize, 202);
        CheckFirmwareControlsUsable(f);

        // Bad header: the format box, no label changes.
        Pick(f, "b_sela_header.bin");
        QCOMPARE(h.dialogs.boxes.back().title, h.Msg(10013));
        QCOMPARE(h.dialogs.boxes.back().text, h.Msg(10017));
        QCOMPARE(h.dialogs.boxes.back().icon, Dialogs::Icon::Error);
        QCOMPARE(f.StatusText(), h.Msg(10017));
        QVERIFY(Find<QGroupBox>(f, "SoftUpdateGrB")->isHidden());
        QVERIFY(!Find<QPushButton>(f, "WriteSWButton")->isEnabled());
        QCOMPARE(Find<QLabel>(f, "SoftFNameLabel2")->text(), QStringLiteral("a_sela_4_7.bin"));
        QCOMPARE(Find<QLabel>(f, "SoftFSizeLabel2")->text(), QStringLiteral("202"));
        CheckFirmwareControlsUsable(f);

        // Wrong type: name, size and date change; type and version stay.
        Pick(f, "c_sela_type.bin");
        QCOMPARE(h.dialogs.boxes.back().text, h.Msg(10018));
        QCOMPARE(h.dialogs.boxes.back().title, h.Msg(10013));
        QCOMPARE(f.StatusText(), h.Msg(10018));
        QCOMPARE(Find<QLabel>(f, "SoftFNameLabel2")->text(), QStringLiteral("c_sela_type.bin"));
        QCOMPARE(Find<QLabel>(f, "SoftFSizeLabel2")->text(), QStringLiteral("74"));
        QCOMPARE(Find<QLabel>(f, "SoftFTypeLabel2")->text(), QStringLiteral("ПО для РПУ-SELA"));
        QCOMPARE(Find<QLabel>(f, "NewSoftVerLabel2")->text(), QStringLiteral("4_7"));
        QVERIFY(Find<QGroupBox>(f, "SoftUpdateGrB")->isHidden());
        QVERIFY(!Find<QPushButton>(f, "WriteSWButton")->isEnabled());

        // A length the transfer cannot send whole is a format error.
        Pick(f, "d_sela_length.bin");
        QCOMPARE(h.dialogs.boxes.back().text, h.Msg(10017));
        QVERIFY(!Find<QPushButton>(f, "WriteSWButton")->isEnabled());
        QCOMPARE(Find<QLabel>(f, "SoftFNameLabel2")->text(), QStringLiteral("c_sela_type.bin"));

        // Removed after the listing: reported under the application title.
        QVERIFY(QFile::remove(h.folder.path() + "/base/e_sela_gone.bin"));
        const std::size_t before = h.dialogs.boxes.size();
        Pick(f, "e_sela_gone.bin");
        QCOMPARE(h.dialogs.boxes.size(), before + 1);
        QCOMPARE(h.dialogs.boxes.back().title, kApplicationTitle);
        QVERIFY(!Find<QPushButton>(f, "WriteSWButton")->isEnabled());
        CheckFirmwareControlsUsable(f);

        // None of this reached the device.
        QCOMPARE(PacketWrites(*h.wire), 0);
    }

    void writingAPickedFile()
    {
        FormHarness h(1, 46);
        Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 5));
        h.form->ConnectButtonClick(); // 41 is not newer than 46: no offer
        QVERIFY(h.dialogs.boxes.empty());
        Pick(*h.form, "a_sela_4_1.bin");
        Find<QPushButton>(*h.form, "WriteSWButton")->click();
        QVERIFY(h.dialogs.boxes.empty());
        QCOMPARE(h.device.VersionByte(), 41);
        QCOMPARE(h.device.AcceptedFirmwareLengths(), std::vector<int>{10 + 64 * 5});
        QCOMPARE(MainPageInits(*h.wire), 2);
        QCOMPARE(Find<QLabel>(*h.form, "CurrentSoftVerLabel2")->text(), FormatDeviceVersion(41));
        QCOMPARE(h.form->StatusText(), h.Msg(10064));
        QVERIFY(!Find<QPushButton>(*h.form, "WriteSWButton")->isEnabled()); // the list was scanned anew
        CheckFirmwareControlsUsable(*h.form);
    }

    void closeIsHeldOffWhileATransferRuns()
    {
        FormHarness h(1, 46);
        Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 5));
        h.form->show();
        h.form->ConnectButtonClick();
        Pick(*h.form, "a_sela_4_1.bin");
        bool closed = true;
        QString status;
        h.wire->onProcessEvents = [&] {
            if (closed) { // the first event round of the transfer
                closed = h.form->close();
                status = h.form->StatusText();
            }
        };
        Find<QPushButton>(*h.form, "WriteSWButton")->click();
        h.wire->onProcessEvents = nullptr;
        QVERIFY(!closed);
        QCOMPARE(status, h.Msg(10152)); // answered in the status bar
        QVERIFY(h.dialogs.boxes.empty()); // not even asked: the pipes must stay open
        QCOMPARE(h.device.AcceptedFirmwareLengths(), std::vector<int>{10 + 64 * 5});
        QVERIFY(h.form->isVisible());
        // Once the write and its link renewal are over, the window closes,
        // with no second question.
        QTRY_VERIFY_WITH_TIMEOUT(!h.form->isVisible(), 2000);
        QVERIFY(h.dialogs.boxes.empty());
    }

    // Without a close asked during the write, a close afterwards asks as usual.
    void closeAfterATransferAsks()
    {
        FormHarness h(1, 46);
        Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 5));
        h.form->show();
        h.form->ConnectButtonClick();
        Pick(*h.form, "a_sela_4_1.bin");
        Find<QPushButton>(*h.form, "WriteSWButton")->click();
        h.dialogs.answers.push_back(Dialogs::Answer::No);
        QVERIFY(!h.form->close());
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{h.Msg(10012)});
        QTest::qWait(300);
        QVERIFY(h.form->isVisible());
    }

    void failedWriteOfAPickedFile_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("message");
        QTest::newRow("1 write failed") << 1 << 10085;
        QTest::newRow("2 refused") << 2 << 10024;
        QTest::newRow("3 no answer") << 3 << 10084;
    }
    void failedWriteOfAPickedFile()
    {
        QFETCH(int, code);
        QFETCH(int, message);
        FormHarness h(1, 46);
        Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 5));
        h.form->ConnectButtonClick();
        Pick(*h.form, "a_sela_4_1.bin");
        switch (code) {
        case 1: h.wire->failWritesFrom = h.wire->WriteCalls() + 9; break; // second packet
        case 2: h.device.Faults().refuseFirmware = true; break;
        case 3: h.wire->failReadsFrom = h.wire->ReadCalls(); break;
        }
        h.form->Main().WriteSWButtonClick();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{h.Msg(message)});
        QCOMPARE(h.dialogs.boxes[0].title, h.Msg(10001));
        QCOMPARE(h.form->StatusText(), h.Msg(message));
        CheckLinkDown(h);
        QCOMPARE(MainPageInits(*h.wire), 1); // no reconnect after a failure
        if (code != 3)
            QVERIFY(h.device.AcceptedFirmwareLengths().empty());
        QVERIFY(Find<QTabWidget>(*h.form, "MainPageC")->isEnabled());
    }

    void demoPageSetsByDeviceModeButton()
    {
        FormHarness h;
        TMainForm &f = *h.form;
        Find<QComboBox>(f, "OperModeCmB")->setCurrentIndex(0);
        f.OperModeCmBChange();
        QCOMPARE(VisibleTabs(f), QStringList{"MainTabSh"}); // no button selected yet
        QVERIFY(Find<QGroupBox>(f, "SoftUpdatesGroupBox")->isHidden());

        f.Main().SelectDeviceModeButton(Find<QRadioButton>(f, "RTR_rb"));
        QCOMPARE(VisibleTabs(f), QStringList({"MainTabSh", "RegistBackupTabSh", "ReleSettingsTabSh"}));
        f.Main().SelectDeviceModeButton(Find<QRadioButton>(f, "RPU_rb"));
        QCOMPARE(VisibleTabs(f), QStringList({"MainTabSh", "RegistBackupTabSh", "ReleSettingsTabRPU"}));
        f.Main().SelectDeviceModeButton(Find<QRadioButton>(f, "MRO_rb"));
        QCOMPARE(VisibleTabs(f), QStringList({"MainTabSh", "ReleSettingsTabSh"}));
        // Clearing runs nothing; a direct run with none selected changes nothing.
        f.Main().SelectDeviceModeButton(nullptr);
        f.Main().DevOperModeGrB_rbClick();
        QCOMPARE(VisibleTabs(f), QStringList({"MainTabSh", "ReleSettingsTabSh"}));
        QVERIFY(h.dialogs.boxes.empty());
        QVERIFY(h.wire->Log().empty());
    }

    void onlineDeviceModeButtons_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<bool>("mismatch");
        const QString m = "MainTabSh", b = "RegistBackupTabSh", r = "ReleSettingsTabSh",
                      p = "ReleSettingsTabRPU";
        QTest::newRow("class 0 v104 RPU") << 104 << "RPU_rb" << QStringList{m, b, p} << false;
        QTest::newRow("class 0 v104 RTR") << 104 << "RTR_rb" << QStringList{m, b, r} << false;
        QTest::newRow("class 0 v150 RTR") << 150 << "RTR_rb" << QStringList{m, b, r} << false;
        QTest::newRow("class 0 MRO mismatch") << 104 << "MRO_rb" << QStringList{m} << true;
        QTest::newRow("class 1 MRO") << 30 << "MRO_rb" << QStringList{m, r} << false;
        QTest::newRow("class 1 RPU mismatch") << 30 << "RPU_rb" << QStringList{m} << true;
        QTest::newRow("class 2 RTR mismatch") << 46 << "RTR_rb" << QStringList{m} << true;
    }
    void onlineDeviceModeButtons()
    {
        QFETCH(int, version);
        QFETCH(QString, button);
        QFETCH(QStringList, tabs);
        QFETCH(bool, mismatch);
        FormHarness h(1, std::uint8_t(version));
        Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 1));
        h.form->ConnectButtonClick();
        QVERIFY(h.dialogs.boxes.empty());
        QCOMPARE(VisibleTabs(*h.form), QStringList{"MainTabSh"}); // the offer hides them all
        Pick(*h.form, "a_sela_4_1.bin");
        QVERIFY(Find<QPushButton>(*h.form, "WriteSWButton")->isEnabled());
        QVERIFY(!Find<QGroupBox>(*h.form, "SoftUpdateGrB")->isHidden());
        Find<QListWidget>(*h.form, "SoftUpdatesListBox")->clear();

        auto *rb = h.form->findChild<QRadioButton *>(button);
        QVERIFY(rb);
        if (rb->isChecked()) // the connect selected it already: select another first
            h.form->Main().SelectDeviceModeButton(nullptr);
        h.dialogs.boxes.clear();
        h.form->Main().SelectDeviceModeButton(rb);
        QCOMPARE(VisibleTabs(*h.form), tabs);
        if (mismatch) {
            QCOMPARE(h.dialogs.BoxTexts(), QStringList{h.Msg(10025)});
            QCOMPARE(h.dialogs.boxes[0].title, h.Msg(10013));
            QCOMPARE(h.dialogs.boxes[0].icon, Dialogs::Icon::Information);
        } else {
            QVERIFY(h.dialogs.boxes.empty());
        }
        // Either way the list is scanned anew and the write button disabled.
        QVERIFY(Find<QGroupBox>(*h.form, "SoftUpdateGrB")->isHidden());
        QVERIFY(!Find<QPushButton>(*h.form, "WriteSWButton")->isEnabled());
        QCOMPARE(Listed(*h.form), QStringList{"a_sela_4_1.bin"});
        QCOMPARE(h.form->Main().SelectedDeviceClass, 2);
    }

    void rpuPageNeedsVersion104()
    {
        FormHarness h(1, 103);
        h.form->ConnectButtonClick();
        QVERIFY(Find<QRadioButton>(*h.form, "RPU_rb")->isChecked()); // class 0 selects RPU_rb
        h.form->Main().SelectDeviceModeButton(Find<QRadioButton>(*h.form, "RTR_rb"));
        QCOMPARE(VisibleTabs(*h.form), QStringList({"MainTabSh", "RegistBackupTabSh"}));
        h.form->Main().SelectDeviceModeButton(Find<QRadioButton>(*h.form, "RPU_rb"));
        QCOMPARE(VisibleTabs(*h.form), QStringList({"MainTabSh", "RegistBackupTabSh"}));
        QVERIFY(h.dialogs.boxes.empty());
    }

    // How long it takes is bench_firmware's business.
    void largeFileIsAccepted()
    {
        FormHarness h(1, 47);
        const int packets = (128 * 1024 - 10) / 64;
        Put(h, "big_sela_4_0.bin", MakeFirmwareImage(0x12, 40, packets));
        h.form->ConnectButtonClick();
        h.wire->ClearLog();
        Pick(*h.form, "big_sela_4_0.bin");
        QVERIFY(Find<QPushButton>(*h.form, "WriteSWButton")->isEnabled());
        QCOMPARE(h.form->Buffer().Count(), 10 + 64 * packets);
    }
};

QTEST_MAIN(FirmwareFlowsTest)
#include "tst_firmware_flows.moc"
