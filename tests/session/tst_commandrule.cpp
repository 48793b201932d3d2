// The command rule against the state table of the page logic, and the
// session's busy state around every exchange.

#include "i18n/messagecatalogue.h"
#include "link/simdevice.h"
#include "session/commandrule.h"
#include "support/recording.h"

#include <QSignalSpy>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

Q_DECLARE_METATYPE(CommandState)

namespace {

CommandOffer Offer(const char *letters)
{
    // w r s l f: write, read, save, load, factory
    const QByteArray s(letters);
    return {s.contains('w'), s.contains('r'), s.contains('s'), s.contains('l'), s.contains('f')};
}

// mode, connect, disconnect, device offer, language, pages shown, pages enabled
CommandState State(bool mode, bool connect, bool disconnect, const char *device, bool language,
                   bool shown, bool enabled)
{
    return {mode, connect, disconnect, Offer(device), language, shown, enabled};
}

} // namespace

class CommandRuleTest : public QObject {
    Q_OBJECT
private slots:
    void stateTable_data()
    {
        QTest::addColumn<WorkMode>("mode");
        QTest::addColumn<LinkState>("link");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QByteArray>("offer");
        QTest::addColumn<CommandState>("expected");
        const auto on = WorkMode::Online;
        const auto demo = WorkMode::Demo;
        QTest::newRow("start / link down") << on << LinkState::Down << false << QByteArray("wrslf")
                                           << State(true, true, false, "", true, false, true);
        QTest::newRow("main page linked") << on << LinkState::Linked << false << QByteArray("")
                                          << State(false, false, true, "", false, true, true);
        QTest::newRow("main page failed") << on << LinkState::Failed << false << QByteArray("wrslf")
                                          << State(false, true, false, "", false, true, true);
        QTest::newRow("settings page linked") << on << LinkState::Linked << false << QByteArray("wrslf")
                                              << State(false, false, true, "wrslf", false, true, true);
        QTest::newRow("demo backup page") << demo << LinkState::Down << false << QByteArray("l")
                                          << State(true, false, false, "l", true, true, true);
        QTest::newRow("demo settings page") << demo << LinkState::Down << false << QByteArray("slf")
                                            << State(true, false, false, "slf", true, true, true);
        QTest::newRow("busy linked") << on << LinkState::Linked << true << QByteArray("wrslf")
                                     << State(false, false, false, "", false, true, false);
        QTest::newRow("busy demo") << demo << LinkState::Down << true << QByteArray("slf")
                                   << State(false, false, false, "", false, true, false);
    }
    void stateTable()
    {
        QFETCH(WorkMode, mode);
        QFETCH(LinkState, link);
        QFETCH(bool, busy);
        QFETCH(QByteArray, offer);
        QFETCH(CommandState, expected);
        QVERIFY(CommandsFor(mode, link, busy, Offer(offer.constData())) == expected);
    }

    // Every exchange is busy from its first byte to its last, and only then.
    void busyAroundEveryExchange()
    {
        SimDevice device(46);
        RecordingTransport wire(&device);
        MessageCatalogue catalogue;
        DeviceSession session(nullptr, wire, wire, catalogue);
        int busyWrites = 0;
        int writes = 0;
        QSignalSpy changes(&session, &DeviceSession::stateChanged);
        wire.onProcessEvents = [&] { busyWrites += session.Busy(); ++writes; };

        std::vector<int> settings(256, 0);
        std::vector<int> registration(7 * 256, 3);
        const std::vector<std::uint8_t> firmware(10 + 64, 0x12);
        QVERIFY(session.Break());
        QCOMPARE(session.Init(kInitOtherPages), InitOutcome::Ok);
        QCOMPARE(session.ReadBlocks(1, 7, settings), BlockReadOutcome::Ok);
        QCOMPARE(session.WriteBlocks(7, 0, registration), BlockWriteOutcome::Ok);
        session.WriteFirmware(firmware);
        QVERIFY(writes > 0);
        QCOMPARE(busyWrites, writes);
        QVERIFY(!session.Busy());
        // Busy on and off for each of the five exchanges.
        QCOMPARE(changes.count(), 10);
    }
};

QTEST_MAIN(CommandRuleTest)
#include "tst_commandrule.moc"
