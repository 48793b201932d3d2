// CRC, command frames, the handshake and the break.
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "support/recording.h"

#include <QtTest>

using namespace rpu;
using rpu::test::RecordingProgress;
using rpu::test::RecordingTransport;

namespace {

QString Bytes(const DeviceFrame &f)
{
    QStringList parts;
    for (std::uint8_t b : f)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

// An answer frame 55 55 A0 v 00 00 with its CRC, optionally spoiled.
std::vector<std::uint8_t> Answer(std::uint8_t v)
{
    const DeviceFrame f = MakeDeviceFrame(0xA0, v, 0);
    return {f.begin(), f.end()};
}

struct Link {
    RecordingTransport wire;
    RecordingProgress progress;
    MessageCatalogue catalogue;
    LinkContext ctx{wire, wire, progress, catalogue};
    Link() { LoadMessageCatalogue(catalogue, QStringLiteral("RU"), QStringLiteral("/x/prog")); }
};

} // namespace

class TestCrcFrames : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue()
    {
        const QByteArray digits("123456789");
        QCOMPARE(Crc16(std::span(reinterpret_cast<const std::uint8_t *>(digits.constData()), 9)),
                 std::uint16_t(0xBB3D));
        std::uint16_t reg = 0;
        for (char c : digits)
            Crc16Update(reg, std::uint8_t(c));
        QCOMPARE(reg, std::uint16_t(0xBB3D));
    }

    void framesAsSent()
    {
        QCOMPARE(Bytes(MakeDeviceFrame(0xA0, 0xAA, 0)), QStringLiteral("55 55 A0 AA 00 00 02 29"));
        QCOMPARE(Bytes(MakeDeviceFrame(0xAA, 0xAA, 0)), QStringLiteral("55 55 AA AA 00 00 01 F1"));
        QCOMPARE(Bytes(MakeDeviceFrame(0xA0, 0x00, 0)), QStringLiteral("55 55 A0 00 00 00 22 09"));
        QCOMPARE(Bytes(MakeDeviceFrame(0x94, 7, 0)), QStringLiteral("55 55 94 07 00 00 9D F8"));
        QCOMPARE(Bytes(MakeDeviceFrame(0x94, 1, 7)), QStringLiteral("55 55 94 01 07 00 7F C9"));
        QCOMPARE(Bytes(MakeDeviceFrame(0x93, 7, 0)), QStringLiteral("55 55 93 07 00 00 9C 8C"));
        QCOMPARE(Bytes(MakeDeviceFrame(0x93, 1, 7)), QStringLiteral("55 55 93 01 07 00 7E BD"));
    }

    void initLinkWireAndFlushOrder()
    {
        Link l;
        l.wire.Reply(Answer(0x2E));
        DeviceInfo info;
        QCOMPARE(InitLink(l.ctx, 0xA0, info), 0);
        const QStringList expected{"F w", "F r", "W 55", "W 55", "W A0", "W AA", "W 00", "W 00", "W 02",
                                   "W 29", "F w", "R 55", "R 55", "R A0", "R 2E", "R 00", "R 00",
                                   QStringLiteral("R %1").arg(Answer(0x2E)[6], 2, 16, QLatin1Char('0')).toUpper(),
                                   QStringLiteral("R %1").arg(Answer(0x2E)[7], 2, 16, QLatin1Char('0')).toUpper(),
                                   "F r", "F w"};
        QCOMPARE(l.wire.Trace(), expected);
        QCOMPARE(info.deviceClass, 2);
        QCOMPARE(int(info.versionByte), 46);
        QCOMPARE(info.versionNumber, 46);
    }

    void breakLinkWire()
    {
        Link l;
        QVERIFY(BreakLink(l.ctx));
        const QStringList expected{"F w", "F r", "W 55", "W 55", "W A0", "W 00",
                                   "W 00", "W 00", "W 22", "W 09", "F w"};
        QCOMPARE(l.wire.Trace(), expected);

        Link failing;
        failing.wire.failWritesFrom = 3;
        QVERIFY(!BreakLink(failing.ctx));
        QCOMPARE(failing.wire.Trace().last(), QStringLiteral("F w"));
        QCOMPARE(failing.wire.WriteCalls(), 4);
    }

    void classAndVersion_data()
    {
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("cls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("type");
        QTest::newRow("0x68") << 0x68 << 0 << "10_4" << "Радиоприемное устройство (РПУ/РТР)";
        QTest::newRow("0x27") << 0x27 << 1 << "3_9" << "Модуль реле и оповещения (МРО)";
        QTest::newRow("0x28") << 0x28 << 2 << "4_0" << "РПУ-SELA";
        QTest::newRow("0x63") << 0x63 << 2 << "9_9" << "РПУ-SELA";
        QTest::newRow("0x64") << 0x64 << 0 << "10_0" << "Радиоприемное устройство (РПУ/РТР)";
        QTest::newRow("5") << 5 << 1 << "0_5" << "Модуль реле и оповещения (МРО)";
        QTest::newRow("255") << 255 << 0 << "25_5" << "Радиоприемное устройство (РПУ/РТР)";
    }
    void classAndVersion()
    {
        QFETCH(int, v);
        QFETCH(int, cls);
        Link l;
        l.wire.Reply(Answer(std::uint8_t(v)));
        DeviceInfo info;
        QCOMPARE(InitLink(l.ctx, 0xAA, info), 0);
        QCOMPARE(info.deviceClass, cls);
        QCOMPARE(int(info.versionByte), v);
        QTEST(FormatDeviceVersion(info.versionByte), "text");
        QTEST(l.catalogue.Text(DeviceTypeMessage(info.deviceClass)), "type");
    }

    void failedHandshakes_data()
    {
        QTest::addColumn<std::vector<std::uint8_t>>("reply");
        QTest::addColumn<int>("failWrite");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("reads");
        std::vector<std::uint8_t> badHeader{0x55, 0x54, 0xA0, 0x68, 0, 0};
        const std::uint16_t crc = Crc16(badHeader);
        badHeader.push_back(std::uint8_t(crc & 0xFF));
        badHeader.push_back(std::uint8_t(crc >> 8));
        std::vector<std::uint8_t> badCrc = Answer(0x68);
        badCrc[7] ^= 1;
        std::vector<std::uint8_t> five = Answer(0x68);
        five.resize(5);
        QTest::newRow("frame not sent") << Answer(0x68) << 5 << 1 << 0;
        QTest::newRow("header 55 54 with right CRC") << badHeader << -1 << 3 << 8;
        QTest::newRow("wrong byte 7") << badCrc << -1 << 4 << 8;
        QTest::newRow("only 5 bytes") << five << -1 << 2 << 6;
        QTest::newRow("silence") << std::vector<std::uint8_t>{} << -1 << 2 << 1;
    }
    void failedHandshakes()
    {
        QFETCH(std::vector<std::uint8_t>, reply);
        QFETCH(int, failWrite);
        Link l;
        l.wire.Reply(reply);
        l.wire.failWritesFrom = failWrite;
        DeviceInfo info{1, 7, 7};
        QTEST(InitLink(l.ctx, 0xA0, info), "result");
        QTEST(l.wire.ReadCalls(), "reads");
        QCOMPARE(info.deviceClass, 1);
        QCOMPARE(int(info.versionByte), 7);
        QCOMPARE(info.versionNumber, 7);
    }
};

QTEST_GUILESS_MAIN(TestCrcFrames)
#include "tst_crc_frames.moc"
