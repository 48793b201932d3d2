#include "link/libusbbackend.h"

#include "link/deviceidentity.h"

#include <QDeadlineTimer>
#include <QStringTokenizer>
#include <libusb.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_set>

namespace rpu {

namespace {

// Up to 4 hexadecimal digits, nothing else.
std::optional<std::uint16_t> HexId(QStringView s)
{
    if (s.isEmpty() || s.size() > 4)
        return std::nullopt;
    uint value = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        uint digit = 0;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return std::uint16_t(value);
}

} // namespace

std::vector<UsbId> ParseUsbIdList(const QString &text, QStringList *warnings)
{
    std::vector<UsbId> ids;
    std::unordered_set<std::uint32_t> seen; // a long list must not cost a scan per entry
    for (QStringView entry : QStringTokenizer(text, QLatin1Char(','), Qt::SkipEmptyParts)) {
        entry = entry.trimmed();
        if (entry.isEmpty())
            continue;
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        const auto vendor = colon > 0 ? HexId(entry.left(colon)) : std::nullopt;
        const auto product = colon > 0 ? HexId(entry.mid(colon + 1)) : std::nullopt;
        if (!vendor || !product) {
            if (warnings)
                warnings->append(QStringLiteral("UsbIds: \"%1\" is not a vendor:product pair of hexadecimal numbers").arg(entry));
            continue;
        }
        if (seen.insert((std::uint32_t(*vendor) << 16) | *product).second)
            ids.emplace_back(*vendor, *product);
    }
    return ids;
}

namespace {

QString UsbText(int code)
{
    return QString::fromUtf8(libusb_strerror(static_cast<libusb_error>(code)));
}

} // namespace

QString LibusbDeviceIdentity(libusb_device *device)
{
    // Bus and port numbers, not the address: the address is new after
    // every re-plug and every restart of the receiver.
    std::uint8_t ports[7] = {};
    const int n = libusb_get_port_numbers(device, ports, int(sizeof ports));
    return UsbPortIdentity(libusb_get_bus_number(device), std::span(ports, std::size_t(std::max(n, 0))),
                           libusb_get_device_address(device));
}

LinkFault LibusbFaultKind(int libusbError)
{
    switch (libusbError) {
    case LIBUSB_SUCCESS: return LinkFault::None;
    case LIBUSB_ERROR_ACCESS: return LinkFault::NoAccess;
    case LIBUSB_ERROR_BUSY: return LinkFault::Busy;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return LinkFault::Gone;
    case LIBUSB_ERROR_TIMEOUT: return LinkFault::TimedOut;
    default: return LinkFault::Other;
    }
}

struct LibusbBackend::Context {
    libusb_context *ctx = nullptr;
    ~Context()
    {
        if (ctx)
            libusb_exit(ctx);
    }
};

namespace {

using ContextPtr = std::shared_ptr<LibusbBackend::Context>;

// One opened device with interface 0 claimed; shared by its two pipes.
struct OpenDevice {
    ContextPtr context; // keeps libusb alive as long as the handle
    libusb_device_handle *handle = nullptr;
    bool claimed = false;
    std::uint8_t outEndpoint = 0;
    std::uint8_t inEndpoint = 0;
    int inPacketSize = kPacketSize;
    // Bytes of IN packets not handed out yet: the endpoint is read a whole
    // packet at a time, the program reads a byte or 64 at a time.
    std::deque<std::uint8_t> received;
    // A read ran out of time since the last write or flush.
    bool quiet = false;
    ~OpenDevice()
    {
        if (handle) {
            if (claimed)
                libusb_release_interface(handle, 0);
            libusb_close(handle);
        }
    }
};

class LibusbPipe final : public Pipe {
public:
    LibusbPipe(std::shared_ptr<OpenDevice> device, PipeKind kind, int timeoutMs)
        : device_(std::move(device)), kind_(kind), timeoutMs_(timeoutMs)
    {
    }

    bool Write(std::span<const std::uint8_t> bytes) override
    {
        if (kind_ != PipeKind::Write)
            return false;
        device_->quiet = false;
        int sent = 0;
        const int rc = libusb_bulk_transfer(device_->handle, device_->outEndpoint,
                                            const_cast<unsigned char *>(bytes.data()),
                                            static_cast<int>(bytes.size()), &sent, timeoutMs_);
        return rc == 0 && sent == static_cast<int>(bytes.size());
    }

    int Read(std::span<std::uint8_t> buffer) override
    {
        if (kind_ != PipeKind::Read)
            return -1;
        std::size_t got = TakeReceived(buffer);
        if (got == buffer.size() || device_->quiet)
            return static_cast<int>(got);
        QDeadlineTimer deadline(timeoutMs_);
        while (got < buffer.size()) {
            const int wait = static_cast<int>(deadline.remainingTime());
            const int n = wait > 0 ? Receive(wait) : 0;
            if (n < 0)
                return got > 0 ? static_cast<int>(got) : -1;
            got += TakeReceived(buffer.subspan(got));
            if (n == 0 && (wait <= 0 || timedOut_)) {
                device_->quiet = true;
                break;
            }
            if (n < device_->inPacketSize)
                break; // a short packet ends a USB read
        }
        return static_cast<int>(got);
    }

    void Flush() override
    {
        if (kind_ != PipeKind::Read)
            return;
        device_->received.clear();
        device_->quiet = false;
        // Drain what the device has queued; bounded so a chatty device cannot hold us.
        for (int i = 0; i < 64; ++i) {
            if (Receive(5) <= 0)
                break;
            device_->received.clear();
        }
    }

private:
    std::size_t TakeReceived(std::span<std::uint8_t> out)
    {
        auto &queue = device_->received;
        const std::size_t n = std::min(out.size(), queue.size());
        std::copy_n(queue.begin(), n, out.begin());
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }

    // One IN transfer of a whole packet into the queue: the bytes it
    // brought, or -1 when the transfer failed for another reason than time.
    int Receive(int timeoutMs)
    {
        std::vector<std::uint8_t> packet(static_cast<std::size_t>(device_->inPacketSize));
        int got = 0;
        const int rc = libusb_bulk_transfer(device_->handle, device_->inEndpoint, packet.data(),
                                            static_cast<int>(packet.size()), &got, timeoutMs);
        timedOut_ = rc == LIBUSB_ERROR_TIMEOUT;
        if (rc != 0 && !timedOut_)
            return -1;
        device_->received.insert(device_->received.end(), packet.begin(), packet.begin() + got);
        return got;
    }

    std::shared_ptr<OpenDevice> device_;
    PipeKind kind_;
    int timeoutMs_;
    bool timedOut_ = false;
};

class LibusbInterface final : public DeviceInterface {
public:
    LibusbInterface(ContextPtr context, libusb_device *device, int timeoutMs)
        : context_(std::move(context)), device_(libusb_ref_device(device)), timeoutMs_(timeoutMs)
    {
    }
    ~LibusbInterface() override { libusb_unref_device(device_); }

    QString Identity() const override
    {
        return LibusbDeviceIdentity(device_);
    }

    std::unique_ptr<Pipe> OpenPipe(PipeKind kind, QString *error) override
    {
        if (!open_) {
            QString why;
            open_ = Open(&why);
            if (!open_) {
                if (error)
                    *error = why;
                return nullptr;
            }
        }
        const std::uint8_t endpoint = kind == PipeKind::Write ? open_->outEndpoint : open_->inEndpoint;
        if (endpoint == 0) {
            lastFault_ = LinkFault::Other;
            if (error)
                *error = kind == PipeKind::Write ? QStringLiteral("The device has no bulk OUT endpoint")
                                                 : QStringLiteral("The device has no bulk IN endpoint");
            return nullptr;
        }
        return std::make_unique<LibusbPipe>(open_, kind, timeoutMs_);
    }
    LinkFault LastOpenFault() const override { return lastFault_; }

private:
    std::shared_ptr<OpenDevice> Open(QString *error)
    {
        auto dev = std::make_shared<OpenDevice>();
        dev->context = context_;
        int rc = libusb_open(device_, &dev->handle);
        if (rc != 0) {
            dev->handle = nullptr;
            *error = UsbText(rc);
            lastFault_ = LibusbFaultKind(rc);
            return nullptr;
        }
        // Detach only a driver that is known to be bound. libusb's automatic
        // detach asks even when none is, and a claim fails outright where
        // that question cannot be answered (usbfs emulated by umockdev).
        if (libusb_kernel_driver_active(dev->handle, 0) == 1)
            libusb_detach_kernel_driver(dev->handle, 0);
        rc = libusb_claim_interface(dev->handle, 0);
        if (rc != 0) {
            *error = UsbText(rc);
            lastFault_ = LibusbFaultKind(rc);
            return nullptr;
        }
        dev->claimed = true;

        libusb_config_descriptor *config = nullptr;
        rc = libusb_get_active_config_descriptor(device_, &config);
        if (rc != 0) {
            *error = UsbText(rc);
            lastFault_ = LibusbFaultKind(rc);
            return nullptr;
        }
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor &alt = config->interface[0].altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor &ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                const bool in = (ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
                if (in && dev->inEndpoint == 0) {
                    dev->inEndpoint = ep.bEndpointAddress;
                    if (ep.wMaxPacketSize > 0)
                        dev->inPacketSize = ep.wMaxPacketSize & 0x7FF;
                }
                if (!in && dev->outEndpoint == 0)
                    dev->outEndpoint = ep.bEndpointAddress;
            }
        }
        libusb_free_config_descriptor(config);
        return dev;
    }

    ContextPtr context_;
    libusb_device *device_;
    int timeoutMs_;
    std::shared_ptr<OpenDevice> open_;
    LinkFault lastFault_ = LinkFault::Other;
};

} // namespace

LibusbBackend::LibusbBackend(std::vector<UsbId> ids, int readTimeoutMs)
    : context_(std::make_shared<Context>()), ids_(std::move(ids)),
      timeoutMs_(readTimeoutMs > 0 ? readTimeoutMs : 2000)
{
}

LibusbBackend::~LibusbBackend() = default;

// Started at the first search, not with the window: libusb's start scans the
// bus and starts its event thread.
bool LibusbBackend::Start() const
{
    std::call_once(started_, [this] {
        const int rc = libusb_init(&context_->ctx);
        if (rc != 0) {
            context_->ctx = nullptr;
            initError_ = UsbText(rc);
        }
    });
    return context_->ctx != nullptr;
}

QString LibusbBackend::InitError() const
{
    Start();
    return initError_;
}

std::vector<std::unique_ptr<DeviceInterface>> LibusbBackend::Enumerate()
{
    std::vector<std::unique_ptr<DeviceInterface>> found;
    if (!Start())
        return found;
    libusb_device **list = nullptr;
    const ssize_t n = libusb_get_device_list(context_->ctx, &list);
    if (n < 0)
        return found; // enumeration failed: nothing found
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(list[i], &desc) != 0)
            continue;
        const UsbId id{desc.idVendor, desc.idProduct};
        if (std::find(ids_.begin(), ids_.end(), id) != ids_.end())
            found.push_back(std::make_unique<LibusbInterface>(context_, list[i], timeoutMs_));
    }
    libusb_free_device_list(list, 1);
    return found;
}

} // namespace rpu
