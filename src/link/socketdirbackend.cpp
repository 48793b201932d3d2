#include "link/socketdirbackend.h"

#include "link/socketbackend.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace rpu {

std::vector<SocketEntry> SocketsIn(const QString &dir)
{
    std::vector<SocketEntry> sockets;
    DIR *d = ::opendir(QFile::encodeName(dir).constData());
    if (!d)
        return sockets;
    while (const dirent *e = ::readdir(d)) {
        const QString path = QDir(dir).filePath(QFile::decodeName(e->d_name));
        struct stat st{};
        // lstat: a link to a socket elsewhere is not one of this bench's.
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockets.push_back({path, st.st_ino, qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec});
    }
    ::closedir(d);
    std::sort(sockets.begin(), sockets.end(), [](const SocketEntry &a, const SocketEntry &b) { return a.path < b.path; });
    return sockets;
}

std::vector<std::unique_ptr<DeviceInterface>> SocketDirBackend::Enumerate()
{
    std::vector<std::unique_ptr<DeviceInterface>> found;
    for (const SocketEntry &socket : SocketsIn(dir_)) {
        for (auto &device : SocketBackend(socket.path, timeoutMs_).Enumerate())
            found.push_back(std::move(device));
    }
    return found;
}

} // namespace rpu
