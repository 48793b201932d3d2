#pragma once
// The device behind a UNIX-domain stream socket: the simulator program
// (rpu-sim) listening on a path. One device when someone accepts the
// connection, none otherwise.

#include "link/transport.h"

#include <QString>

namespace rpu {

class SocketBackend final : public DeviceBackend {
public:
    // A read waits at most readTimeoutMs for the bytes it asks for.
    explicit SocketBackend(QString path, int readTimeoutMs = 2000);

    std::vector<std::unique_ptr<DeviceInterface>> Enumerate() override;
    LinkProblem EnumerateProblem() const override { return problem_; }
    // Only rpu-sim serves this socket protocol.
    bool Simulated() const override { return true; }

    const QString &Path() const { return path_; }
    int ReadTimeoutMs() const { return timeoutMs_; }

private:
    QString path_;
    int timeoutMs_;
    LinkProblem problem_;
};

} // namespace rpu
