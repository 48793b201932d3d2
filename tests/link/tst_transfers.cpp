// Block write and read, and the firmware transfer: bytes, calls, pauses,
// progress and result codes.
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/simdevice.h"
#include "support/recording.h"

#include <QtTest>

using namespace rpu;
using rpu::test::RecordingTransport;

namespace {

// Records progress calls together with the position they took in the wire
// log, so their order against the event pump shows.
struct OrderedProgress final : ProgressSink {
    explicit OrderedProgress(RecordingTransport &w) : wire(w) {}
    void SetProgress(int percent) override
    {
        progress.push_back(percent);
        calls << QStringLiteral("S%1@%2").arg(percent).arg(wire.Log().size());
    }
    void ShowStatus(const QString &text) override
    {
        statuses << text;
        calls << QStringLiteral("T@%1").arg(wire.Log().size());
    }
    RecordingTransport &wire;
    std::vector<int> progress;
    QStringList statuses;
    QStringList calls;
};

struct Link {
    RecordingTransport wire;
    OrderedProgress progress{wire};
    MessageCatalogue catalogue;
    LinkContext ctx{wire, wire, progress, catalogue};
    Link() { LoadMessageCatalogue(catalogue, QStringLiteral("RU"), QStringLiteral("/x/prog")); }
    explicit Link(SimDevice *device) : wire(device)
    {
        LoadMessageCatalogue(catalogue, QStringLiteral("RU"), QStringLiteral("/x/prog"));
    }
};

QStringList WithoutEvents(const QStringList &trace)
{
    QStringList out;
    for (const QString &line : trace) {
        if (line != QLatin1String("E"))
            out << line;
    }
    return out;
}

QString Hex(std::uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }

std::vector<std::uint8_t> DataPhase(const std::vector<int> &cells, bool withCrc = true)
{
    std::vector<std::uint8_t> d{0xAA, 0xAA};
    for (int c : cells)
        d.push_back(std::uint8_t(c & 0xFF));
    if (withCrc) {
        const std::uint16_t crc = Crc16(d);
        d.push_back(std::uint8_t(crc & 0xFF));
        d.push_back(std::uint8_t(crc >> 8));
    }
    return d;
}

const std::vector<std::uint8_t> kAckOk{0x55, 0x55, 0x94, 0x00, 0x00, 0x00, 0x00, 0x00};

std::vector<std::uint8_t> FirmwareImage(int packets)
{
    std::vector<std::uint8_t> img(std::size_t(10 + 64 * packets));
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = std::uint8_t(i * 31 + 7);
    img[0] = img[1] = 0x55;
    img[2] = 0x12;
    img[3] = 47;
    return img;
}

} // namespace

class TestTransfers : public QObject {
    Q_OBJECT
private slots:
    void settingsWriteSequence()
    {
        Link l;
        std::vector<int> cells(256);
        for (int i = 0; i < 256; ++i)
            cells[std::size_t(i)] = i * 37 + 0x100; // only the low 8 bits travel
        l.wire.Reply(kAckOk);
        QCOMPARE(WriteDeviceBlocks(l.ctx, 1, 7, cells), 0);

        const std::vector<std::uint8_t> data = DataPhase(cells);
        QStringList expected{"W 55", "W 55", "W 94", "W 01", "W 07", "W 00", "W 7F", "W C9", "P 10",
                             "W AA", "W AA"};
        for (int packet = 1; packet <= 4; ++packet)
            expected << "WP 64" << "P 10";
        expected << "P 10" << "W " + Hex(data[258]) << "P 10" << "W " + Hex(data[259]) << "P 10";
        for (int i = 0; i < 8; ++i)
            expected << "R " + Hex(kAckOk[std::size_t(i)]);
        QCOMPARE(WithoutEvents(l.wire.Trace()), expected);

        std::vector<std::uint8_t> sent = l.wire.WrittenBytes();
        sent.erase(sent.begin(), sent.begin() + 8);
        QVERIFY(sent == data);
        QCOMPARE(l.wire.Trace().count(QStringLiteral("E")), 32);

        // Every pumped event follows the progress it announces.
        const QStringList trace = l.wire.Trace();
        for (int i = 0; i < trace.size(); ++i) {
            if (trace[i] == QLatin1String("E"))
                QVERIFY(l.progress.calls.contains(QStringLiteral("T@%1").arg(i)));
        }
    }

    void writeProgress()
    {
        Link l;
        l.wire.Reply(kAckOk);
        QCOMPARE(WriteDeviceBlocks(l.ctx, 1, 7, std::vector<int>(256)), 0);
        const std::vector<int> &p = l.progress.progress;
        QCOMPARE(p.size(), std::size_t(34));
        QCOMPARE((std::vector<int>(p.begin(), p.begin() + 6)), (std::vector<int>{0, 3, 6, 9, 12, 15}));
        QCOMPARE(p.back(), 100);
        QVERIFY(std::is_sorted(p.begin(), p.end()));
        QCOMPARE(l.progress.statuses.at(1), QStringLiteral("Запись параметров в прибор...3 %"));
        QCOMPARE(l.progress.statuses.last(), QStringLiteral("Запись параметров в прибор...100 %"));
    }

    void registrationWritePacketsAndPauses()
    {
        Link l;
        l.wire.Reply(kAckOk);
        QCOMPARE(WriteDeviceBlocks(l.ctx, 7, 0, std::vector<int>(1792, 9)), 0);
        const QStringList trace = WithoutEvents(l.wire.Trace());
        QCOMPARE(trace.mid(0, 8), (QStringList{"W 55", "W 55", "W 94", "W 07", "W 00", "W 00", "W 9D", "W F8"}));
        QCOMPARE(trace.count(QStringLiteral("WP 64")), 28);
        QCOMPARE(l.wire.TotalPauseMs(), 380);
        int packets = 0;
        for (int i = 0; i < trace.size(); ++i) {
            if (trace[i] != QLatin1String("WP 64"))
                continue;
            ++packets;
            QCOMPARE(trace.value(i + 1), QStringLiteral("P 10"));
            QCOMPARE(trace.value(i + 2) == QLatin1String("P 10"), packets % 4 == 0);
        }
    }

    void writeFailures_data()
    {
        QTest::addColumn<int>("failWrite");
        QTest::addColumn<int>("failRead");
        QTest::addColumn<int>("ackByte3");
        QTest::addColumn<int>("result");
        QTest::newRow("first frame byte") << 0 << -1 << 0 << 1;
        QTest::newRow("last frame byte") << 7 << -1 << 0 << 1;
        QTest::newRow("data header") << 8 << -1 << 0 << 4;
        QTest::newRow("second packet") << 11 << -1 << 0 << 4;
        QTest::newRow("CRC low") << 14 << -1 << 0 << 4;
        QTest::newRow("CRC high") << 15 << -1 << 0 << 4;
        QTest::newRow("no acknowledgement") << -1 << 0 << 0 << 2;
        QTest::newRow("acknowledgement cut") << -1 << 5 << 0 << 2;
        QTest::newRow("refused") << -1 << -1 << 1 << 3;
    }
    void writeFailures()
    {
        QFETCH(int, failWrite);
        QFETCH(int, failRead);
        QFETCH(int, ackByte3);
        QFETCH(int, result);
        Link l;
        std::vector<std::uint8_t> ack = kAckOk;
        ack[3] = std::uint8_t(ackByte3);
        l.wire.Reply(ack);
        l.wire.failWritesFrom = failWrite;
        l.wire.failReadsFrom = failRead;
        QCOMPARE(WriteDeviceBlocks(l.ctx, 1, 7, std::vector<int>(256, 1)), result);
        QCOMPARE(l.wire.WriteCalls(), failWrite >= 0 ? failWrite + 1 : 16);
        if (result == 3)
            QCOMPARE(l.progress.progress.back(), 0);
    }

    void blockRangeThatCannotBeSent()
    {
        Link l;
        std::vector<int> cells(255, 3);
        QCOMPARE(WriteDeviceBlocks(l.ctx, 1, 7, cells), 1);
        QCOMPARE(ReadDeviceBlocks(l.ctx, 1, 7, cells), 1);
        QCOMPARE(ReadDeviceBlocks(l.ctx, 0, 7, cells), 1);
        QVERIFY(l.wire.Log().empty());
        QCOMPARE(cells, std::vector<int>(255, 3));
    }

    void settingsReadSequence()
    {
        Link l;
        std::vector<int> device(256);
        for (int i = 0; i < 256; ++i)
            device[std::size_t(i)] = (i * 13) & 0xFF;
        const std::vector<std::uint8_t> data = DataPhase(device);
        l.wire.Reply(data);
        std::vector<int> cells(256, -1);
        QCOMPARE(ReadDeviceBlocks(l.ctx, 1, 7, cells), 0);
        QCOMPARE(cells, device);
        const QStringList expected{"W 55", "W 55", "W 93", "W 01", "W 07", "W 00", "W 7E", "W BD", "P 10",
                                   "R AA", "R AA", "RP 64", "RP 64", "RP 64", "RP 64",
                                   "R " + Hex(data[258]), "R " + Hex(data[259])};
        QCOMPARE(l.wire.Trace(), expected); // no flush, no event pump
        // Once per packet, at its last byte: 6400 div 260, ..., 25600 div 260.
        QCOMPARE(l.progress.progress, (std::vector<int>{0, 24, 49, 73, 98, 100}));
        QCOMPARE(l.progress.statuses.at(4), QStringLiteral("Чтение параметров из прибора...98 %"));
        QCOMPARE(l.progress.statuses.last(), QStringLiteral("Параметры успешно считаны"));
    }

    void readFailuresKeepCells_data()
    {
        QTest::addColumn<int>("failWrite");
        QTest::addColumn<int>("failRead");
        QTest::addColumn<int>("spoil"); // data-phase position to change, -1 none
        QTest::addColumn<int>("result");
        QTest::newRow("frame not sent") << 3 << -1 << -1 << 1;
        QTest::newRow("header unread") << -1 << 1 << -1 << 2;
        QTest::newRow("header AA 55") << -1 << -1 << 1 << 3;
        QTest::newRow("packet unread") << -1 << 4 << -1 << 2;
        QTest::newRow("CRC high unread") << -1 << 7 << -1 << 2;
        QTest::newRow("data byte changed") << -1 << -1 << 200 << 4;
        QTest::newRow("CRC low changed") << -1 << -1 << 258 << 4;
    }
    void readFailuresKeepCells()
    {
        QFETCH(int, failWrite);
        QFETCH(int, failRead);
        QFETCH(int, spoil);
        Link l;
        std::vector<std::uint8_t> data = DataPhase(std::vector<int>(256, 0x42));
        if (spoil == 1)
            data[1] = 0x55;
        else if (spoil >= 0)
            data[std::size_t(spoil)] ^= 0x10;
        l.wire.Reply(data);
        l.wire.failWritesFrom = failWrite;
        l.wire.failReadsFrom = failRead;
        std::vector<int> cells(256);
        for (int i = 0; i < 256; ++i)
            cells[std::size_t(i)] = 1000 + i;
        const std::vector<int> before = cells;
        QTEST(ReadDeviceBlocks(l.ctx, 1, 7, cells), "result");
        QCOMPARE(cells, before);
        if (spoil == 1)
            QCOMPARE(l.wire.ReadCalls(), 2);
    }

    // A packet that arrives short does not end the read; the CRC decides.
    void shortPacketLeftToCrc()
    {
        SimDevice device;
        device.Faults().shortPacket = true;
        Link l(&device);
        std::vector<int> cells(256, -1);
        // Block 7 ends in 0, which is what the short packet leaves behind.
        QCOMPARE(ReadDeviceBlocks(l.ctx, 1, 7, cells), 0);
        QCOMPARE(l.wire.Trace().count(QStringLiteral("RP 63")), 1);
        QCOMPARE(cells.back(), 0);

        device.Memory()[2047] = 0x33;
        Link again(&device);
        std::fill(cells.begin(), cells.end(), -1);
        QCOMPARE(ReadDeviceBlocks(again.ctx, 1, 7, cells), 4);
        QCOMPARE(cells, std::vector<int>(256, -1));
    }

    void firmwareSequence()
    {
        Link l;
        const std::vector<std::uint8_t> img = FirmwareImage(3);
        l.wire.Reply(kAckOk);
        QCOMPARE(WriteFirmware(l.ctx, img), 0);
        QStringList expected;
        for (int i = 0; i < 8; ++i)
            expected << "W " + Hex(img[std::size_t(i)]);
        expected << "WP 64" << "WP 64" << "WP 64" << "W " + Hex(img[200]) << "P 10" << "W " + Hex(img[201])
                 << "P 25";
        for (int i = 0; i < 8; ++i)
            expected << "R " + Hex(kAckOk[std::size_t(i)]);
        QCOMPARE(WithoutEvents(l.wire.Trace()), expected);
        QVERIFY(l.wire.WrittenBytes() == img);

        const std::vector<int> &p = l.progress.progress;
        QCOMPARE(p.size(), std::size_t(27));
        QCOMPARE(p[1], 3);
        QCOMPARE(p[2], 7);
        QCOMPARE(p[25], 95);
        QCOMPARE(p.back(), 100);
        QCOMPARE(l.progress.statuses.at(1), QStringLiteral("Запись ПО в прибор...3 %"));
        // SetProgress, then the event pump, then the status text.
        const int firstEvent = int(l.wire.Trace().indexOf(QStringLiteral("E")));
        QCOMPARE(l.progress.calls.at(2), QStringLiteral("S3@%1").arg(firstEvent));
        QCOMPARE(l.progress.calls.at(3), QStringLiteral("T@%1").arg(firstEvent + 1));
    }

    void firmwarePauseAfterEveryFourthPacket()
    {
        Link l;
        l.wire.Reply(kAckOk);
        QCOMPARE(WriteFirmware(l.ctx, FirmwareImage(8)), 0);
        const QStringList trace = WithoutEvents(l.wire.Trace());
        QStringList packetsAndPauses;
        for (const QString &line : trace.mid(8, 12))
            packetsAndPauses << line;
        QCOMPARE(packetsAndPauses, (QStringList{"WP 64", "WP 64", "WP 64", "WP 64", "P 10", "WP 64", "WP 64",
                                                "WP 64", "WP 64", "P 10", trace[18], "P 10"}));
        QCOMPARE(l.wire.TotalPauseMs(), 10 + 10 + 10 + 25);
    }

    void firmwareFailures_data()
    {
        QTest::addColumn<int>("failWrite");
        QTest::addColumn<std::vector<std::uint8_t>>("answer");
        QTest::addColumn<int>("result");
        std::vector<std::uint8_t> refused = kAckOk;
        refused[3] = 1;
        QTest::newRow("refused") << -1 << refused << 2;
        QTest::newRow("no answer") << -1 << std::vector<std::uint8_t>{} << 3;
        QTest::newRow("short answer") << -1 << std::vector<std::uint8_t>(kAckOk.begin(), kAckOk.begin() + 7) << 3;
        QTest::newRow("frame byte") << 2 << kAckOk << 1;
        QTest::newRow("packet") << 9 << kAckOk << 1;
        QTest::newRow("last tail byte") << 12 << kAckOk << 1;
    }
    void firmwareFailures()
    {
        QFETCH(int, failWrite);
        QFETCH(std::vector<std::uint8_t>, answer);
        QFETCH(int, result);
        Link l;
        l.wire.Reply(answer);
        l.wire.failWritesFrom = failWrite;
        QCOMPARE(WriteFirmware(l.ctx, FirmwareImage(3)), result);
        if (result == 2)
            QCOMPARE(l.progress.progress.back(), 0);
        if (result == 1)
            QCOMPARE(l.wire.ReadCalls(), 0);
    }

    // Images the file reader would reject must still not be read past their end.
    void firmwareOddLengthsStayInside()
    {
        std::vector<std::uint8_t> storage(300, 0xEE);
        for (std::size_t i = 0; i < 140; ++i)
            storage[i] = std::uint8_t(i % 200);
        for (int length : {0, 1, 2, 5, 8, 9, 10, 11, 75, 137}) {
            Link l;
            l.wire.Reply(kAckOk);
            QCOMPARE(WriteFirmware(l.ctx, std::span(storage.data(), std::size_t(length))), 0);
            for (std::uint8_t b : l.wire.WrittenBytes())
                QVERIFY2(b != 0xEE, qPrintable(QStringLiteral("L=%1").arg(length)));
        }
        Link small;
        small.wire.Reply(kAckOk);
        QCOMPARE(WriteFirmware(small.ctx, std::span(storage.data(), 5)), 0);
        QVERIFY((small.wire.WrittenBytes() == std::vector<std::uint8_t>{0, 1, 2, 3, 3, 4, 4}));
    }
};

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
