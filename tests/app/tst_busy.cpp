// While an exchange runs, nothing that starts another exchange is usable; the
// firmware list answers the keyboard as it answers the mouse.

#include "formharness.h"

#include "firmware/firmwarefile.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <functional>

using namespace rpu;
using namespace rpu::test;

namespace {

// Everything that could start a device exchange.
const char *const kExchangeStarters[] = {
    "OperModeCmB", "ConnectButton", "DisconnectButton", "WriteButton", "ReadButton",
    "SaveButton", "LoadButton", "DefaultSettingsButton", "btn_ChangeLang", "MainPageC",
    "SoftUpdatesListBox", "WriteSWButton", "RegBackupCreateButton", "RegBackupRestoreButton",
};

void Put(FormHarness &h, const QString &name, const QByteArray &bytes)
{
    QFile f(h.folder.path() + "/base/" + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

int MainPageInits(const RecordingTransport &wire)
{
    const std::vector<std::uint8_t> bytes = wire.WrittenBytes();
    int count = 0;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i)
        count += bytes[i] == 0x55 && bytes[i + 1] == 0x55 && bytes[i + 2] == 0xA0 && bytes[i + 3] == 0xAA;
    return count;
}

void EnterPage(FormHarness &h, const char *page)
{
    SetPageTabVisible(*h.form, Find(*h.form, page), true);
    SetActivePage(*h.form, Find(*h.form, page));
    h.form->MainPageCChange();
}

using Scenario = std::function<void(FormHarness &)>;

} // namespace

Q_DECLARE_METATYPE(Scenario)

class BusyTest : public QObject {
    Q_OBJECT
private slots:
    void exchangesLockTheWindow_data()
    {
        QTest::addColumn<Scenario>("prepare");
        QTest::addColumn<Scenario>("run");
        QTest::addColumn<bool>("eventRounds");

        // An earlier main-page entry failed while the list stayed filled:
        // "Установить" is usable then, and must not be during the write.
        QTest::newRow("picked firmware")
            << Scenario([](FormHarness &h) {
                   Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 5));
                   h.form->ConnectButtonClick();
                   h.wire->failReadsFrom = h.wire->ReadCalls();
                   h.form->MainPageCChange();
                   h.wire->failReadsFrom = -1;
                   QVERIFY(Find(*h.form, "ConnectButton")->isEnabled());
                   Find<QListWidget>(*h.form, "SoftUpdatesListBox")->setCurrentRow(0);
                   h.form->Main().SoftUpdatesListBoxClick();
               })
            << Scenario([](FormHarness &h) { h.form->Main().WriteSWButtonClick(); }) << true;
        QTest::newRow("offered firmware")
            << Scenario([](FormHarness &h) { Put(h, "a_sela_4_7.bin", MakeFirmwareImage(0x12, 47, 5)); })
            << Scenario([](FormHarness &h) { h.form->ConnectButtonClick(); }) << true;
        QTest::newRow("registration write")
            << Scenario([](FormHarness &h) {
                   h.form->ConnectButtonClick();
                   EnterPage(h, "RegistBackupTabSh");
                   SetBufferLines(*h.form, QStringList(1792, QStringLiteral("9")));
               })
            << Scenario([](FormHarness &h) { h.form->WriteButtonClick(); }) << true;
        QTest::newRow("settings write")
            << Scenario([](FormHarness &h) {
                   h.form->ConnectButtonClick();
                   EnterPage(h, "ReleSettingsTabSh");
               })
            << Scenario([](FormHarness &h) { h.form->WriteButtonClick(); }) << true;
        QTest::newRow("registration read")
            << Scenario([](FormHarness &h) {
                   h.form->ConnectButtonClick();
                   EnterPage(h, "RegistBackupTabSh");
               })
            << Scenario([](FormHarness &h) { h.form->ReadButtonClick(); }) << false;
        QTest::newRow("settings read on entry")
            << Scenario([](FormHarness &h) { h.form->ConnectButtonClick(); })
            << Scenario([](FormHarness &h) { EnterPage(h, "ReleSettingsTabRPU"); }) << false;
    }

    void exchangesLockTheWindow()
    {
        QFETCH(Scenario, prepare);
        QFETCH(Scenario, run);
        QFETCH(bool, eventRounds);
        FormHarness h(1, 46);
        prepare(h);

        int looks = 0;
        QStringList usable;
        auto look = [&] {
            if (!h.form->Session().Busy())
                return;
            ++looks;
            for (const char *name : kExchangeStarters) {
                // A control may stay drawn as enabled while it takes no input.
                const bool takes = h.form->Flow().TakesInput(Find(*h.form, name));
                if (takes && !usable.contains(QLatin1String(name)))
                    usable << QLatin1String(name);
            }
        };
        QObject::connect(&h.form->Session(), &DeviceSession::stateChanged, h.form.get(), look);
        int rounds = 0;
        int initsAtFirstRound = -1;
        const PageId page = h.form->Flow().ActivePage();
        h.wire->onProcessEvents = [&] {
            look();
            if (rounds++ == 0) {
                initsAtFirstRound = MainPageInits(*h.wire);
                // A click on anything disabled does nothing, nor do the keys
                // and clicks that would change the page.
                for (const char *name : {"ConnectButton", "DisconnectButton", "WriteSWButton"})
                    QTest::mouseClick(Find(*h.form, name), Qt::LeftButton);
                auto *pages = Find<QTabWidget>(*h.form, "MainPageC");
                QTest::keyClick(pages->currentWidget(), Qt::Key_Tab, Qt::ControlModifier);
                QTest::keyClick(pages->currentWidget(), Qt::Key_PageDown, Qt::ControlModifier);
                QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {},
                                  pages->tabBar()->tabRect(pages->count() - 1).center());
            }
            QCOMPARE(MainPageInits(*h.wire), initsAtFirstRound);
            QCOMPARE(h.form->Flow().ActivePage(), page);
        };
        run(h);
        h.wire->onProcessEvents = nullptr;

        QVERIFY(looks > 0);
        QCOMPARE(rounds > 0, eventRounds);
        QVERIFY2(usable.isEmpty(), qPrintable(usable.join(QLatin1Char(' '))));
        QVERIFY(!h.form->Session().Busy());
        QVERIFY(h.device.AcceptedFirmwareLengths().size() <= 1);
    }

    // Arrow keys only move the highlight, and take back a pick they move
    // away from; Enter picks the highlighted file. No key opens a box.
    void keyboardPicksTheHighlightedFileOnEnter()
    {
        FormHarness h(1, 47);
        Put(h, "a_sela_4_1.bin", MakeFirmwareImage(0x12, 41, 2));
        Put(h, "b_sela_4_5.bin", MakeFirmwareImage(0x12, 45, 3));
        h.form->ConnectButtonClick();
        auto *list = Find<QListWidget>(*h.form, "SoftUpdatesListBox");
        const struct {
            Qt::Key key;
            const char *file;  // the file named in the file group afterwards
            bool writable;
        } steps[] = {{Qt::Key_Down, "", false},
                     {Qt::Key_Down, "", false},
                     {Qt::Key_Return, "b_sela_4_5.bin", true},
                     {Qt::Key_Up, "b_sela_4_5.bin", false},
                     {Qt::Key_Enter, "a_sela_4_1.bin", true}};
        for (const auto &step : steps) {
            QTest::keyClick(list, step.key);
            QCOMPARE(Find<QLabel>(*h.form, "SoftFNameLabel2")->text(), QLatin1String(step.file));
            QCOMPARE(Find(*h.form, "WriteSWButton")->isEnabled(), step.writable);
        }
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(h.form->Buffer().Count(), 10 + 2 * 64);
        QVERIFY(h.dialogs.boxes.empty());
    }

    void registrationWriteSendsTheFirst1792Values()
    {
        FormHarness h(1, 46);
        h.form->ConnectButtonClick();
        EnterPage(h, "RegistBackupTabSh");
        QStringList lines;
        for (int i = 0; i < 1800; ++i)
            lines << QString::number((i * 7) % 256);
        SetBufferLines(*h.form, lines);
        h.form->WriteButtonClick();
        QCOMPARE(h.dialogs.BoxTexts(), QStringList{QStringLiteral("Резервная копия успешно записана в прибор")});
        for (int i = 0; i < 1792; ++i)
            QCOMPARE(int(h.device.Memory()[std::size_t(i)]), (i * 7) % 256);
    }
};

QTEST_MAIN(BusyTest)
#include "tst_busy.moc"
