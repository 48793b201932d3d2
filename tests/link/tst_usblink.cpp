// The link's device counting, pipe handling and transfer rules, over a fake
// backend that records what happens to every pipe.

#include "link/usblink.h"

#include <QTest>

#include <deque>
#include <memory>

using namespace rpu;

namespace {

struct FakeBus {
    int devices = 1;
    bool refuseWrite = false;
    bool refuseRead = false;
    int generation = 0;          // which Enumerate call made a pipe
    QStringList events;          // "open w 1.0", "flush r 1.0", "close w 1.0", "write 1.0 1"...
    std::deque<int> readResults; // bytes each read delivers (-1 failure); empty: 0
    std::uint8_t readFill = 0xA5;
};

QString Name(PipeKind k) { return k == PipeKind::Write ? QStringLiteral("w") : QStringLiteral("r"); }

class FakePipe final : public Pipe {
public:
    FakePipe(FakeBus &bus, PipeKind kind, QString id) : bus_(bus), kind_(kind), id_(std::move(id)) {}
    ~FakePipe() override { bus_.events << QStringLiteral("close %1 %2").arg(Name(kind_), id_); }
    bool Write(std::span<const std::uint8_t> bytes) override
    {
        bus_.events << QStringLiteral("write %1 %2").arg(id_).arg(bytes.size());
        return true;
    }
    int Read(std::span<std::uint8_t> buffer) override
    {
        bus_.events << QStringLiteral("read %1 %2").arg(id_).arg(buffer.size());
        int n = 0;
        if (!bus_.readResults.empty()) {
            n = bus_.readResults.front();
            bus_.readResults.pop_front();
        }
        for (int i = 0; i < n; ++i)
            buffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bus_.readFill + i);
        return n;
    }
    void Flush() override { bus_.events << QStringLiteral("flush %1 %2").arg(Name(kind_), id_); }

private:
    FakeBus &bus_;
    PipeKind kind_;
    QString id_;
};

class FakeInterface final : public DeviceInterface {
public:
    FakeInterface(FakeBus &bus, QString id) : bus_(bus), id_(std::move(id)) {}
    std::unique_ptr<Pipe> OpenPipe(PipeKind kind, QString *error) override
    {
        const bool refused = kind == PipeKind::Write ? bus_.refuseWrite : bus_.refuseRead;
        if (refused) {
            bus_.events << QStringLiteral("refuse %1 %2").arg(Name(kind), id_);
            *error = QStringLiteral("Access denied (%1)").arg(Name(kind));
            return nullptr;
        }
        bus_.events << QStringLiteral("open %1 %2").arg(Name(kind), id_);
        return std::make_unique<FakePipe>(bus_, kind, id_);
    }
    QString Identity() const override { return id_; }

private:
    FakeBus &bus_;
    QString id_;
};

class FakeBackend final : public DeviceBackend {
public:
    explicit FakeBackend(FakeBus &bus) : bus_(bus) {}
    std::vector<std::unique_ptr<DeviceInterface>> Enumerate() override
    {
        ++bus_.generation;
        std::vector<std::unique_ptr<DeviceInterface>> found;
        for (int i = 0; i < bus_.devices; ++i)
            found.push_back(std::make_unique<FakeInterface>(bus_, QStringLiteral("%1.%2").arg(bus_.generation).arg(i)));
        return found;
    }

private:
    FakeBus &bus_;
};

struct Box {
    QString title;
    QString text;
};

} // namespace

class TestUsbLink : public QObject {
    Q_OBJECT

    FakeBus bus;
    std::vector<Box> boxes;
    std::unique_ptr<UsbLink> link;

private slots:
    void init()
    {
        bus = FakeBus{};
        boxes.clear();
        link = std::make_unique<UsbLink>(std::make_unique<FakeBackend>(bus),
                                         [this](const QString &t, const QString &x) { boxes.push_back({t, x}); });
    }
    void cleanup() { link.reset(); }

    void startsWithoutPipes()
    {
        QVERIFY(!link->HasWritePipe());
        QVERIFY(!link->HasReadPipe());
        QCOMPARE(link->UsbDeviceCount(), 0);
        std::uint8_t b = 0;
        std::array<std::uint8_t, kPacketSize> packet{};
        QVERIFY(!link->WriteByte(1));
        QVERIFY(!link->WritePacket(packet));
        QVERIFY(!link->ReadByte(b));
        QVERIFY(!link->ReadPacket(packet));
        link->FlushPipe(PipeKind::Write);
        link->FlushPipe(PipeKind::Read);
        QVERIFY(bus.events.isEmpty());
    }

    void oneDeviceOpensWriteThenReadAndFlushesBoth()
    {
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 1);
        QVERIFY(link->HasWritePipe() && link->HasReadPipe());
        QCOMPARE(bus.events, (QStringList{"open w 1.0", "open r 1.0", "flush w 1.0", "flush r 1.0"}));
        QVERIFY(boxes.empty());
    }

    void noDeviceKeepsWhatThePipesHeld()
    {
        QVERIFY(link->OpenUsbDevice());
        bus.events.clear();
        bus.devices = 0;
        QVERIFY(!link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 0);
        // Nothing closed or opened, and the earlier pipes still carry data.
        QVERIFY(link->HasWritePipe() && link->HasReadPipe());
        QCOMPARE(bus.events, (QStringList{"flush w 1.0", "flush r 1.0"}));
        QVERIFY(link->WriteByte(0x55));
        QCOMPARE(bus.events.last(), QStringLiteral("write 1.0 1"));
    }

    void twoDevicesStoreNoPipeUntilOneIsUnplugged()
    {
        bus.devices = 2;
        QVERIFY(!link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 2);
        QVERIFY(!link->HasWritePipe());
        QVERIFY(!link->HasReadPipe());
        QVERIFY(!bus.events.filter("flush").size());
        // Every opened pipe was let go again.
        QCOMPARE(bus.events.filter("open").size(), 4);
        QCOMPARE(bus.events.filter("close").size(), 4);
        QVERIFY(!link->WriteByte(0x55));

        bus.devices = 1;
        bus.events.clear();
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 1);
        QCOMPARE(bus.events, (QStringList{"open w 2.0", "open r 2.0", "flush w 2.0", "flush r 2.0"}));
    }

    void reconnectLetsGoOfTheOldPipesFirst()
    {
        QVERIFY(link->OpenUsbDevice());
        bus.events.clear();
        // usbfs refuses a second claim of the interface while the old handle holds it.
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(bus.events, (QStringList{"close w 1.0", "close r 1.0", "open w 2.0", "open r 2.0",
                                          "flush w 2.0", "flush r 2.0"}));
        QVERIFY(link->WriteByte(1));
        QCOMPARE(bus.events.last(), QStringLiteral("write 2.0 1"));
    }

    void refusedPipeShowsOneBoxAndStillSucceeds_data()
    {
        QTest::addColumn<bool>("refuseWrite");
        QTest::addColumn<bool>("refuseRead");
        QTest::addColumn<QString>("text");
        QTest::newRow("write pipe") << true << false << "Access denied (w)";
        QTest::newRow("read pipe") << false << true << "Access denied (r)";
        QTest::newRow("both pipes") << true << true << "Access denied (r)";
    }
    void refusedPipeShowsOneBoxAndStillSucceeds()
    {
        QFETCH(bool, refuseWrite);
        QFETCH(bool, refuseRead);
        QFETCH(QString, text);
        bus.refuseWrite = refuseWrite;
        bus.refuseRead = refuseRead;
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 1);
        QCOMPARE(int(boxes.size()), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes[0].text, text);
        QCOMPARE(link->HasWritePipe(), !refuseWrite);
        QCOMPARE(link->HasReadPipe(), !refuseRead);
        // Both pipes were tried, and only a held one is flushed.
        QCOMPARE(bus.events.filter("refuse").size() + bus.events.filter("open").size(), 2);
        QCOMPARE(bus.events.filter("flush w").size(), refuseWrite ? 0 : 1);
        QCOMPARE(bus.events.filter("flush r").size(), refuseRead ? 0 : 1);
        // The first transfer on the missing pipe is what fails.
        std::uint8_t b = 0;
        QCOMPARE(link->WriteByte(7), !refuseWrite);
        bus.readResults = {1};
        QCOMPARE(link->ReadByte(b), !refuseRead);
    }

    void refusedPipesOfTwoDevicesGiveOneBoxEach()
    {
        bus.devices = 2;
        bus.refuseRead = true;
        QVERIFY(!link->OpenUsbDevice());
        QCOMPARE(int(boxes.size()), 2);
    }

    void closeClosesWriteThenRead()
    {
        QVERIFY(link->OpenUsbDevice());
        bus.events.clear();
        link->CloseUsbDevice();
        QCOMPARE(bus.events, (QStringList{"close w 1.0", "close r 1.0"}));
        QVERIFY(!link->HasWritePipe() && !link->HasReadPipe());
        link->CloseUsbDevice();
        QCOMPARE(bus.events.size(), 2);
    }

    void writesAreOneCallPerByteOrPacket()
    {
        QVERIFY(link->OpenUsbDevice());
        bus.events.clear();
        const std::uint8_t frame[8] = {0x55, 0x55, 0xA0, 0xAA, 0, 0, 0x02, 0x29};
        for (std::uint8_t b : frame)
            QVERIFY(link->WriteByte(b));
        std::array<std::uint8_t, kPacketSize> packet{};
        QVERIFY(link->WritePacket(packet));
        QStringList expected(8, QStringLiteral("write 1.0 1"));
        expected << QStringLiteral("write 1.0 64");
        QCOMPARE(bus.events, expected);
    }

    void readByteNeedsExactlyOneByte()
    {
        QVERIFY(link->OpenUsbDevice());
        bus.events.clear();
        std::uint8_t b = 0x11;
        bus.readResults = {0, -1, 1};
        QVERIFY(!link->ReadByte(b)); // success with nothing delivered is a failed read
        QCOMPARE(b, std::uint8_t(0x11));
        QVERIFY(!link->ReadByte(b));
        QVERIFY(link->ReadByte(b));
        QCOMPARE(b, bus.readFill);
        QCOMPARE(bus.events, (QStringList{"read 1.0 1", "read 1.0 1", "read 1.0 1"}));
    }

    void readPacketSucceedsOnAShortReadOnly()
    {
        QVERIFY(link->OpenUsbDevice());
        bus.events.clear();
        std::array<std::uint8_t, kPacketSize> packet;
        packet.fill(0xEE);
        bus.readResults = {10, 0, -1};
        QVERIFY(link->ReadPacket(packet));
        QCOMPARE(packet[9], std::uint8_t(bus.readFill + 9));
        QCOMPARE(packet[10], std::uint8_t(0xEE)); // what did not arrive is left alone
        QVERIFY(!link->ReadPacket(packet)); // nothing before the wait ran out: no answer
        QVERIFY(!link->ReadPacket(packet));
        QCOMPARE(bus.events, (QStringList{"read 1.0 64", "read 1.0 64", "read 1.0 64"}));
    }
};

QTEST_GUILESS_MAIN(TestUsbLink)
#include "tst_usblink.moc"
