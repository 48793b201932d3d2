#include "io/safefile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rpu {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF hold the bytes 0x80..0xFF

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

FileOutcome Fault(FileFault fault, const QString &message = {})
{
    return {fault, message};
}

// The length of the valid UTF-8 sequence at p (n bytes left) and its code
// point, or 0 when the bytes there are not UTF-8.
int Utf8Sequence(const unsigned char *p, qsizetype n, char32_t &cp)
{
    const unsigned c = p[0];
    int len = 0;
    char32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, cp = c & 0x07, min = 0x10000;
    }
    if (len == 0 || len > n)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void AppendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Written unbuffered and until done: a buffered QSaveFile loses a short
// write (disk full, size limit) in commit() and reports success over a
// truncated file.
FileOutcome WriteWithSaveFile(const QString &path, QByteArrayView bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fault(FileFault::CannotWrite, file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return Fault(FileFault::CannotWrite, reason);
        }
        done += n;
    }
    if (!file.commit())
        return Fault(FileFault::CannotWrite, file.errorString());
    return {};
}

bool WriteAll(int fd, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// What QSaveFile does, for a name only the system's bytes can spell.
FileOutcome WriteByHand(QByteArray target, QByteArrayView bytes)
{
    struct stat st{};
    mode_t mode = 0644;
    if (::lstat(target.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            if (char *resolved = ::realpath(target.constData(), nullptr)) {
                target = resolved;
                std::free(resolved);
            }
        }
        if (::stat(target.constData(), &st) == 0)
            mode = st.st_mode & 07777;
    }
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temp = (slash < 0 ? QByteArray(".") : target.left(slash)) + "/.rpu-save-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Fault(FileFault::CannotWrite, SystemText(errno));
    bool written = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temp.constData(), target.constData()) == 0)
        return {};
    if (written)
        error = errno;
    ::unlink(temp.constData());
    return Fault(FileFault::CannotWrite, SystemText(error));
}

// Maps a large buffer in with one call where the kernel offers it: page by
// page, each first touch is a fault, and on a virtual machine a costly one.
void PopulatePages(char *data, qsizetype size)
{
#ifdef MADV_POPULATE_WRITE
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return;
    const auto page = std::uintptr_t(pageSize);
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t last = (start + std::uintptr_t(size)) / page * page;
    // Only whole pages inside the buffer; an error (an older kernel) leaves the faults as they were.
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

} // namespace

QString PathFromNative(QByteArrayView native)
{
    QString out;
    out.reserve(native.size());
    const auto *p = reinterpret_cast<const unsigned char *>(native.data());
    const qsizetype n = native.size();
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            out += QChar(char16_t(p[i++]));
            continue;
        }
        char32_t cp = 0;
        const int len = Utf8Sequence(p + i, n - i, cp);
        if (len == 0) {
            out += QChar(char16_t(kEscapeBase + p[i++]));
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += len;
    }
    return out;
}

QByteArray PathToNative(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && path.at(i + 1).isLowSurrogate()) {
            AppendUtf8(out, QChar::surrogateToUcs4(u, path.at(i + 1).unicode()));
            ++i;
        } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out += char(u - kEscapeBase);
        } else if (QChar::isSurrogate(u)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

QString DisplayPath(const QString &path)
{
    QString shown;
    shown.reserve(path.size());
    for (const QChar c : path) {
        const char16_t u = c.unicode();
        if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF)
            shown += QStringLiteral("\\x") + QString::number(unsigned(u - kEscapeBase), 16).toUpper();
        else
            shown += c;
    }
    return shown;
}

bool PathExists(const QString &path)
{
    struct stat st{};
    return ::lstat(PathToNative(path).constData(), &st) == 0;
}

FileBytes ReadRegularFile(const QString &path, qint64 maxBytes)
{
    FileBytes result;
    const auto fail = [&result](FileFault fault, const QString &message = {}) {
        result.fault = fault;
        result.systemMessage = message;
        result.bytes.clear();
        return result;
    };
    const QByteArray native = PathToNative(path);
    struct stat st{};
    if (::stat(native.constData(), &st) != 0)
        return fail(errno == ENOENT || errno == ENOTDIR ? FileFault::Missing : FileFault::CannotOpen,
                    SystemText(errno));
    if (S_ISDIR(st.st_mode))
        return fail(FileFault::IsFolder);
    if (!S_ISREG(st.st_mode))
        return fail(FileFault::NotRegular);
    if (st.st_size > maxBytes)
        return fail(FileFault::TooLarge);

    // Without blocking, and checked again on the open file: a FIFO put in
    // place of the name since the look would otherwise hold us for good.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(errno == ENOENT ? FileFault::Missing : FileFault::CannotOpen, SystemText(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(FileFault::NotRegular);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // One byte more than allowed tells a file that grew since the look.
    result.bytes.resize(qsizetype(std::min<qint64>(st.st_size, maxBytes) + 1));
    PopulatePages(result.bytes.data(), result.bytes.size());
    qsizetype got = 0;
    for (;;) {
        if (got == result.bytes.size()) {
            if (got > maxBytes)
                break;
            result.bytes.resize(qsizetype(std::min<qint64>(qint64(got) * 2, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd, result.bytes.data() + got, size_t(result.bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return fail(FileFault::CannotRead, SystemText(error));
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got > maxBytes)
        return fail(FileFault::TooLarge);
    result.bytes.truncate(got);
    return result;
}

FileOutcome CheckOutputTarget(const QString &path)
{
    const QByteArray native = PathToNative(path);
    struct stat st{};
    if (::lstat(native.constData(), &st) != 0)
        return {};  // a new file; the write itself reports a bad folder
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0)
        return Fault(FileFault::NotRegular, SystemText(errno));
    if (S_ISDIR(st.st_mode))
        return Fault(FileFault::IsFolder);
    if (!S_ISREG(st.st_mode))
        return Fault(FileFault::NotRegular);
    return {};
}

FileOutcome WriteFileAtomically(const QString &path, QByteArrayView bytes)
{
    const FileOutcome target = CheckOutputTarget(path);
    if (!target.ok())
        return target;
    const QByteArray native = PathToNative(path);
    if (QFile::encodeName(path) == native)
        return WriteWithSaveFile(path, bytes);
    return WriteByHand(native, bytes);
}

} // namespace rpu
