// The libusb path end to end: LibusbBackend and UsbLink talk through libusb
// to receivers emulated in user space by umockdev (sysfs entries and a usbfs
// node whose ioctls answer the URBs libusb submits). Behind each emulated
// receiver is the same SimDevice the other backends use. Runs only under
// umockdev-wrapper; anywhere else it says why and is skipped.

// glib first: Qt's "signals" keyword would break its headers.
#ifndef RPU_NO_USB_EMULATION
#include <sys/ioctl.h> // before linux/usbdevice_fs.h, or its request macros do not compile
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cerrno>
#include <deque>
#include <map>
#include <mutex>
#endif

#include "cli/clicommands.h"
#include "files/registrationfile.h"
#include "files/textlines.h"
#include "firmware/firmwarefile.h"
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/libusbbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"
#include "support/recording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>


using namespace rpu;

#ifndef RPU_NO_USB_EMULATION
namespace {

constexpr int kTimeoutMs = 400;
const UsbId kReceiverIds{0x04b4, 0x8613};

// One URB libusb handed over, kept until it is reaped.
struct Urb {
    UMockdevIoctlClient *client = nullptr;
    UMockdevIoctlData *urb = nullptr;
    UMockdevIoctlData *buffer = nullptr;
    usbdevfs_urb *Get() const { return reinterpret_cast<usbdevfs_urb *>(urb->data); }
};

// A receiver on the emulated bus: bulk OUT 0x02 and bulk IN 0x86, 64-byte
// packets. Its ioctl handler runs on umockdev's thread; everything it shares
// with the test is guarded by `lock`.
class EmulatedReceiver {
public:
    EmulatedReceiver(UMockdevTestbed *testbed, int devnum, UsbId ids) : testbed_(testbed)
    {
        node_ = QStringLiteral("/dev/bus/usb/001/%1").arg(devnum, 3, 10, QLatin1Char('0')).toUtf8();
        sysPath_ = QStringLiteral("/sys/devices/usb1/1-%1").arg(devnum).toUtf8();
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
        g_signal_connect(handler_, "client-vanished", G_CALLBACK(OnVanished), this);
        if (!umockdev_testbed_attach_ioctl(testbed_, node_.constData(), handler_, nullptr))
            return;
        const QByteArray num = QByteArray::number(devnum);
        const QByteArray dev = QByteArray::number(devnum).rightJustified(3, '0');
        const QByteArray vendor = QByteArray::number(ids.first, 16).rightJustified(4, '0');
        const QByteArray product = QByteArray::number(ids.second, 16).rightJustified(4, '0');
        // Descriptors as the kernel exposes them: little-endian ids.
        const QByteArray ids16 = vendor.mid(2) + vendor.left(2) + product.mid(2) + product.left(2);
        const QByteArray description =
            "P: /devices/usb1/1-" + num + "\nN: bus/usb/001/" + dev
            + "\nE: SUBSYSTEM=usb\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" + dev
            + "\nE: DEVNAME=/dev/bus/usb/001/" + dev + "\nE: DEVTYPE=usb_device\n"
            + "A: bConfigurationValue=1\\n\nA: busnum=1\\n\nA: devnum=" + num + "\\n\nA: speed=12\\n\n"
            + "A: idVendor=" + vendor + "\\n\nA: idProduct=" + product + "\\n\n"
            + "H: descriptors=1201000200000040" + ids16 + "000101020301"
            + "0902200001010080320904000002ff0000000705020240000007058602400000\n";
        GError *error = nullptr;
        attached_ = umockdev_testbed_add_from_string(testbed_, description.constData(), &error);
        if (error) {
            qWarning("umockdev: %s", error->message);
            g_error_free(error);
        }
    }
    ~EmulatedReceiver()
    {
        if (!left_)
            umockdev_testbed_remove_device(testbed_, sysPath_.constData());
        umockdev_testbed_detach_ioctl(testbed_, node_.constData(), nullptr);
        g_object_unref(handler_);
        for (Urb &u : done_)
            Drop(u);
        for (Urb &u : waiting_)
            Drop(u);
    }
    bool Attached() const { return attached_; }

    // Gone from the bus, as after the cable is pulled: libusb hears the
    // kernel's "remove" and lists the receiver no more.
    void Leave()
    {
        umockdev_testbed_uevent(testbed_, sysPath_.constData(), "remove");
        umockdev_testbed_remove_device(testbed_, sysPath_.constData());
        left_ = true;
    }

    // Plugged in anew: a fresh device, no claim, no URBs.
    void Reset()
    {
        std::lock_guard<std::mutex> guard(lock);
        claimedBy_ = nullptr;
        for (auto *list : {&done_, &waiting_}) {
            for (Urb &u : *list)
                Drop(u);
            list->clear();
        }
        sim = SimDevice();
        singleBytes = false;
        answerBudget = -1;
        unplugAfter = -1;
        unplugged = false;
        outTransfers.clear();
        overflows = 0;
        refusedClaims = 0;
        outBytes_ = 0;
    }

    std::mutex lock;
    SimDevice sim;
    bool singleBytes = false; // answers go out one byte per packet
    long answerBudget = -1;   // answer bytes still to send before it falls silent; -1 no limit
    long unplugAfter = -1;    // OUT bytes it takes before it is unplugged; -1 never
    bool unplugged = false;
    std::vector<std::vector<std::uint8_t>> outTransfers; // every OUT URB's bytes
    int overflows = 0;      // IN URBs too short for the packet sent
    int refusedClaims = 0;  // claims refused because another handle held the interface

private:
    static gboolean OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        auto *r = static_cast<EmulatedReceiver *>(self);
        std::lock_guard<std::mutex> guard(r->lock);
        return r->Handle(client);
    }
    static void OnVanished(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
    {
        // Closing the usbfs node releases its claim and its URBs, as the kernel does.
        auto *r = static_cast<EmulatedReceiver *>(self);
        std::lock_guard<std::mutex> guard(r->lock);
        if (r->claimedBy_ == client)
            r->claimedBy_ = nullptr;
        for (auto *list : {&r->done_, &r->waiting_}) {
            for (auto it = list->begin(); it != list->end();) {
                if (it->client == client) {
                    Drop(*it);
                    it = list->erase(it);
                } else {
                    ++it;
                }
            }
        }
    }
    static void Drop(Urb &u)
    {
        umockdev_ioctl_data_unref(u.buffer);
        umockdev_ioctl_data_unref(u.urb);
    }
    static void Complete(UMockdevIoctlClient *client, int error)
    {
        umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    }

    gboolean Handle(UMockdevIoctlClient *client)
    {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        // Unplugged: URBs already handed over can still be reaped (their
        // status says the device is gone); everything else fails.
        const bool reaping = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY
                             || request == USBDEVFS_DISCARDURB;
        if (unplugged && !reaping) {
            Complete(client, ENODEV);
            return TRUE;
        }
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            *reinterpret_cast<guint32 *>(d->data) = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM
                                                    | USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            umockdev_ioctl_data_unref(d);
            Complete(client, 0);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER:
            Complete(client, ENODATA); // no kernel driver bound
            return TRUE;
        case USBDEVFS_IOCTL:       // libusb detaching a kernel driver: there is none
            Complete(client, ENODATA);
            return TRUE;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM: // with auto-detach; no driver to disconnect
            if (claimedBy_ && claimedBy_ != client) {
                ++refusedClaims;
                Complete(client, EBUSY);
                return TRUE;
            }
            claimedBy_ = client;
            Complete(client, 0);
            return TRUE;
        case USBDEVFS_RELEASEINTERFACE:
            if (claimedBy_ == client)
                claimedBy_ = nullptr;
            Complete(client, 0);
            return TRUE;
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
            Complete(client, 0);
            return TRUE;
        case USBDEVFS_SUBMITURB:
            Complete(client, Submit(client, arg));
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            Complete(client, Reap(client, arg));
            return TRUE;
        case USBDEVFS_DISCARDURB:
            Complete(client, Discard(client, arg));
            return TRUE;
        default:
            std::fprintf(stderr, "emulated receiver: unhandled ioctl %lx\n", request);
            return FALSE;
        }
    }

    int Submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
    {
        Urb u{client, umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr), nullptr};
        usbdevfs_urb *urb = u.Get();
        u.buffer = umockdev_ioctl_data_resolve(u.urb, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                               std::size_t(urb->buffer_length), nullptr);
        const std::span<const std::uint8_t> bytes(u.buffer->data, std::size_t(urb->buffer_length));
        if (urb->endpoint & 0x80) {
            waiting_.push_back(u);
            ServeWaiting();
            return 0;
        }
        long take = long(bytes.size());
        const bool cut = unplugAfter >= 0 && outBytes_ + take > unplugAfter;
        if (cut)
            take = unplugAfter - outBytes_; // these got through before the plug came out
        sim.Receive(bytes.first(std::size_t(take)));
        outBytes_ += take;
        unplugged = unplugAfter >= 0 && outBytes_ >= unplugAfter;
        if (unplugged) {
            for (Urb &w : waiting_) {
                w.Get()->status = -ESHUTDOWN;
                done_.push_back(w);
            }
            waiting_.clear();
        }
        if (cut) {
            Drop(u);
            return ENODEV;
        }
        outTransfers.emplace_back(bytes.begin(), bytes.end());
        urb->actual_length = urb->buffer_length;
        urb->status = 0;
        done_.push_back(u);
        ServeWaiting();
        return 0;
    }

    // Answer bytes go to IN URBs a packet at a time; a URB shorter than the
    // packet fails with an overflow and the packet is lost, as on the bus.
    void ServeWaiting()
    {
        while (!waiting_.empty()) {
            if (sim.Pending() == 0)
                sim.Idle(); // the program paused and now reads: a firmware image may be complete
            if (sim.Pending() == 0 || answerBudget == 0)
                return;
            std::uint8_t packet[kPacketSize];
            long size = singleBytes ? 1 : kPacketSize;
            if (answerBudget > 0)
                size = std::min(size, answerBudget);
            const int n = sim.Take(std::span<std::uint8_t>(packet, std::size_t(size)));
            if (answerBudget > 0)
                answerBudget -= n;
            Urb u = waiting_.front();
            waiting_.pop_front();
            usbdevfs_urb *urb = u.Get();
            if (n > urb->buffer_length) {
                ++overflows;
                urb->actual_length = 0;
                urb->status = -EOVERFLOW;
            } else {
                std::memcpy(u.buffer->data, packet, std::size_t(n));
                urb->actual_length = n;
                urb->status = 0;
            }
            done_.push_back(u);
        }
    }

    int Reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
    {
        for (auto it = done_.begin(); it != done_.end(); ++it) {
            if (it->client != client)
                continue;
            UMockdevIoctlData *out = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
            umockdev_ioctl_data_set_ptr(out, 0, it->urb);
            umockdev_ioctl_data_unref(out);
            Drop(*it);
            done_.erase(it);
            return 0;
        }
        return unplugged ? ENODEV : EAGAIN;
    }

    // libusb's time-out: the waiting URB comes back cancelled.
    int Discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
    {
        const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void **>(arg->data));
        for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
            if (it->client != client || it->urb->client_addr != address)
                continue;
            it->Get()->status = -ENOENT;
            it->Get()->actual_length = 0;
            done_.push_back(*it);
            waiting_.erase(it);
            return 0;
        }
        return EINVAL;
    }

    UMockdevTestbed *testbed_;
    UMockdevIoctlBase *handler_ = nullptr;
    QByteArray node_;
    QByteArray sysPath_;
    bool attached_ = false;
    bool left_ = false;
    UMockdevIoctlClient *claimedBy_ = nullptr;
    long outBytes_ = 0;
    std::deque<Urb> waiting_; // IN URBs with nothing to carry yet
    std::deque<Urb> done_;    // finished, not reaped
};

std::vector<std::uint8_t> Firmware(std::uint8_t version, int packets)
{
    std::vector<std::uint8_t> image{0x55, 0x55, SimDevice::kSelaTypeCode, version, 1, 2, 3, 4};
    for (int i = 0; i < packets * kPacketSize + 2; ++i)
        image.push_back(std::uint8_t(i * 13 + version));
    return image;
}

std::vector<int> Cells(int count, int seed)
{
    std::vector<int> cells(std::size_t(count), 0);
    for (int i = 0; i < count; ++i)
        cells[std::size_t(i)] = (i * 29 + seed) & 0xFF;
    return cells;
}

std::vector<int> Sizes(const std::vector<std::vector<std::uint8_t>> &transfers)
{
    std::vector<int> sizes;
    for (const auto &t : transfers)
        sizes.push_back(int(t.size()));
    return sizes;
}

} // namespace
#endif

// The bench's INI (USB, the emulated receiver's ids) and a 4_9 image beside it.
bool WriteBenchFiles(const QString &dir)
{
    QFile ini(dir + QStringLiteral("/bench.INI"));
    QFile firmware(dir + QStringLiteral("/fw.bin"));
    if (!ini.open(QIODevice::WriteOnly) || !firmware.open(QIODevice::WriteOnly))
        return false;
    ini.write("[Device]\nTransport=usb\nUsbIds=04b4:8613\nReadTimeoutMs=" + QByteArray::number(kTimeoutMs) + "\n");
    firmware.write(MakeFirmwareImage(kSelaFirmwareTypeCode, 49, 100));
    return ini.flush() && firmware.flush();
}

class TestLibusbEmulated : public QObject {
    Q_OBJECT

#ifndef RPU_NO_USB_EMULATION
    UMockdevTestbed *testbed = nullptr;
    std::unique_ptr<EmulatedReceiver> receiver;
    MessageCatalogue catalogue;
    test::RecordingProgress progress;
    std::vector<QString> boxes;

    std::unique_ptr<UsbLink> NewLink()
    {
        return std::make_unique<UsbLink>(std::make_unique<LibusbBackend>(std::vector<UsbId>{kReceiverIds}, kTimeoutMs),
                                         [this](const QString &, const QString &text) { boxes.push_back(text); });
    }
#endif

private slots:
    void initTestCase()
    {
#ifdef RPU_NO_USB_EMULATION
        QSKIP(RPU_NO_USB_EMULATION);
#else
        if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("libumockdev-preload")))
            QSKIP("not running under umockdev-wrapper: the emulated USB bus is not there");
        testbed = umockdev_testbed_new();
        receiver = std::make_unique<EmulatedReceiver>(testbed, 2, kReceiverIds);
        if (!receiver->Attached())
            QSKIP("umockdev could not attach the emulated receiver");
        if (LibusbBackend({kReceiverIds}, kTimeoutMs).Enumerate().size() != 1)
            QSKIP("libusb does not see the emulated receiver: the umockdev preload is not working here");
        catalogue.Fill(BuiltinStringSource());
#endif
    }

#ifndef RPU_NO_USB_EMULATION
    void init()
    {
        receiver->Reset();
        boxes.clear();
    }

    void cleanupTestCase()
    {
        receiver.reset();
        if (testbed)
            g_object_unref(testbed);
    }

    // Every exchange through libusb, checked against what the device took
    // and the transfers it saw; the 8-byte answers come in one packet or a
    // byte at a time.
    void exchangesByteExact_data()
    {
        QTest::addColumn<bool>("singleBytes");
        QTest::newRow("answers in one packet") << false;
        QTest::newRow("answers a byte per packet") << true;
    }
    void exchangesByteExact()
    {
        QFETCH(bool, singleBytes);
        receiver->singleBytes = singleBytes;
        auto link = NewLink();
        LinkContext ctx{*link, pacer, progress, catalogue};
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 1);

        DeviceInfo info;
        QVERIFY(BreakLink(ctx));
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        QCOMPARE(info.versionByte, std::uint8_t(46));

        const std::vector<int> settings = Cells(kBlockSize, 3);
        QCOMPARE(WriteDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, settings), 0);
        const std::vector<int> registration = Cells(kRegistrationBlockCount * kBlockSize, 7);
        QCOMPARE(WriteDeviceBlocks(ctx, kRegistrationBlockCount, kRegistrationFirstBlock, registration), 0);
        const std::vector<std::uint8_t> image = Firmware(52, 5);
        QCOMPARE(WriteFirmware(ctx, image), 0);

        std::lock_guard<std::mutex> guard(receiver->lock);
        const auto &memory = receiver->sim.Memory();
        QVERIFY(std::equal(settings.begin(), settings.end(), memory.begin() + 7 * kBlockSize));
        QVERIFY(std::equal(registration.begin(), registration.end(), memory.begin()));
        QCOMPARE(receiver->sim.VersionByte(), std::uint8_t(52));
        QCOMPARE(receiver->sim.AcceptedFirmwareLengths(), std::vector<int>{int(image.size())});
        QCOMPARE(receiver->overflows, 0);

        // One OUT transfer per WriteByte and per WritePacket, in order.
        std::vector<int> sizes(16, 1);                              // break, handshake
        sizes.insert(sizes.end(), 10, 1);                           // frame, AA AA
        sizes.insert(sizes.end(), 4, 64);                           // settings data
        sizes.insert(sizes.end(), {1, 1});                          // CRC
        sizes.insert(sizes.end(), 10, 1);
        sizes.insert(sizes.end(), 28, 64);                          // registration data
        sizes.insert(sizes.end(), {1, 1});
        sizes.insert(sizes.end(), 8, 1);                            // firmware frame
        sizes.insert(sizes.end(), 5, 64);
        sizes.insert(sizes.end(), {1, 1});
        QCOMPARE(Sizes(receiver->outTransfers), sizes);
        std::vector<std::uint8_t> first16;
        for (int i = 0; i < 16; ++i)
            first16.push_back(receiver->outTransfers[std::size_t(i)][0]);
        QCOMPARE(first16, (std::vector<std::uint8_t>{0x55, 0x55, 0xA0, 0x00, 0x00, 0x00, 0x22, 0x09,
                                                     0x55, 0x55, 0xA0, 0xAA, 0x00, 0x00, 0x02, 0x29}));
        std::vector<std::uint8_t> firmwareSent;
        for (std::size_t i = receiver->outTransfers.size() - 15; i < receiver->outTransfers.size(); ++i)
            firmwareSent.insert(firmwareSent.end(), receiver->outTransfers[i].begin(), receiver->outTransfers[i].end());
        QCOMPARE(firmwareSent, image);
    }

    // Block reads: header, 64-byte packets and CRC come in 64-byte packets of
    // the answer stream, so packets and single-byte reads share a packet.
    void blockReadsThroughLibusb()
    {
        auto link = NewLink();
        LinkContext ctx{*link, pacer, progress, catalogue};
        QVERIFY(link->OpenUsbDevice());
        std::vector<int> registration(kRegistrationBlockCount * kBlockSize, -1);
        QCOMPARE(ReadDeviceBlocks(ctx, kRegistrationBlockCount, kRegistrationFirstBlock, registration), 0);
        std::vector<int> settings(kBlockSize, -1);
        QCOMPARE(ReadDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, settings), 0);
        const auto memory = SimDevice::DefaultMemory();
        QVERIFY(std::equal(registration.begin(), registration.end(), memory.begin()));
        QVERIFY(std::equal(settings.begin(), settings.end(), memory.begin() + 7 * kBlockSize));
        QCOMPARE(receiver->overflows, 0);
    }

    // Disconnect and connect again, also right after a firmware write: the
    // old handle lets go of interface 0 before the new one claims it.
    void reconnects()
    {
        receiver->singleBytes = true; // so this holds apart from how answers are read
        auto link = NewLink();
        LinkContext ctx{*link, pacer, progress, catalogue};
        DeviceInfo info;
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        QVERIFY(BreakLink(ctx));
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        QCOMPARE(WriteFirmware(ctx, Firmware(58, 4)), 0);
        QVERIFY(link->OpenUsbDevice());
        QVERIFY(BreakLink(ctx));
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        QCOMPARE(info.versionByte, std::uint8_t(58));
        QVERIFY2(boxes.empty(), qPrintable(boxes.empty() ? QString() : boxes.front()));

        // The emulator refuses a second claim, as the kernel does: another
        // program's connect while ours holds the device gets "busy".
        auto other = NewLink();
        QVERIFY(other->OpenUsbDevice());
        QCOMPARE(int(boxes.size()), 1);
        QCOMPARE(boxes.front(), QStringLiteral("Resource busy"));
        QVERIFY(receiver->refusedClaims > 0);
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
    }

    // The plug comes out while bytes are on their way: the transfer fails
    // with no device at once, with the exchange's failure code.
    void unpluggedMidTransfer_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<int>("unplugAfter"); // OUT bytes
        QTest::addColumn<int>("result");
        QTest::newRow("handshake frame") << "init" << 3 << 1;
        QTest::newRow("handshake answer") << "init" << 8 << 2;
        QTest::newRow("registration write data") << "write" << 8 + 2 + 64 * 10 << 4;
        QTest::newRow("registration read data") << "read" << 8 << 2;
        QTest::newRow("firmware body") << "firmware" << 8 + 64 * 2 << 1;
    }
    void unpluggedMidTransfer()
    {
        QFETCH(QString, exchange);
        QFETCH(int, unplugAfter);
        QFETCH(int, result);
        receiver->unplugAfter = unplugAfter;
        auto link = NewLink();
        QVERIFY(link->OpenUsbDevice());
        QElapsedTimer t;
        t.start();
        QCOMPARE(Run(*link, exchange), result);
        QVERIFY2(t.elapsed() < kTimeoutMs, qPrintable(QStringLiteral("%1 ms").arg(t.elapsed())));
    }

    // A device that stops answering ends the exchange after one read
    // timeout, never one per packet still to come.
    void stopsAnswering_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<int>("answerBytes");
        QTest::addColumn<bool>("singleBytes");
        QTest::addColumn<int>("result");
        QTest::newRow("handshake, no answer") << "init" << 0 << false << 2;
        QTest::newRow("registration read, after one packet") << "read" << 64 << false << 2;
        QTest::newRow("registration read, after the data") << "read" << 2 + 1792 << false << 2;
        QTest::newRow("registration read, byte packets, after 20") << "read" << 20 << true << 2;
        QTest::newRow("registration write, no acknowledgement") << "write" << 0 << false << 2;
        QTest::newRow("firmware, no verdict") << "firmware" << 0 << false << 3;
    }
    void stopsAnswering()
    {
        QFETCH(QString, exchange);
        QFETCH(int, answerBytes);
        QFETCH(bool, singleBytes);
        QFETCH(int, result);
        receiver->answerBudget = answerBytes;
        receiver->singleBytes = singleBytes;
        auto link = NewLink();
        QVERIFY(link->OpenUsbDevice());
        QElapsedTimer t;
        t.start();
        QCOMPARE(Run(*link, exchange), result);
        QVERIFY2(t.elapsed() < kTimeoutMs + 400, qPrintable(QStringLiteral("%1 ms").arg(t.elapsed())));
    }

    // Two receivers: no pipes and the two-device count; a device with other
    // ids is not counted.
    void countsOnlyReceivers()
    {
        {
            EmulatedReceiver second(testbed, 3, kReceiverIds);
            EmulatedReceiver stranger(testbed, 4, UsbId{0x1234, 0x5678});
            QVERIFY(second.Attached() && stranger.Attached());
            auto link = NewLink();
            QVERIFY(!link->OpenUsbDevice());
            QCOMPARE(link->UsbDeviceCount(), 2);
            QVERIFY(!link->HasWritePipe() && !link->HasReadPipe());
        }
        EmulatedReceiver stranger(testbed, 4, UsbId{0x1234, 0x5678});
        auto link = NewLink();
        QVERIFY(link->OpenUsbDevice());
        QCOMPARE(link->UsbDeviceCount(), 1);
        LinkContext ctx{*link, pacer, progress, catalogue};
        DeviceInfo info;
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
    }

    // Three receivers with memories of their own under one firmware batch
    // with backup-first and restore-after. The first of the list leaves the
    // bus mid-firmware, so the others move up the list: each must still get
    // back its own memory, and the row of the one that left must not claim a
    // restore.
    void batchKeepsEachReceiversMemory()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::map<int, std::unique_ptr<EmulatedReceiver>> extra;
        for (const int devnum : {3, 4}) {
            extra[devnum] = std::make_unique<EmulatedReceiver>(testbed, devnum, kReceiverIds);
            QVERIFY(extra[devnum]->Attached());
        }
        const auto at = [&](int devnum) -> EmulatedReceiver & { return devnum == 2 ? *receiver : *extra[devnum]; };
        std::map<int, std::vector<std::uint8_t>> memories;
        for (const int devnum : {2, 3, 4}) {
            std::lock_guard<std::mutex> guard(at(devnum).lock);
            auto &memory = at(devnum).sim.Memory();
            for (int i = 0; i < kRegistrationImageSize; ++i)
                memory[std::size_t(i)] = std::uint8_t(i * 7 + devnum * 41);
            memories[devnum].assign(memory.begin(), memory.begin() + kRegistrationImageSize);
        }

        QVERIFY(WriteBenchFiles(dir.path()));
        const auto cli = [&](QStringList args, QString *out) {
            QString err;
            QTextStream outStream(out), errStream(&err), in(stdin);
            args.prepend(QStringLiteral("dorel-rpu-cli"));
            args << QStringLiteral("--config") << dir.filePath(QStringLiteral("bench.INI"));
            const int code = cli::RunCli(args, dir.path(), {outStream, errStream, in, false});
            outStream.flush();
            errStream.flush();
            *out += err;
            return code;
        };

        // Each receiver by its port, in the text list, in JSON and for --device.
        QString out;
        QCOMPARE(cli({QStringLiteral("list"), QStringLiteral("--json")}, &out), 0);
        const QJsonArray listed = QJsonDocument::fromJson(out.toUtf8()).array();
        QStringList identities;
        for (const auto &row : listed)
            identities << row[QStringLiteral("identity")].toString();
        QStringList sorted = identities;
        sorted.sort();
        QCOMPARE(sorted, (QStringList{"usb:1-2", "usb:1-3", "usb:1-4"}));
        out.clear();
        QCOMPARE(cli({QStringLiteral("info"), QStringLiteral("--device"), QStringLiteral("1-3")}, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("identity: usb:1-3\n")), qPrintable(out));
        const int leaving = identities.front().section(QLatin1Char('-'), 1).toInt();

        // The first of the list is pulled a few kilobytes into its firmware.
        {
            std::lock_guard<std::mutex> guard(at(leaving).lock);
            at(leaving).unplugAfter = 3000;
        }
        std::atomic<bool> batchDone = false;
        std::thread puller([&] {
            while (!batchDone) {
                {
                    std::lock_guard<std::mutex> guard(at(leaving).lock);
                    if (!at(leaving).unplugged) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                        continue;
                    }
                }
                at(leaving).Leave();
                return;
            }
        });
        out.clear();
        const int code = cli({QStringLiteral("update-firmware"), dir.filePath(QStringLiteral("fw.bin")), QStringLiteral("--all"),
                              QStringLiteral("--backup-first"), dir.filePath(QStringLiteral("saved")),
                              QStringLiteral("--restore-after")},
                             &out);
        batchDone = true;
        puller.join();
        QCOMPARE(code, 1);

        const QStringList table = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(table.size(), 4);
        for (const int devnum : {2, 3, 4}) {
            const QString identity = QStringLiteral("usb:1-%1").arg(devnum);
            const auto row = std::find_if(table.begin(), table.end(), [&](const QString &line) {
                return line.section(QLatin1Char('\t'), 0, 0).endsWith(QLatin1Char(' ') + identity);
            });
            QVERIFY2(row != table.end(), qPrintable(out));
            const QStringList columns = row->split(QLatin1Char('\t'));
            QCOMPARE(columns.size(), 4);
            const bool restored = columns[2].contains(QStringLiteral("Контрольное чтение: данные совпадают с записанными"));
            QCOMPARE(restored, devnum != leaving);
            QVERIFY2(columns[2].startsWith(devnum == leaving ? QStringLiteral("FAILED") : QStringLiteral("ok: ")),
                     qPrintable(*row));

            // Its saved copy is its own memory, and the row names it.
            const QStringList files = columns[2].section(QStringLiteral("копия: "), 1).split(QStringLiteral(", "));
            QCOMPARE(files.size(), 2);
            QVERIFY2(files[0].contains(QStringLiteral("usb-1-%1_v4_6").arg(devnum)), qPrintable(files[0]));
            const auto lines = ReadTextLines(files[0]);
            QVERIFY(lines.ok());
            std::vector<std::uint8_t> saved;
            for (const QString &line : lines.value->mid(0, kRegistrationImageSize))
                saved.push_back(std::uint8_t(line.toInt()));
            QCOMPARE(saved, memories[devnum]);

            // And the receiver holds its own memory: restored, or never touched.
            std::lock_guard<std::mutex> guard(at(devnum).lock);
            const auto &memory = at(devnum).sim.Memory();
            QVERIFY2(std::equal(memories[devnum].begin(), memories[devnum].end(), memory.begin()),
                     qPrintable(identity));
            QCOMPARE(at(devnum).sim.VersionByte(), std::uint8_t(devnum == leaving ? 46 : 49));
        }

        // The one that left is refused by its identity, not served by another.
        out.clear();
        QCOMPARE(cli({QStringLiteral("info"), QStringLiteral("--device"), identities.front()}, &out), 2);
        // Another transport string for the same bus reaches every receiver twice.
        out.clear();
        QCOMPARE(cli({QStringLiteral("list"), QStringLiteral("--transport"), QStringLiteral("usb"),
                      QStringLiteral("--transport"), QStringLiteral("USB")},
                     &out),
                 2);
        QVERIFY2(out.contains(QStringLiteral("twice")), qPrintable(out));
        if (leaving == 2) { // the fixture's own receiver: plugged in again for any later case
            receiver.reset();
            receiver = std::make_unique<EmulatedReceiver>(testbed, 2, kReceiverIds);
        }
    }

    // The station on the emulated bus: the receiver plugged in before it
    // started and two plugged in while it waits each get a record of their
    // own, their firmware written and their memory written back.
    void stationTakesReceiversPluggedInLater()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(WriteBenchFiles(dir.path()));
        const QString record = dir.filePath(QStringLiteral("R.jsonl"));

        QString out;
        int code = -1;
        std::thread station([&] {
            QString err;
            QTextStream outStream(&out), errStream(&err), in(stdin);
            code = cli::RunCli({QStringLiteral("dorel-rpu-cli"), QStringLiteral("station"), QStringLiteral("--count"),
                                QStringLiteral("3"), QStringLiteral("--firmware"), dir.filePath(QStringLiteral("fw.bin")),
                                QStringLiteral("--backup-dir"), dir.filePath(QStringLiteral("B")),
                                QStringLiteral("--record"), record, QStringLiteral("--config"), dir.filePath(QStringLiteral("bench.INI"))},
                               dir.path(), {outStream, errStream, in, false});
            outStream.flush();
            errStream.flush();
            out += err;
        });
        std::map<int, std::unique_ptr<EmulatedReceiver>> plugged;
        for (const int devnum : {5, 6}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            plugged[devnum] = std::make_unique<EmulatedReceiver>(testbed, devnum, kReceiverIds);
            umockdev_testbed_uevent(testbed, QByteArray("/sys/devices/usb1/1-" + QByteArray::number(devnum)).constData(),
                                    "add");
        }
        station.join();
        QVERIFY2(code == 0, qPrintable(out));

        QFile lines(record);
        QVERIFY(lines.open(QIODevice::ReadOnly));
        QStringList identities;
        for (const QByteArray &line : lines.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject r = QJsonDocument::fromJson(line).object();
            identities << r[QStringLiteral("identity")].toString();
            QCOMPARE(r[QStringLiteral("verdict")].toString(), QStringLiteral("ok"));
            QCOMPARE(r[QStringLiteral("transport")].toString(), QStringLiteral("usb"));
            QCOMPARE(r[QStringLiteral("versionAfter")].toString(), QStringLiteral("4_9"));
        }
        identities.sort();
        QCOMPARE(identities, (QStringList{"usb:1-2", "usb:1-5", "usb:1-6"}));
        for (const int devnum : {5, 6}) {
            std::lock_guard<std::mutex> guard(plugged[devnum]->lock);
            QCOMPARE(plugged[devnum]->sim.VersionByte(), std::uint8_t(49));
        }
    }

private:
    test::RecordingTransport pacer; // as a pacer only: no real pauses

    int Run(UsbLink &link, const QString &exchange)
    {
        LinkContext ctx{link, pacer, progress, catalogue};
        if (exchange == QLatin1String("init")) {
            DeviceInfo info;
            return InitLink(ctx, kInitMainPage, info);
        }
        if (exchange == QLatin1String("read")) {
            std::vector<int> cells(kRegistrationBlockCount * kBlockSize, 0);
            return ReadDeviceBlocks(ctx, kRegistrationBlockCount, kRegistrationFirstBlock, cells);
        }
        if (exchange == QLatin1String("write"))
            return WriteDeviceBlocks(ctx, kRegistrationBlockCount, kRegistrationFirstBlock,
                                     Cells(kRegistrationBlockCount * kBlockSize, 5));
        return WriteFirmware(ctx, Firmware(50, 4));
    }
#endif
};

QTEST_GUILESS_MAIN(TestLibusbEmulated)
#include "tst_libusb_emulated.moc"
