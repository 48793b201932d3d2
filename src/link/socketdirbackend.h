#pragma once
// Every simulator socket in one folder: a bench of rpu-sim processes, each
// started with its socket there.

#include "link/transport.h"

#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <vector>

namespace rpu {

// A socket in the folder, as lstat sees it; a new socket at the same path
// (its simulator restarted) has another inode or change time.
struct SocketEntry {
    QString path;
    ino_t inode = 0;
    qint64 changedNs = 0;
    friend bool operator==(const SocketEntry &, const SocketEntry &) = default;
};
// The sockets in dir by name; anything that is no socket (a state file) is passed over.
std::vector<SocketEntry> SocketsIn(const QString &dir);

class SocketDirBackend final : public DeviceBackend {
public:
    SocketDirBackend(QString dir, int readTimeoutMs) : dir_(std::move(dir)), timeoutMs_(readTimeoutMs) {}
    // Each socket someone listens on; a stale one (its simulator killed) is no device.
    std::vector<std::unique_ptr<DeviceInterface>> Enumerate() override;
    bool Simulated() const override { return true; }

private:
    QString dir_;
    int timeoutMs_;
};

} // namespace rpu
