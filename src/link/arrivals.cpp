#include "link/arrivals.h"

#include "link/deviceidentity.h"
#include "link/libusbbackend.h"
#include "link/pipetransport.h"
#include "link/socketbackend.h"
#include "link/socketdirbackend.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <libusb.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace rpu {

namespace {

qint64 Now() { return QDeadlineTimer::current().deadline(); }

std::unique_ptr<Transport> OpenFound(std::vector<std::unique_ptr<DeviceInterface>> found, const QString &identity,
                                     QString *error)
{
    for (auto &device : found) {
        if (!device || device->Identity() != identity)
            continue;
        QString writeError;
        QString readError;
        auto writePipe = device->OpenPipe(PipeKind::Write, &writeError);
        auto readPipe = device->OpenPipe(PipeKind::Read, &readError);
        if (!writePipe || !readPipe) {
            *error = !readPipe && !readError.isEmpty() ? readError : writeError;
            return nullptr;
        }
        auto transport = std::make_unique<PipeTransport>(std::move(writePipe), std::move(readPipe));
        transport->FlushPipe(PipeKind::Write);
        transport->FlushPipe(PipeKind::Read);
        return transport;
    }
    *error = QStringLiteral("receiver %1 is not there any more").arg(identity);
    return nullptr;
}

// Scans the folder every kArrivalScanMs. A socket counts once it was seen
// in two scans and someone listens on it: one that only passes through (a
// simulator binding under a temporary name) or is stale is never a receiver.
class SocketArrivals final : public ArrivalWatch {
public:
    SocketArrivals(QString dir, QString only, int timeoutMs)
        : dir_(std::move(dir)), only_(std::move(only)), timeoutMs_(timeoutMs)
    {
    }

    std::optional<Arrival> Next(int timeoutMs) override
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            if (queue_.empty())
                Scan();
            if (!queue_.empty()) {
                Arrival next = queue_.front();
                queue_.pop_front();
                return next;
            }
            if (deadline.hasExpired())
                return std::nullopt;
            QThread::msleep(std::min<qint64>(kArrivalScanMs, std::max<qint64>(deadline.remainingTime(), 1)));
        }
    }

    std::unique_ptr<Transport> Open(const Arrival &arrival, QString *error) override
    {
        return OpenFound(SocketBackend(arrival.path, timeoutMs_).Enumerate(), arrival.identity, error);
    }

    bool Simulated() const override { return true; }

private:
    void Scan()
    {
        std::map<QString, SocketEntry> known;
        std::map<QString, SocketEntry> pending;
        for (const SocketEntry &socket : SocketsIn(dir_)) {
            if (!only_.isEmpty() && QFileInfo(socket.path).absoluteFilePath() != only_)
                continue;
            const auto was = known_.find(socket.path);
            if (was != known_.end() && was->second == socket) {
                known.emplace(socket.path, socket);
                continue;
            }
            const auto seen = pending_.find(socket.path);
            if (seen == pending_.end() || !(seen->second == socket)) {
                pending.emplace(socket.path, socket);
                continue;
            }
            known.emplace(socket.path, socket);
            if (!SocketBackend(socket.path, kArrivalScanMs).Enumerate().empty()) {
                const QString identity = SocketIdentity(socket.path);
                queue_.push_back({identity, QStringLiteral("socket"), identity.section(QLatin1Char(':'), 1), Now()});
            }
        }
        // Those gone are forgotten: a socket made again there is a new arrival.
        known_ = std::move(known);
        pending_ = std::move(pending);
    }

    QString dir_;
    QString only_; // socket:PATH: that one socket; empty: every one in dir_
    int timeoutMs_;
    std::map<QString, SocketEntry> known_;
    std::map<QString, SocketEntry> pending_;
    std::deque<Arrival> queue_;
};

// libusb's hotplug events on a thread of their own; where libusb has none,
// the bus is listed every kArrivalScanMs.
class UsbArrivals final : public ArrivalWatch {
public:
    UsbArrivals(std::vector<UsbId> ids, int timeoutMs) : ids_(std::move(ids)), backend_(ids_, timeoutMs) {}

    bool Start(QString *error)
    {
        if (!backend_.InitError().isEmpty()) {
            *error = backend_.InitError();
            return false;
        }
        if (const int rc = libusb_init(&ctx_); rc != 0) {
            ctx_ = nullptr;
            *error = QString::fromUtf8(libusb_strerror(static_cast<libusb_error>(rc)));
            return false;
        }
        if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG))
            return true;
        for (const auto &[vendor, product] : ids_) {
            libusb_hotplug_callback_handle handle = 0;
            // ENUMERATE: receivers already plugged in arrive first, from this call.
            if (libusb_hotplug_register_callback(ctx_, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_ENUMERATE,
                                                 vendor, product, LIBUSB_HOTPLUG_MATCH_ANY, &UsbArrivals::OnArrived,
                                                 this, &handle)
                == LIBUSB_SUCCESS)
                handles_.push_back(handle);
        }
        hotplug_ = !handles_.empty();
        if (hotplug_) {
            events_ = std::thread([this] {
                while (!stop_) {
                    timeval tv{0, 200000};
                    libusb_handle_events_timeout_completed(ctx_, &tv, nullptr);
                }
            });
        }
        return true;
    }

    ~UsbArrivals() override
    {
        stop_ = true;
        for (const libusb_hotplug_callback_handle handle : handles_)
            libusb_hotplug_deregister_callback(ctx_, handle); // also wakes the event thread
        if (events_.joinable())
            events_.join();
        if (ctx_)
            libusb_exit(ctx_);
    }

    std::optional<Arrival> Next(int timeoutMs) override
    {
        std::unique_lock lock(mutex_);
        if (hotplug_) {
            arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !queue_.empty(); });
        } else {
            QDeadlineTimer deadline(timeoutMs);
            for (;;) {
                lock.unlock();
                Scan();
                lock.lock();
                if (!queue_.empty() || deadline.hasExpired())
                    break;
                lock.unlock();
                QThread::msleep(std::min<qint64>(kArrivalScanMs, std::max<qint64>(deadline.remainingTime(), 1)));
                lock.lock();
            }
        }
        if (queue_.empty())
            return std::nullopt;
        Arrival next = queue_.front();
        queue_.pop_front();
        return next;
    }

    std::unique_ptr<Transport> Open(const Arrival &arrival, QString *error) override
    {
        const std::lock_guard lock(openMutex_);
        return OpenFound(backend_.Enumerate(), arrival.identity, error);
    }

    bool Simulated() const override { return false; }

private:
    static int LIBUSB_CALL OnArrived(libusb_context *, libusb_device *device, libusb_hotplug_event, void *self)
    {
        static_cast<UsbArrivals *>(self)->Push(LibusbDeviceIdentity(device));
        return 0; // stay registered
    }

    void Push(const QString &identity)
    {
        {
            const std::lock_guard lock(mutex_);
            queue_.push_back({identity, QStringLiteral("usb"), identity.section(QLatin1Char(':'), 1), Now()});
        }
        arrived_.notify_one();
    }

    void Scan()
    {
        QSet<QString> present;
        {
            const std::lock_guard lock(openMutex_);
            for (const auto &device : backend_.Enumerate())
                present.insert(device->Identity());
        }
        for (const QString &identity : present) {
            if (!present_.contains(identity))
                Push(identity);
        }
        // Those gone are forgotten: plugged in again, they arrive again.
        present_ = present;
    }

    std::vector<UsbId> ids_;
    LibusbBackend backend_; // opens the receivers; its own libusb context
    libusb_context *ctx_ = nullptr;
    std::vector<libusb_hotplug_callback_handle> handles_;
    bool hotplug_ = false;
    std::atomic<bool> stop_ = false;
    std::thread events_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Arrival> queue_;
    std::mutex openMutex_;
    QSet<QString> present_; // the scan's last list, without hotplug
};

} // namespace

std::unique_ptr<ArrivalWatch> WatchArrivals(const LinkConfig &config, QString *error)
{
    switch (config.kind) {
    case LinkConfig::Kind::SocketDir:
        return std::make_unique<SocketArrivals>(config.socketDir, QString(), config.readTimeoutMs);
    case LinkConfig::Kind::Socket: {
        const QFileInfo socket(config.socketPath);
        return std::make_unique<SocketArrivals>(socket.absolutePath(), socket.absoluteFilePath(), config.readTimeoutMs);
    }
    case LinkConfig::Kind::Usb: {
        auto watch = std::make_unique<UsbArrivals>(config.usbIds, config.readTimeoutMs);
        if (!watch->Start(error))
            return nullptr;
        return watch;
    }
    case LinkConfig::Kind::Simulator:
        break;
    }
    *error = QStringLiteral("the built-in simulator has no receivers that come and go: use usb, socket:PATH or "
                            "socket-dir:DIR");
    return nullptr;
}

} // namespace rpu
