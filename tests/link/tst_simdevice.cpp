// The simulated receiver: round trips through the program's exchanges, its
// firmware rule, its state file and how it survives junk on the line.
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/simdevice.h"
#include "support/recording.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;
using rpu::test::RecordingProgress;
using rpu::test::RecordingTransport;

namespace {

struct Session {
    explicit Session(SimDevice &device) : wire(&device)
    {
        LoadMessageCatalogue(catalogue, QStringLiteral("RU"), QStringLiteral("/x/prog"));
    }
    RecordingTransport wire;
    RecordingProgress progress;
    MessageCatalogue catalogue;
    LinkContext ctx{wire, wire, progress, catalogue};
};

std::vector<std::uint8_t> Firmware(int packets, std::uint8_t type, std::uint8_t version)
{
    std::vector<std::uint8_t> img(std::size_t(10 + 64 * packets), 0x3C);
    img[0] = img[1] = 0x55;
    img[2] = type;
    img[3] = version;
    return img;
}

std::vector<std::uint8_t> Drain(SimDevice &d)
{
    d.Idle();
    std::vector<std::uint8_t> out(std::size_t(d.Pending()) + 4);
    out.resize(std::size_t(d.Take(out)));
    return out;
}

void Feed(SimDevice &d, std::initializer_list<std::uint8_t> bytes)
{
    d.Receive(std::vector<std::uint8_t>(bytes));
}

void Feed(SimDevice &d, const DeviceFrame &f) { d.Receive(f); }

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    void defaultMemory()
    {
        const auto m = SimDevice::DefaultMemory();
        const std::uint8_t *s = m.data() + 7 * 256;
        const std::vector<std::uint8_t> factory(s, s + 45);
        const std::vector<std::uint8_t> expected{5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 0, 0, 0, 0, 0, 7, 0,
                                                 3, 0, 0, 0, 3, 3, 0, 0, 0, 4, 0, 255, 0, 0, 255, 0, 0, 255, 0, 7, 7, 4};
        QVERIFY(factory == expected);
        QVERIFY(std::all_of(s + 45, s + 256, [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(int(m[1791]), 17);
        QVERIFY(std::count_if(m.begin(), m.begin() + 1791, [](std::uint8_t b) { return b != 0; }) > 10);
    }

    void roundTripsThroughTheProgram()
    {
        SimDevice device;
        QStringList log;
        device.SetLogger([&](const QString &line) { log << line; });
        Session s(device);
        DeviceInfo info;
        QVERIFY(BreakLink(s.ctx));
        QCOMPARE(InitLink(s.ctx, kInitMainPage, info), 0);
        QCOMPARE(info.deviceClass, 2);

        std::vector<int> settings(256), registration(1792);
        for (int i = 0; i < 256; ++i)
            settings[std::size_t(i)] = 255 - i;
        for (int i = 0; i < 1792; ++i)
            registration[std::size_t(i)] = (i * 5) & 0xFF;
        QCOMPARE(WriteDeviceBlocks(s.ctx, 1, 7, settings), 0);
        QCOMPARE(WriteDeviceBlocks(s.ctx, 7, 0, registration), 0);
        std::vector<int> back(256), regBack(1792);
        QCOMPARE(ReadDeviceBlocks(s.ctx, 1, 7, back), 0);
        QCOMPARE(ReadDeviceBlocks(s.ctx, 7, 0, regBack), 0);
        QCOMPARE(back, settings);
        QCOMPARE(regBack, registration);

        QCOMPARE(WriteFirmware(s.ctx, Firmware(3, 0x12, 47)), 0);
        QCOMPARE(InitLink(s.ctx, kInitOtherPages, info), 0);
        QCOMPARE(int(info.versionByte), 47);
        QCOMPARE(log, (QStringList{"break", "init A0 -> version 46", "write blocks 7x1 accepted",
                                   "write blocks 0x7 accepted", "read blocks 7x1", "read blocks 0x7",
                                   "firmware 202 bytes accepted, version 47", "init AA -> version 47"}));
    }

    void firmwareRule()
    {
        SimDevice device;
        Session s(device);
        // Eight packets: the pause after the fourth must not end the image.
        QCOMPARE(WriteFirmware(s.ctx, Firmware(8, 0x12, 52)), 0);
        QCOMPARE(int(device.VersionByte()), 52);
        QCOMPARE(device.AcceptedFirmwareLengths(), std::vector<int>{522});

        QCOMPARE(WriteFirmware(s.ctx, Firmware(3, 0x13, 60)), 2);
        QCOMPARE(int(device.VersionByte()), 52);
        QCOMPARE(device.AcceptedFirmwareLengths(), std::vector<int>{522});

        // An image that never reaches a whole length gets no verdict. (From
        // 10 bytes on, what goes on the wire always has a whole length: a
        // partial last packet is never sent.)
        std::vector<std::uint8_t> tiny = Firmware(0, 0x12, 60);
        tiny.resize(7); // goes out as 9 bytes
        QCOMPARE(WriteFirmware(s.ctx, tiny), 3);
        QCOMPARE(int(device.VersionByte()), 52);
        QVERIFY(BreakLink(s.ctx)); // its flush drops the half image
        std::vector<std::uint8_t> cut = Firmware(1, 0x12, 61);
        cut.resize(cut.size() + 5);
        QCOMPARE(WriteFirmware(s.ctx, cut), 0);
        QCOMPARE(device.AcceptedFirmwareLengths().back(), 74);
    }

    void writeWithBadDataIsRefused()
    {
        SimDevice device;
        Feed(device, MakeDeviceFrame(kCmdWriteBlocks, 1, 7));
        std::vector<std::uint8_t> data(260, 0x11);
        data[0] = data[1] = 0xAA; // CRC bytes left wrong
        device.Receive(data);
        const std::vector<std::uint8_t> ack = Drain(device);
        QCOMPARE(ack.size(), std::size_t(8));
        QCOMPARE(int(ack[3]), 1);
        QCOMPARE(Crc16(std::span(ack.data(), 6)), std::uint16_t(ack[6] | ack[7] << 8));
        QVERIFY(device.Memory() == SimDevice::DefaultMemory());
    }

    void junkOnTheLine()
    {
        const DeviceFrame init = MakeDeviceFrame(kInitOtherPages, 0xAA, 0);
        {   // Bytes before the header are skipped, even a stray 0x55.
            SimDevice d;
            Feed(d, {0x00, 0x13, 0x55, 0x55, 0x55});
            Feed(d, {init[2], init[3], init[4], init[5], init[6], init[7]});
            QCOMPARE(Drain(d).size(), std::size_t(8));
        }
        {   // A frame with a bad CRC gets no answer; one starting inside it does.
            SimDevice d;
            Feed(d, {0x55, 0x55, 0xA0});
            Feed(d, init);
            const std::vector<std::uint8_t> answer = Drain(d);
            QCOMPARE(answer.size(), std::size_t(8));
            QCOMPARE(int(answer[2]), int(kInitOtherPages));
            DeviceFrame bad = init;
            bad[6] ^= 1;
            Feed(d, bad);
            QVERIFY(Drain(d).empty());
        }
        {   // Half an image, then the program flushes and starts over.
            SimDevice d;
            const std::vector<std::uint8_t> img = Firmware(2, 0x12, 50);
            d.Receive(std::span(img.data(), 40));
            Feed(d, init);
            QVERIFY(Drain(d).empty());
            d.DiscardOutput();
            Feed(d, init);
            QCOMPARE(Drain(d).size(), std::size_t(8));
            QCOMPARE(int(d.VersionByte()), 46);
        }
    }

    void droppedLinkStaysDead()
    {
        SimDevice d;
        d.Faults().dropAfterBytes = 10;
        Feed(d, MakeDeviceFrame(kInitMainPage, 0xAA, 0));
        std::vector<std::uint8_t> out(8);
        QCOMPARE(d.Take(out), 2);
        QVERIFY(d.LinkDropped());
        QCOMPARE(d.Take(out), 0);
        Feed(d, MakeDeviceFrame(kInitMainPage, 0xAA, 0));
        QCOMPARE(d.Pending(), 0);
    }

    void stateFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sim.state"));
        SimDevice a(63);
        a.Memory()[5] = 0x77;
        a.Memory()[2047] = 0x99;
        QVERIFY(a.SaveState(path));

        SimDevice b;
        QVERIFY(b.LoadState(path));
        QCOMPARE(int(b.VersionByte()), 63);
        QVERIFY(b.Memory() == a.Memory());

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray good = f.readAll();
        f.close();
        auto rejected = [&](const QByteArray &content) {
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return false;
            out.write(content);
            out.close();
            SimDevice c;
            return !c.LoadState(path) && c.Memory() == SimDevice::DefaultMemory() && c.VersionByte() == 46;
        };
        QByteArray flipped = good;
        flipped[100] = char(flipped[100] ^ 0x40);
        QVERIFY(rejected(flipped));
        QVERIFY(rejected(good.left(good.size() - 1)));
        QVERIFY(rejected(good + '\0'));
        QVERIFY(rejected(QByteArray()));
        SimDevice missing;
        QVERIFY(!missing.LoadState(dir.filePath(QStringLiteral("none"))));
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
