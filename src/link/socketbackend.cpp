#include "link/socketbackend.h"

#include "link/deviceidentity.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rpu {

namespace {

// One connection, shared by the two pipes of the device.
struct Connection {
    int fd = -1;
    bool broken = false;
    bool quiet = false; // a read ran out of time since the last write or flush
    ~Connection()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

class SocketPipe final : public Pipe {
public:
    SocketPipe(std::shared_ptr<Connection> conn, PipeKind kind, int timeoutMs)
        : conn_(std::move(conn)), kind_(kind), timeoutMs_(timeoutMs)
    {
    }

    bool Write(std::span<const std::uint8_t> bytes) override
    {
        if (kind_ != PipeKind::Write || conn_->broken)
            return false;
        conn_->quiet = false;
        QDeadlineTimer deadline(timeoutMs_);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(conn_->fd, bytes.data() + done, bytes.size() - done,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!WaitFor(POLLOUT, deadline))
                    return false;
                continue;
            }
            conn_->broken = true;
            return false;
        }
        return true;
    }

    int Read(std::span<std::uint8_t> buffer) override
    {
        if (kind_ != PipeKind::Read || conn_->broken)
            return -1;
        // After one wait ran out, only what is already there is taken.
        QDeadlineTimer deadline(conn_->quiet ? 0 : timeoutMs_);
        std::size_t got = 0;
        // Like a USB read: whatever arrived by the deadline, at most the asked size.
        while (got < buffer.size()) {
            const ssize_t n = ::recv(conn_->fd, buffer.data() + got, buffer.size() - got, MSG_DONTWAIT);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                continue;
            }
            if (n == 0) {
                conn_->broken = true;
                return got > 0 ? static_cast<int>(got) : -1;
            }
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                conn_->broken = true;
                return got > 0 ? static_cast<int>(got) : -1;
            }
            if (!WaitFor(POLLIN, deadline)) {
                conn_->quiet = true;
                break;
            }
        }
        return static_cast<int>(got);
    }

    void Flush() override
    {
        if (kind_ != PipeKind::Read || conn_->broken)
            return;
        conn_->quiet = false;
        std::uint8_t scratch[256];
        for (;;) {
            const ssize_t n = ::recv(conn_->fd, scratch, sizeof scratch, MSG_DONTWAIT);
            if (n > 0)
                continue;
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0)
                conn_->broken = true;
            break;
        }
    }

private:
    bool WaitFor(short events, const QDeadlineTimer &deadline)
    {
        for (;;) {
            const qint64 left = deadline.remainingTime();
            if (left <= 0)
                return false;
            pollfd p{conn_->fd, events, 0};
            const int rc = ::poll(&p, 1, static_cast<int>(left));
            if (rc > 0)
                return true; // readable, writable, or hung up: the next call tells which
            if (rc == 0)
                return false;
            if (errno != EINTR)
                return false;
        }
    }

    std::shared_ptr<Connection> conn_;
    PipeKind kind_;
    int timeoutMs_;
};

class SocketInterface final : public DeviceInterface {
public:
    SocketInterface(std::shared_ptr<Connection> conn, int timeoutMs, QString identity)
        : conn_(std::move(conn)), timeoutMs_(timeoutMs), identity_(std::move(identity))
    {
    }

    QString Identity() const override { return identity_; }

    std::unique_ptr<Pipe> OpenPipe(PipeKind kind, QString *) override
    {
        return std::make_unique<SocketPipe>(conn_, kind, timeoutMs_);
    }

private:
    std::shared_ptr<Connection> conn_;
    int timeoutMs_;
    QString identity_;
};

} // namespace

SocketBackend::SocketBackend(QString path, int readTimeoutMs)
    : path_(std::move(path)), timeoutMs_(readTimeoutMs > 0 ? readTimeoutMs : 2000)
{
}

std::vector<std::unique_ptr<DeviceInterface>> SocketBackend::Enumerate()
{
    std::vector<std::unique_ptr<DeviceInterface>> found;
    problem_ = {};
    const QByteArray native = QFile::encodeName(path_);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (native.isEmpty() || static_cast<std::size_t>(native.size()) >= sizeof addr.sun_path)
        return found;
    std::memcpy(addr.sun_path, native.constData(), static_cast<std::size_t>(native.size()));

    auto conn = std::make_shared<Connection>();
    conn->fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (conn->fd < 0)
        return found;
    // A listener that does not accept (stopped, or its queue full) refuses a
    // non-blocking connect with EAGAIN; try again until the read timeout,
    // then count it as no device rather than hang.
    QDeadlineTimer deadline(timeoutMs_);
    for (;;) {
        if (::connect(conn->fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno == EINPROGRESS) {
            pollfd p{conn->fd, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof error;
            if (::poll(&p, 1, static_cast<int>(deadline.remainingTime())) == 1
                && ::getsockopt(conn->fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0)
                break;
            return found;
        }
        if (errno == ECONNREFUSED || errno == ENOENT) {
            // Said as it is: no "device left the USB line" for a simulator not started.
            problem_ = {LinkFault::NoListener, path_};
            return found;
        }
        if (errno != EAGAIN || deadline.hasExpired())
            return found; // nobody taking the call: no device
        ::usleep(static_cast<useconds_t>(std::min<qint64>(20, deadline.remainingTime()) * 1000));
    }
    found.push_back(std::make_unique<SocketInterface>(conn, timeoutMs_, SocketIdentity(path_)));
    return found;
}

} // namespace rpu
