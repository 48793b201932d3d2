// rpu-sim: a simulated receiver behind a UNIX-domain socket, for trying the
// program and its tests without the hardware.

#include "link/simdevice.h"
#include "link/wirereplay.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The program's pauses are 10 ms and more; a quiet spell this long means it
// paused (or is waiting for an answer).
constexpr int kIdleAfterMs = 5;

volatile std::sig_atomic_t g_stop = 0;
int g_wakePipe[2] = {-1, -1};

void OnSignal(int)
{
    g_stop = 1;
    if (g_wakePipe[1] >= 0) {
        const char c = 0;
        [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &c, 1);
    }
}

void Log(const QString &line)
{
    std::fprintf(stderr, "rpu-sim: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

int Usage(const char *why)
{
    if (why)
        std::fprintf(stderr, "rpu-sim: %s\n", why);
    std::fprintf(stderr,
                 "usage: rpu-sim --socket PATH [--state FILE] [--version N] [--type N]\n"
                 "               [--no-answer] [--bad-header] [--bad-crc] [--refuse-write]\n"
                 "               [--refuse-firmware] [--short-packet] [--drop-after N]\n"
                 "       rpu-sim --socket PATH --replay CAPTURE [--replay CAPTURE...]\n"
                 "  --socket PATH      listen on this UNIX-domain socket path\n"
                 "  --state FILE       keep memory and version byte in FILE\n"
                 "  --version N        firmware version byte 0..255 (default 46; overrides FILE)\n"
                 "  --type N           firmware type code 0..255 (default 0x12)\n"
                 "  --no-answer        read nothing, answer nothing\n"
                 "  --bad-header       answer with a wrong header\n"
                 "  --bad-crc          answer with a wrong CRC\n"
                 "  --refuse-write     refuse block writes\n"
                 "  --refuse-firmware  refuse firmware images\n"
                 "  --short-packet     leave out the last data byte of block reads\n"
                 "  --drop-after N     end each connection after N bytes crossed it\n"
                 "  --replay CAPTURE   answer as the receiver of a wire trace (pcap or pcapng,\n"
                 "                     usbmon): the program must send what it sent then;\n"
                 "                     several are served one after the other\n");
    return 2;
}

struct Options {
    QString socketPath;
    QString statePath;
    QStringList replayPaths;
    int version = -1;
    int type = rpu::SimDevice::kSelaTypeCode;
    rpu::SimFaults faults;
};

bool ParseNumber(const char *text, long min, long max, long *out)
{
    bool ok = false;
    const long v = QString::fromLocal8Bit(text).toLong(&ok, 0);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

// 0 when the options are good, -1 after --help, else the exit code.
int ParseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        auto value = [&](const char *name) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "rpu-sim: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        long n = 0;
        if (a == "--socket") {
            const char *v = value("--socket");
            if (!v || !*v)
                return Usage(nullptr);
            o.socketPath = QFile::decodeName(v);
        } else if (a == "--state") {
            const char *v = value("--state");
            if (!v || !*v)
                return Usage(nullptr);
            o.statePath = QFile::decodeName(v);
        } else if (a == "--replay") {
            const char *v = value("--replay");
            if (!v || !*v)
                return Usage(nullptr);
            o.replayPaths << QFile::decodeName(v);
        } else if (a == "--version") {
            const char *v = value("--version");
            if (!v || !ParseNumber(v, 0, 255, &n))
                return Usage("--version takes a number 0..255");
            o.version = static_cast<int>(n);
        } else if (a == "--type") {
            const char *v = value("--type");
            if (!v || !ParseNumber(v, 0, 255, &n))
                return Usage("--type takes a number 0..255");
            o.type = static_cast<int>(n);
        } else if (a == "--drop-after") {
            const char *v = value("--drop-after");
            if (!v || !ParseNumber(v, 0, 1L << 30, &n))
                return Usage("--drop-after takes a byte count");
            o.faults.dropAfterBytes = n;
        } else if (a == "--no-answer") {
            o.faults.noAnswer = true;
        } else if (a == "--bad-header") {
            o.faults.badHeader = true;
        } else if (a == "--bad-crc") {
            o.faults.badCrc = true;
        } else if (a == "--refuse-write") {
            o.faults.refuseWrite = true;
        } else if (a == "--refuse-firmware") {
            o.faults.refuseFirmware = true;
        } else if (a == "--short-packet") {
            o.faults.shortPacket = true;
        } else if (a == "--help" || a == "-h") {
            Usage(nullptr);
            return -1; // asked for: not an error
        } else {
            std::fprintf(stderr, "rpu-sim: unknown argument %s\n", a.constData());
            return Usage(nullptr);
        }
    }
    if (o.socketPath.isEmpty())
        return Usage("--socket is required");
    return 0;
}

bool SomeoneListens(const QByteArray &path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool live = ::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return live;
}

int Listen(const QByteArray &path)
{
    // Bound under a temporary name and moved into place once listening, so a
    // client that sees the path can connect at once.
    const QByteArray temp = path + ".new";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(temp.size()) >= sizeof addr.sun_path) {
        Log(QStringLiteral("socket path too long"));
        return -1;
    }
    std::memcpy(addr.sun_path, temp.constData(), static_cast<std::size_t>(temp.size()));

    // A socket left by an earlier run that did not end cleanly; anything
    // else at that path is not ours to delete.
    for (const QByteArray &p : {path, temp}) {
        struct stat st{};
        if (::lstat(p.constData(), &st) == 0) {
            if (!S_ISSOCK(st.st_mode)) {
                Log(QStringLiteral("%1 exists and is not a socket").arg(QFile::decodeName(p)));
                return -1;
            }
            if (p == path && SomeoneListens(path)) {
                Log(QStringLiteral("%1 is served by another process").arg(QFile::decodeName(p)));
                return -1;
            }
            ::unlink(p.constData());
        }
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) < 0
        || ::listen(fd, 4) < 0 || ::rename(temp.constData(), path.constData()) < 0) {
        Log(QStringLiteral("cannot listen on %1: %2").arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno))));
        ::unlink(temp.constData());
        ::close(fd);
        return -1;
    }
    return fd;
}

// False when the client is gone or a stop was asked for while it did not read.
bool SendAll(int fd, const std::uint8_t *data, std::size_t size)
{
    while (size > 0) {
        if (g_stop)
            return false;
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        // The client does not read: wait for room, or for a signal.
        pollfd fds[2] = {{fd, POLLOUT, 0}, {g_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

class Server {
public:
    explicit Server(const Options &o) : options_(o) { device_ = MakeDevice(); }

    int Run(int listenFd)
    {
        const QByteArray state = QFile::encodeName(options_.statePath);
        int client = -1;
        bool quietPending = false;
        QElapsedTimer sinceByte;
        Remember();

        while (!g_stop) {
            pollfd fds[2];
            fds[0] = {g_wakePipe[0], POLLIN, 0};
            fds[1] = {client >= 0 ? client : listenFd, POLLIN, 0};
            int timeout = -1;
            if (client >= 0 && quietPending)
                timeout = std::max<qint64>(0, kIdleAfterMs - sinceByte.elapsed());
            const int rc = ::poll(fds, 2, timeout);
            if (rc < 0) {
                if (errno == EINTR)
                    continue;
                Log(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
                break;
            }
            if (g_stop)
                break;

            if (client < 0) {
                if (fds[1].revents & POLLIN) {
                    client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                    if (client >= 0) {
                        StartConnection();
                        Log(QStringLiteral("connected"));
                    }
                }
                continue;
            }

            bool closed = false;
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                std::array<std::uint8_t, 4096> buf;
                const ssize_t n = ::recv(client, buf.data(), buf.size(), 0);
                if (n > 0 && replay_) {
                    closed = !Replay(client, std::span<const std::uint8_t>(buf.data(), static_cast<std::size_t>(n)));
                } else if (n > 0) {
                    device_->Receive(std::span<const std::uint8_t>(buf.data(), static_cast<std::size_t>(n)));
                    quietPending = true;
                    sinceByte.restart();
                    closed = !SendPending(client);
                } else if (n == 0 || errno != EINTR) {
                    closed = true;
                }
            } else if (rc == 0 && quietPending) {
                quietPending = false;
                device_->Idle();
                closed = !SendPending(client);
            }

            SaveIfChanged(state);
            if (!closed && device_->LinkDropped()) {
                Log(QStringLiteral("link dropped"));
                closed = true;
            }
            if (closed) {
                ::close(client);
                client = -1;
                quietPending = false;
                Log(QStringLiteral("disconnected"));
            }
        }
        if (client >= 0)
            ::close(client);
        SaveIfChanged(state);
        return 0;
    }

    bool LoadState()
    {
        if (options_.statePath.isEmpty() || !QFile::exists(options_.statePath))
            return true;
        if (!device_->LoadState(options_.statePath))
            return false;
        if (options_.version >= 0)
            device_->SetVersionByte(static_cast<std::uint8_t>(options_.version));
        return true;
    }

    // From now on the capture answers, not the simulated device.
    void SetReplay(std::unique_ptr<rpu::WireReplay> replay) { replay_ = std::move(replay); }

private:
    // The capture goes on across connections, as the program reconnects.
    bool Replay(int client, std::span<const std::uint8_t> bytes)
    {
        const bool wasStuck = !replay_->Mismatch().isEmpty();
        replay_->Receive(bytes);
        if (!wasStuck && !replay_->Mismatch().isEmpty())
            Log(QStringLiteral("replay stuck: %1; answering nothing more").arg(replay_->Mismatch()));
        const QByteArray out = replay_->TakeOutput();
        const bool sent = SendAll(client, reinterpret_cast<const std::uint8_t *>(out.constData()),
                                  static_cast<std::size_t>(out.size()));
        if (replay_->Finished() && !finishedLogged_) {
            finishedLogged_ = true;
            Log(QStringLiteral("replay: the whole capture was served"));
        }
        return sent;
    }

    std::unique_ptr<rpu::SimDevice> MakeDevice()
    {
        auto d = std::make_unique<rpu::SimDevice>(
            static_cast<std::uint8_t>(options_.version >= 0 ? options_.version : 46),
            static_cast<std::uint8_t>(options_.type));
        d->Memory() = rpu::SimDevice::DefaultMemory();
        d->Faults() = options_.faults;
        d->SetLogger(Log);
        return d;
    }

    void StartConnection()
    {
        // A link that died stays dead inside the device; the next connection
        // gets a fresh one with the same memory and version.
        if (device_->LinkDropped()) {
            auto fresh = MakeDevice();
            fresh->Memory() = device_->Memory();
            fresh->SetVersionByte(device_->VersionByte());
            device_ = std::move(fresh);
        }
        device_->DiscardOutput();
    }

    bool SendPending(int client)
    {
        std::array<std::uint8_t, 4096> out;
        while (device_->Pending() > 0) {
            const int n = device_->Take(out);
            if (n <= 0)
                break;
            if (!SendAll(client, out.data(), static_cast<std::size_t>(n)))
                return false;
        }
        return true;
    }

    void Remember()
    {
        savedMemory_ = device_->Memory();
        savedVersion_ = device_->VersionByte();
    }

    void SaveIfChanged(const QByteArray &state)
    {
        if (state.isEmpty())
            return;
        if (savedMemory_ == device_->Memory() && savedVersion_ == device_->VersionByte())
            return;
        if (device_->SaveState(options_.statePath))
            Log(QStringLiteral("state saved to %1").arg(options_.statePath));
        else
            Log(QStringLiteral("cannot save state to %1").arg(options_.statePath));
        Remember();
    }

    Options options_;
    std::unique_ptr<rpu::SimDevice> device_;
    std::array<std::uint8_t, rpu::SimDevice::kMemorySize> savedMemory_{};
    std::uint8_t savedVersion_ = 0;
    std::unique_ptr<rpu::WireReplay> replay_;
    bool finishedLogged_ = false;
};

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (const int rc = ParseOptions(argc, argv, options))
        return rc < 0 ? 0 : rc;

    if (::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) < 0)
        return 1;
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Opening a FIFO (or a device) would block before any signal is handled.
    const QFileInfo stateInfo(options.statePath);
    if (!options.statePath.isEmpty() && stateInfo.exists() && !stateInfo.isFile()) {
        Log(QStringLiteral("state file %1 is not a regular file").arg(options.statePath));
        return 1;
    }

    Server server(options);
    if (!server.LoadState()) {
        Log(QStringLiteral("cannot read state file %1").arg(options.statePath));
        return 1;
    }

    if (!options.replayPaths.isEmpty()) {
        // The window writes one trace per connect: a session is several files.
        std::vector<rpu::WireRecord> records;
        for (const QString &capture : options.replayPaths) {
            QString error;
            const auto more = rpu::ReadWireTrace(capture, &error);
            if (!more) {
                Log(error);
                return 1;
            }
            records.insert(records.end(), more->begin(), more->end());
        }
        auto replay = std::make_unique<rpu::WireReplay>(records);
        Log(QStringLiteral("replaying %1: %2 bytes from the program, %3 answer bytes")
                .arg(options.replayPaths.join(QStringLiteral(", "))).arg(replay->OutBytes()).arg(replay->InBytes()));
        server.SetReplay(std::move(replay));
    }

    const QByteArray path = QFile::encodeName(options.socketPath);
    const int listenFd = Listen(path);
    if (listenFd < 0)
        return 1;
    Log(QStringLiteral("listening on %1").arg(options.socketPath));

    const int rc = server.Run(listenFd);
    ::close(listenFd);
    ::unlink(path.constData());
    Log(QStringLiteral("stopped"));
    return rc;
}
