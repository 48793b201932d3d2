// Large files of each kind loaded as the pages load them: a 1 MiB settings
// file (96 lines used), a 1 MiB backup and a 1 MiB firmware image, each
// read, parsed and put into the value buffer. Prints the median wall time
// and the peak memory above the idle program, per kind in a fresh process.
//   bench_files [RUNS]            all kinds (default 21 runs each)
//   bench_files KIND RUNS         one kind: settings, backup or firmware

#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "firmware/firmwarefile.h"
#include "session/valuebuffer.h"

#include "benchkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace rpu;

namespace {

constexpr qint64 kFileSize = 1024 * 1024;

// Peak resident memory of this process so far, in kB.
long PeakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

// Lines of number until the file holds about kFileSize bytes.
QByteArray NumberLines(const QByteArray &first, const QByteArray &filler)
{
    QByteArray bytes = first;
    while (bytes.size() + filler.size() <= kFileSize)
        bytes += filler;
    return bytes;
}

QByteArray FileOf(const QString &kind)
{
    if (kind == QLatin1String("settings")) {
        QByteArray used;
        for (int i = 0; i < kSettingsFileCells; ++i)
            used += "0\r\n";
        return NumberLines(used, "0\r\n");
    }
    if (kind == QLatin1String("backup"))
        return NumberLines({}, "255\r\n");
    const int packets = int((kFileSize - kMinFirmwareFileSize) / kPacketSize);
    return MakeFirmwareImage(kSelaFirmwareTypeCode, 47, packets);
}

// One load as the page does it; false when the file was refused.
bool Load(const QString &kind, const QString &path, ValueBuffer &buffer)
{
    if (kind == QLatin1String("settings")) {
        const auto file = ReadSettingsFile(path);
        if (!file.ok())
            return false;
        buffer.SetValues(std::vector<std::uint32_t>(file.value->cells.begin(), file.value->cells.end()));
        return true;
    }
    if (kind == QLatin1String("backup")) {
        const auto file = ReadRegistrationBackup(path);
        if (!file.ok())
            return false;
        const QByteArray &v = file.value->values;
        buffer.SetBytes({reinterpret_cast<const std::uint8_t *>(v.constData()), std::size_t(v.size())});
        return true;
    }
    const FirmwareFile file = ReadFirmwareFile(path);
    if (!file.accepted())
        return false;
    buffer.SetBytes({reinterpret_cast<const std::uint8_t *>(file.bytes.constData()), std::size_t(file.bytes.size())});
    return true;
}

int RunOne(const QString &kind, int runs)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big_sela_") + kind);
    {
        QFile file(path);
        const QByteArray bytes = FileOf(kind);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 2;
    }
    ValueBuffer buffer;
    const long idleKb = PeakKb();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!Load(kind, path, buffer)) {
            std::printf("%s: the file was refused\n", qPrintable(kind));
            return 1;
        }
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("file %s 1 MiB: median %.2f ms, peak %.1f MB above idle, %d values in the buffer\n",
                qPrintable(kind), bench::MedianOf(ms), double(PeakKb() - idleKb) / 1024.0, buffer.Count());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2)
        return RunOne(args.at(0), std::max(1, args.at(1).toInt()));
    const QString runs = args.isEmpty() ? QStringLiteral("21") : args.front();
    int failed = 0;
    for (const QString kind : {QStringLiteral("settings"), QStringLiteral("backup"), QStringLiteral("firmware")}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {kind, runs});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            ++failed;
    }
    return failed;
}
