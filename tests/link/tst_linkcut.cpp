// Every exchange against a device whose link dies after k bytes, for every k,
// and against each way the device can misbehave.
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/simdevice.h"
#include "support/recording.h"

#include <QtTest>

using namespace rpu;
using rpu::test::RecordingProgress;
using rpu::test::RecordingTransport;
using rpu::test::WireEvent;

namespace {

struct Exchange {
    QString name;
    // (bytes crossed before the cut, result): a cut at k gives the result of
    // the first phase whose limit is above k; past all of them the result is 0.
    std::vector<std::pair<long, int>> phases;
    bool isRead = false;
    bool isWrite = false;
    int firstBlock = 0;
    int blockCount = 0;
};

std::vector<std::uint8_t> SmallFirmware()
{
    std::vector<std::uint8_t> img(202);
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = std::uint8_t(i * 11 + 3);
    img[0] = img[1] = 0x55;
    img[2] = SimDevice::kSelaTypeCode;
    img[3] = 47;
    return img;
}

std::vector<int> NewCells(int count)
{
    std::vector<int> cells(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        cells[std::size_t(i)] = (i * 7 + 1) & 0xFF;
    return cells;
}

const std::vector<Exchange> &Exchanges()
{
    static const std::vector<Exchange> all{
        {"init A0", {{8, 1}, {16, 2}}},
        {"init AA", {{8, 1}, {16, 2}}},
        {"break", {{8, 1}}},
        {"settings write", {{8, 1}, {268, 4}, {276, 2}}, false, true, 7, 1},
        {"settings read", {{8, 1}, {268, 2}}, true, false, 7, 1},
        {"registration write", {{8, 1}, {1804, 4}, {1812, 2}}, false, true, 0, 7},
        {"registration read", {{8, 1}, {1804, 2}}, true, false, 0, 7},
        {"firmware", {{202, 1}, {210, 3}}},
    };
    return all;
}

int Expected(const Exchange &e, long k)
{
    for (const auto &[limit, result] : e.phases) {
        if (k < limit)
            return result;
    }
    return 0;
}

long BytesCrossed(const RecordingTransport &wire)
{
    long n = 0;
    for (const WireEvent &ev : wire.Log()) {
        if (ev.kind != WireEvent::Flush && ev.kind != WireEvent::Pause && ev.kind != WireEvent::Events && ev.ok)
            n += long(ev.bytes.size());
    }
    return n;
}

struct Outcome {
    int result = -1;
    QString problem; // empty when the side effects fit the result
};

// Runs one exchange against the device and checks what it left behind.
Outcome Run(const Exchange &e, SimDevice &device, RecordingTransport &wire)
{
    RecordingProgress progress;
    MessageCatalogue catalogue;
    LoadMessageCatalogue(catalogue, QStringLiteral("RU"), QStringLiteral("/x/prog"));
    LinkContext ctx{wire, wire, progress, catalogue};
    const auto memoryBefore = device.Memory();
    const std::uint8_t versionBefore = device.VersionByte();
    Outcome out;

    if (e.name.startsWith(QLatin1String("init"))) {
        DeviceInfo info{1, 9, 9};
        out.result = InitLink(ctx, e.name.endsWith(QLatin1String("A0")) ? kInitMainPage : kInitOtherPages, info);
        const bool filled = info.deviceClass == DeviceClassOfVersion(versionBefore) && info.versionByte == versionBefore;
        const bool untouched = info.deviceClass == 1 && info.versionByte == 9 && info.versionNumber == 9;
        if (out.result == 0 ? !filled : !untouched)
            out.problem = QStringLiteral("device info");
    } else if (e.name == QLatin1String("break")) {
        out.result = BreakLink(ctx) ? 0 : 1;
    } else if (e.isRead) {
        const int n = e.blockCount * kBlockSize;
        std::vector<int> cells(std::size_t(n), -5);
        out.result = ReadDeviceBlocks(ctx, e.blockCount, e.firstBlock, cells);
        std::vector<int> expected(std::size_t(n), -5);
        if (out.result == 0) {
            for (int i = 0; i < n; ++i)
                expected[std::size_t(i)] = memoryBefore[std::size_t(e.firstBlock * kBlockSize + i)];
        }
        if (cells != expected)
            out.problem = QStringLiteral("cells");
    } else if (e.isWrite) {
        const std::vector<int> cells = NewCells(e.blockCount * kBlockSize);
        out.result = WriteDeviceBlocks(ctx, e.blockCount, e.firstBlock, cells);
        bool written = true;
        for (std::size_t i = 0; i < cells.size(); ++i)
            written = written && device.Memory()[std::size_t(e.firstBlock * kBlockSize) + i] == cells[i];
        if ((out.result == 0 && !written) || ((out.result == 1 || out.result == 4) && device.Memory() != memoryBefore))
            out.problem = QStringLiteral("device memory");
    } else {
        out.result = WriteFirmware(ctx, SmallFirmware());
        const bool accepted = device.VersionByte() == 47 && device.AcceptedFirmwareLengths() == std::vector<int>{202};
        if (out.result == 0 && !accepted)
            out.problem = QStringLiteral("firmware not taken");
        if (out.result == 1 && device.VersionByte() != versionBefore)
            out.problem = QStringLiteral("partial firmware taken");
    }
    return out;
}

} // namespace

class TestLinkCut : public QObject {
    Q_OBJECT
private slots:
    void cutAtEveryByte_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(Exchanges().size()); ++i)
            QTest::newRow(qPrintable(Exchanges()[std::size_t(i)].name)) << i;
    }
    void cutAtEveryByte()
    {
        QFETCH(int, index);
        const Exchange &e = Exchanges()[std::size_t(index)];

        SimDevice whole;
        RecordingTransport wholeWire(&whole);
        QCOMPARE(Run(e, whole, wholeWire).result, 0);
        const long total = BytesCrossed(wholeWire);
        QCOMPARE(total, e.phases.back().first);

        for (long k = 0; k <= total; ++k) {
            SimDevice device;
            device.Faults().dropAfterBytes = k;
            RecordingTransport wire(&device);
            const Outcome out = Run(e, device, wire);
            const QString where = QStringLiteral("%1, cut after %2 bytes").arg(e.name).arg(k);
            QVERIFY2(out.result == Expected(e, k),
                     qPrintable(where + QStringLiteral(": result %1").arg(out.result)));
            QVERIFY2(out.problem.isEmpty(), qPrintable(where + QStringLiteral(": ") + out.problem));
            QCOMPARE(device.LinkDropped(), k < total);
        }
    }

    void faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QList<int>>("results"); // in the order of Exchanges()
        //                                       A0 AA brk sw sr rw rr fw
        QTest::newRow("none") << 0 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("noAnswer") << 1 << QList<int>{2, 2, 0, 2, 2, 2, 2, 3};
        QTest::newRow("badHeader") << 2 << QList<int>{3, 3, 0, 0, 3, 0, 3, 0};
        QTest::newRow("badCrc") << 3 << QList<int>{4, 4, 0, 0, 4, 0, 4, 0};
        QTest::newRow("refuseWrite") << 4 << QList<int>{0, 0, 0, 3, 0, 3, 0, 0};
        QTest::newRow("refuseFirmware") << 5 << QList<int>{0, 0, 0, 0, 0, 0, 0, 2};
        // Settings block ends in 0, which the short packet leaves in place;
        // the registration memory ends in its configuration code.
        QTest::newRow("shortPacket") << 6 << QList<int>{0, 0, 0, 0, 0, 0, 4, 0};
    }
    void faults()
    {
        QFETCH(int, fault);
        QFETCH(QList<int>, results);
        for (std::size_t i = 0; i < Exchanges().size(); ++i) {
            const Exchange &e = Exchanges()[i];
            SimDevice device;
            SimFaults &f = device.Faults();
            f.noAnswer = fault == 1;
            f.badHeader = fault == 2;
            f.badCrc = fault == 3;
            f.refuseWrite = fault == 4;
            f.refuseFirmware = fault == 5;
            f.shortPacket = fault == 6;
            RecordingTransport wire(&device);
            const std::uint8_t versionBefore = device.VersionByte();
            const Outcome out = Run(e, device, wire);
            QVERIFY2(out.result == results[int(i)], qPrintable(e.name + QStringLiteral(": %1").arg(out.result)));
            QVERIFY2(out.problem.isEmpty(), qPrintable(e.name + QStringLiteral(": ") + out.problem));
            if (e.isWrite && out.result == 3)
                QVERIFY(device.Memory() == SimDevice::DefaultMemory());
            if (e.name == QLatin1String("firmware") && out.result == 2)
                QCOMPARE(device.VersionByte(), versionBefore);
        }
    }
};

QTEST_GUILESS_MAIN(TestLinkCut)
#include "tst_linkcut.moc"
