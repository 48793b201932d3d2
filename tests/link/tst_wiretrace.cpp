// Wire traces: the capture file a traced pipe writes, read back block by
// block and record by record, as Wireshark and umockdev read it.

#include "link/devicelink.h"
#include "link/linkconfig.h"
#include "link/simbackend.h"
#include "link/usblink.h"
#include "link/wirereplay.h"
#include "link/wiretrace.h"
#include "i18n/messagecatalogue.h"
#include "support/recording.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QDir>
#include <QTest>

#include <cerrno>
#include <deque>

using namespace rpu;

namespace {

// The records of a capture, through the reader rpu-sim uses; tshark and
// umockdev read the same files in tests/replay-captures.
std::vector<WireRecord> Records(const QString &path)
{
    QString error;
    const auto records = ReadWireTrace(path, &error);
    if (!records) {
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return {};
    }
    return *records;
}

// A pipe that does what it is told: each read delivers the next scripted count.
class ScriptedPipe final : public Pipe {
public:
    std::deque<int> reads;     // bytes delivered, 0 nothing, -1 failure
    bool writeOk = true;
    int flushes = 0;
    bool Write(std::span<const std::uint8_t>) override { return writeOk; }
    int Read(std::span<std::uint8_t> buffer) override
    {
        const int n = reads.empty() ? 0 : reads.front();
        if (!reads.empty())
            reads.pop_front();
        for (int i = 0; i < n; ++i)
            buffer[std::size_t(i)] = std::uint8_t(0xA0 + i);
        return n;
    }
    void Flush() override { ++flushes; }
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

class TestWireTrace : public QObject {
    Q_OBJECT

private slots:
    // Each pipe call becomes one URB, submit then complete, as usbmon shows it.
    void pipeCallsBecomeUrbs_data()
    {
        QTest::addColumn<QString>("call");       // "w" write 2 bytes, "r1"/"r64" read of that size
        QTest::addColumn<bool>("writeOk");
        QTest::addColumn<int>("delivered");      // what the inner read returns
        QTest::addColumn<int>("endpoint");
        QTest::addColumn<int>("submitLength");
        QTest::addColumn<QByteArray>("submitData");
        QTest::addColumn<int>("completeStatus");
        QTest::addColumn<int>("completeLength");
        QTest::addColumn<QByteArray>("completeData");

        QTest::newRow("write") << "w" << true << 0 << 0x02 << 2 << Bytes({0x55, 0xAA}) << 0 << 2 << QByteArray();
        QTest::newRow("write fails") << "w" << false << 0 << 0x02 << 2 << Bytes({0x55, 0xAA}) << -EPIPE << 0 << QByteArray();
        QTest::newRow("byte read") << "r1" << true << 1 << 0x86 << 64 << QByteArray() << 0 << 1 << Bytes({0xA0});
        QTest::newRow("short packet") << "r64" << true << 3 << 0x86 << 64 << QByteArray() << 0 << 3 << Bytes({0xA0, 0xA1, 0xA2});
        QTest::newRow("nothing came") << "r1" << true << 0 << 0x86 << 64 << QByteArray() << -ENOENT << 0 << QByteArray();
        QTest::newRow("read fails") << "r64" << true << -1 << 0x86 << 64 << QByteArray() << -EPIPE << 0 << QByteArray();
    }
    void pipeCallsBecomeUrbs()
    {
        QFETCH(QString, call);
        QFETCH(bool, writeOk);
        QFETCH(int, delivered);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.pcapng"));
        QString error;
        auto trace = WireTrace::Create(path, &error);
        QVERIFY2(trace, qPrintable(error));

        auto inner = std::make_unique<ScriptedPipe>();
        ScriptedPipe &script = *inner;
        script.writeOk = writeOk;
        script.reads = {delivered};
        auto pipe = TracePipe(std::move(inner), trace);
        if (call == QLatin1String("w")) {
            const std::uint8_t bytes[] = {0x55, 0xAA};
            QCOMPARE(pipe->Write(bytes), writeOk);
        } else {
            std::vector<std::uint8_t> buffer(call == QLatin1String("r1") ? 1 : 64, 0x11);
            QCOMPARE(pipe->Read(buffer), delivered); // the caller sees what the pipe did
            if (delivered > 0)
                QCOMPARE(buffer[0], std::uint8_t(0xA0));
        }
        pipe->Flush();
        QCOMPARE(script.flushes, 1);

        QFETCH(int, endpoint);
        const std::vector<WireRecord> records = Records(path);
        QCOMPARE(records.size(), std::size_t(2)); // the flush left no record
        const WireRecord &s = records[0];
        const WireRecord &c = records[1];
        QCOMPARE(s.event, 'S');
        QCOMPARE(c.event, 'C');
        QCOMPARE(s.id, c.id);
        for (const WireRecord &u : records) {
            QCOMPARE(u.type, std::uint8_t(3)); // bulk
            QCOMPARE(u.bus, std::uint16_t(1));
            QCOMPARE(u.device, std::uint8_t(2));
            QCOMPARE(int(u.endpoint), endpoint);
        }
        QCOMPARE(s.status, -EINPROGRESS);
        QTEST(int(s.urbLength), "submitLength");
        QTEST(s.data, "submitData");
        QTEST(int(c.status), "completeStatus");
        QTEST(int(c.urbLength), "completeLength");
        QTEST(c.data, "completeData");
        QVERIFY(s.micros <= c.micros);
        QVERIFY(std::abs(s.micros - WireTrace::Now()) < 60'000'000); // real time, not from zero
    }

    // A crash must keep what was captured: each record is on disk as it is written.
    void everyRecordIsFlushed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.pcapng"));
        auto trace = WireTrace::Create(path, nullptr);
        QVERIFY(trace);
        auto pipe = TracePipe(std::make_unique<ScriptedPipe>(), trace);
        qint64 size = QFileInfo(path).size();
        QVERIFY(size > 0);
        for (int i = 0; i < 3; ++i) {
            const std::uint8_t byte = std::uint8_t(i);
            pipe->Write(std::span<const std::uint8_t>(&byte, 1));
            const qint64 now = QFileInfo(path).size();
            QVERIFY2(now > size, "a record stayed in a buffer");
            size = now;
        }
        const auto records = Records(path);
        QCOMPARE(records.size(), std::size_t(6));
        // Ids tell the transfers apart.
        QVERIFY(records[0].id != records[2].id && records[2].id != records[4].id);
    }

    void unwritablePathIsReported()
    {
        QTemporaryDir dir;
        QString error;
        const QString path = dir.filePath(QStringLiteral("missing/t.pcapng"));
        QVERIFY(!WireTrace::Create(path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected");
        QTest::newRow("suffix") << "t.pcapng" << 2 << "t-2.pcapng";
        QTest::newRow("folder") << "/tmp/x/cap.pcap" << 1 << "/tmp/x/cap-1.pcap";
        QTest::newRow("two dots") << "/tmp/run.1.pcapng" << 3 << "/tmp/run.1-3.pcapng";
        QTest::newRow("no suffix") << "/tmp/trace" << 4 << "/tmp/trace-4";
    }
    void fileNames()
    {
        QFETCH(QString, path);
        QFETCH(int, index);
        QTEST(QDir::cleanPath(NumberedTraceFileName(path, index)), "expected");
    }

    void sessionNamesNeverOverwrite()
    {
        QTemporaryDir dir;
        const QRegularExpression pattern(QStringLiteral("^rpu-\\d{8}-\\d{6}(-\\d+)?\\.pcapng$"));
        QStringList names;
        for (int i = 0; i < 3; ++i) {
            const QString path = NewTraceFileName(dir.path());
            QVERIFY(!QFileInfo::exists(path));
            QVERIFY2(pattern.match(QFileInfo(path).fileName()).hasMatch(), qPrintable(path));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            names << QFileInfo(path).fileName();
        }
        names.removeDuplicates();
        QCOMPARE(names.size(), 3);
    }

    // What the program wrote comes back from the file as it went out.
    void writtenTraceReadsBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.pcapng"));
        {
            auto trace = WireTrace::Create(path, nullptr);
            const std::uint8_t frame[] = {0x55, 0x55, 0x93};
            trace->Out(frame, 0, 1, 2);
            trace->In(64, std::span<const std::uint8_t>(frame, 2), 0, 3, 4);
        }
        QString error;
        const auto records = ReadWireTrace(path, &error);
        QVERIFY2(records, qPrintable(error));
        QCOMPARE(records->size(), std::size_t(4));
        QCOMPARE((*records)[0].event, 'S');
        QCOMPARE((*records)[0].data, Bytes({0x55, 0x55, 0x93}));
        QCOMPARE((*records)[3].endpoint, std::uint8_t(0x86));
        QCOMPARE((*records)[3].data, Bytes({0x55, 0x55}));
    }

    // Captures taken with tcpdump or older Wireshark are classic pcap.
    void classicPcapIsRead()
    {
        QByteArray usbmon(64, '\0');
        usbmon[0] = 7;              // id
        usbmon[8] = 'C';
        usbmon[9] = 3;              // bulk
        usbmon[10] = char(0x86);
        usbmon[11] = 5;             // device
        usbmon[12] = 2;             // bus
        usbmon[32] = 1;             // urb length
        usbmon[36] = 1;             // captured
        usbmon.append(char(0xAA));
        QByteArray file = Bytes({0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 220, 0, 0, 0});
        file += Bytes({0, 0, 0, 0, 0, 0, 0, 0, 65, 0, 0, 0, 65, 0, 0, 0}) + usbmon;
        QTemporaryDir dir;
        QFile out(dir.filePath(QStringLiteral("old.pcap")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
        out.close();
        const auto records = Records(out.fileName());
        QCOMPARE(records.size(), std::size_t(1));
        QCOMPARE(records[0].id, std::uint64_t(7));
        QCOMPARE(records[0].bus, std::uint16_t(2));
        QCOMPARE(records[0].device, std::uint8_t(5));
        QCOMPARE(records[0].data, Bytes({0xAA}));
    }

    void foreignFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a capture at all");
        // Classic pcap of Ethernet (link type 1).
        QTest::newRow("ethernet pcap") << Bytes({0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                 0xFF, 0xFF, 0, 0, 1, 0, 0, 0});
        // A pcapng block whose length runs past the end of the file.
        QTest::newRow("cut pcapng") << Bytes({0x0A, 0x0D, 0x0D, 0x0A, 0x00, 0x01, 0, 0, 0x4D, 0x3C, 0x2B, 0x1A});
    }
    void foreignFilesAreRefused()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("x.pcap")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QString error;
        QVERIFY(!ReadWireTrace(file.fileName(), &error));
        QVERIFY2(error.contains(QStringLiteral("x.pcap")), qPrintable(error));
    }

    // Played back over a byte stream: answers only once everything recorded
    // before them arrived, however the program splits its writes; a wrong
    // byte stops the replay for good.
    void replayServesAnswersInOrder_data()
    {
        QTest::addColumn<QStringList>("writes");   // hex bytes per write, in order
        QTest::addColumn<QStringList>("answers");  // hex bytes available after each write
        QTest::addColumn<bool>("stuck");
        QTest::addColumn<bool>("finished");
        QTest::newRow("byte by byte") << QStringList{"55", "55", "a0", "aa"} << QStringList{"", "", "", "0102"} << false << false;
        QTest::newRow("all at once") << QStringList{"5555a0aa"} << QStringList{"0102"} << false << false;
        QTest::newRow("to the end") << QStringList{"5555a0aa", "ff"} << QStringList{"0102", "03"} << false << true;
        QTest::newRow("wrong byte") << QStringList{"5555a1aa", "ff"} << QStringList{"", ""} << true << false;
        QTest::newRow("past the end") << QStringList{"5555a0aaff", "00"} << QStringList{"010203", ""} << true << true;
    }
    void replayServesAnswersInOrder()
    {
        QFETCH(QStringList, writes);
        QFETCH(QStringList, answers);
        auto record = [](char event, int endpoint, QByteArray data, int bus = 1) {
            WireRecord r;
            r.event = event;
            r.type = 3;
            r.endpoint = std::uint8_t(endpoint);
            r.bus = std::uint16_t(bus);
            r.device = 2;
            r.data = std::move(data);
            return r;
        };
        const std::vector<WireRecord> records = {
            record('S', 0x02, Bytes({0x55, 0x55})), record('C', 0x02, {}),
            record('S', 0x02, Bytes({0xA0, 0xAA})), record('C', 0x02, {}),
            record('S', 0x02, Bytes({0x77}), 9),             // another device: left out
            record('S', 0x86, {}), record('C', 0x86, Bytes({0x01})),
            record('S', 0x86, {}), record('C', 0x86, {}),    // timed out: nothing to send
            record('S', 0x86, {}), record('C', 0x86, Bytes({0x02})),
            record('S', 0x02, Bytes({0xFF})), record('C', 0x02, {}),
            record('S', 0x86, {}), record('C', 0x86, Bytes({0x03})),
        };
        WireReplay replay(records);
        QCOMPARE(replay.OutBytes(), 5);
        QCOMPARE(replay.InBytes(), 3);
        for (int i = 0; i < writes.size(); ++i) {
            const QByteArray bytes = QByteArray::fromHex(writes[i].toLatin1());
            replay.Receive(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                                          std::size_t(bytes.size())));
            QCOMPARE(replay.TakeOutput().toHex(), answers[i].toLatin1());
        }
        QTEST(!replay.Mismatch().isEmpty(), "stuck");
        QTEST(replay.Finished(), "finished");
    }

    // The window's key: each connect records its own file, holding exactly
    // the bytes of the exchange.
    void windowLinkRecordsEachConnect()
    {
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("p.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Device]\nTransport=simulator\nTraceFolder=" + QFile::encodeName(dir.filePath(QStringLiteral("traces"))) + "\n");
        ini.close();
        const LinkConfig config = ReadLinkConfig(ini.fileName());
        QCOMPARE(config.traceFolder, dir.filePath(QStringLiteral("traces")));

        SimDevice device;
        UsbLink link(MakeDeviceBackend(config, &device));
        QStringList problems;
        link.SetTraceFolder(config.traceFolder, [&](const QString &path, const QString &why) { problems << path + why; });
        QVERIFY(link.OpenUsbDevice());
        test::RecordingTransport pacer;
        test::RecordingProgress progress;
        MessageCatalogue catalogue;
        LinkContext context{link, pacer, progress, catalogue};
        DeviceInfo info;
        QCOMPARE(InitLink(context, 0xA0, info), 0);
        QThread::msleep(1100); // the next session's name is a second later
        QVERIFY(link.OpenUsbDevice());
        QVERIFY(problems.isEmpty());

        const QStringList files = QDir(config.traceFolder).entryList({QStringLiteral("*.pcapng")}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 2);
        const auto first = Records(QDir(config.traceFolder).filePath(files[0]));
        QByteArray sent;
        QByteArray received;
        for (const WireRecord &u : first) {
            if (u.event == 'S' && u.endpoint == 0x02)
                sent += u.data;
            if (u.event == 'C' && u.endpoint == 0x86)
                received += u.data;
        }
        const DeviceFrame frame = MakeDeviceFrame(0xA0, 0xAA, 0);
        QCOMPARE(sent, QByteArray(reinterpret_cast<const char *>(frame.data()), 8));
        QCOMPARE(received.size(), 8);
        QCOMPARE(std::uint8_t(received[3]), device.VersionByte());
        QCOMPARE(Records(QDir(config.traceFolder).filePath(files[1])).size(), std::size_t(0));
    }

    // A trace folder that cannot be made is said once per connect, and the
    // link works untraced.
    void traceFailureLeavesTheLinkWorking()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SimDevice device;
        UsbLink link(std::make_unique<SimBackend>(device, 1));
        QStringList problems;
        link.SetTraceFolder(blocker.fileName() + QStringLiteral("/traces"),
                            [&](const QString &path, const QString &why) { problems << path << why; });
        QVERIFY(link.OpenUsbDevice());
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems[0].contains(QStringLiteral("traces")), qPrintable(problems[0]));
        QVERIFY(!problems[1].isEmpty());
        QVERIFY(link.WriteByte(0x55));
    }
};

QTEST_GUILESS_MAIN(TestWireTrace)
#include "tst_wiretrace.moc"
