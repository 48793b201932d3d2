// Large files of each kind loaded as the window and the command line load
// them: a 1 MiB settings file (96 lines used) through the settings
// operations, a 1 MiB backup of the shortest lines (the most lines a backup
// of that size can have), a 1 MiB firmware image and the largest image a
// file may hold, each read, parsed and put into the value buffer. A user
// loads a file once in a running program, so the figure is the first load
// of a fresh process that only loads (the files are written beforehand):
// the median over several processes of its wall and processor time, beside
// the median of the loads that follow it and the peak memory above the
// idle program.
//   bench_files [PROCESSES]            all kinds (default 21 processes each)
//   bench_files KIND RUNS PATH         RUNS loads of one kind in this process

#include "files/registrationfile.h"
#include "firmware/firmwarefile.h"
#include "ops/settingsops.h"
#include "session/valuebuffer.h"

#include "benchkit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

using namespace rpu;

namespace {

constexpr qint64 kFileSize = 1024 * 1024;

struct Kind {
    const char *name;
    const char *shown;
};
constexpr Kind kKinds[] = {
    {"settings", "settings 1 MiB"},
    {"backup", "backup 1 MiB"},
    {"firmware", "firmware 1 MiB"},
    {"firmware-max", "firmware 2 MiB (largest allowed)"},
};

// A field of /proc/self/status, in kB.
long StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').front().toLong();
    }
    return -1;
}

// Sets the peak resident memory to what is resident now, so the peak after
// the loads is theirs alone.
void ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Lines of number until the file holds about kFileSize bytes.
QByteArray NumberLines(QByteArray bytes, const QByteArray &filler)
{
    bytes.reserve(kFileSize);
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
        return NumberLines({}, "0\n");
    const qint64 size = kind == QLatin1String("firmware") ? kFileSize : kMaxFirmwareFileSize;
    return MakeFirmwareImage(kSelaFirmwareTypeCode, 47, int((size - kMinFirmwareFileSize) / kPacketSize));
}

void SetBytes(ValueBuffer &buffer, const QByteArray &bytes)
{
    buffer.SetBytes({reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
}

// One load as the pages and the command line do it; false when the file was refused.
bool Load(const QString &kind, const QString &path, ValueBuffer &buffer)
{
    if (kind == QLatin1String("settings")) {
        const ops::SettingsFileVerdict file = ops::AcceptSettingsFile(path, ops::SectionSet::Both());
        if (!file.ok())
            return false;
        const SettingsFileCells cells = ops::FileCells(file.image);
        buffer.SetValues({cells.begin(), cells.end()});
        return true;
    }
    if (kind == QLatin1String("backup")) {
        const auto file = ReadRegistrationBackup(path);
        if (!file.ok())
            return false;
        SetBytes(buffer, file.value->values);
        return true;
    }
    const FirmwareFile file = ReadFirmwareFile(path);
    if (!file.accepted())
        return false;
    SetBytes(buffer, file.bytes);
    return true;
}

int RunOne(const QString &kind, int runs, const QString &path)
{
    const char *shown = nullptr;
    for (const Kind &k : kKinds) {
        if (kind == QLatin1String(k.name))
            shown = k.shown;
    }
    if (!shown) {
        std::printf("unknown kind %s\n", qPrintable(kind));
        return 2;
    }
    ValueBuffer buffer;
    ResetPeak();
    const long idleKb = StatusKb("VmRSS:");
    std::vector<double> ms, cpuMs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = bench::ProcessCpuMs();
        if (!Load(kind, path, buffer)) {
            std::printf("file %s: the file was refused\n", shown);
            return 1;
        }
        cpuMs.push_back(bench::ProcessCpuMs() - cpu);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const long peakKb = StatusKb("VmHWM:");
    const QByteArray peak = idleKb < 0 || peakKb < 0 ? QByteArray("unknown")
                                                     : QByteArray::number(double(peakKb - idleKb) / 1024.0, 'f', 2);
    std::printf("file %s: median %.2f ms (cpu %.2f ms), first %.2f ms (cpu %.2f ms), peak %s MB above idle, "
                "%d values in the buffer\n",
                shown, bench::MedianOf(ms), bench::MedianOf(cpuMs), ms.front(), cpuMs.front(), peak.constData(),
                buffer.Count());
    return 0;
}

} // namespace

// What one loading process printed, as numbers: first, first cpu, median,
// median cpu, peak, values. Empty when it printed no figures.
std::vector<double> FiguresOf(const QByteArray &output)
{
    static const QRegularExpression figures(QStringLiteral(
        "median ([0-9.]+) ms \\(cpu ([0-9.]+) ms\\), first ([0-9.]+) ms \\(cpu ([0-9.]+) ms\\), "
        "peak ([0-9.]+) MB above idle, ([0-9]+) values"));
    const QRegularExpressionMatch m = figures.match(QString::fromUtf8(output));
    if (!m.hasMatch())
        return {};
    return {m.captured(3).toDouble(), m.captured(4).toDouble(), m.captured(1).toDouble(),
            m.captured(2).toDouble(), m.captured(5).toDouble(), m.captured(6).toDouble()};
}

// Fresh processes each loading the file a few times; one summary line.
bool RunProcesses(const Kind &kind, int processes, const QString &path)
{
    std::vector<double> first, firstCpu, warm, warmCpu;
    double peak = 0, values = 0;
    for (int i = 0; i < processes; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kind.name), QStringLiteral("5"), path});
        const bool finished = child.waitForFinished(-1) && child.exitCode() == 0;
        const QByteArray output = child.readAllStandardOutput();
        const std::vector<double> f = FiguresOf(output);
        if (!finished || f.empty()) {
            std::printf("%s", output.constData());
            return false;
        }
        first.push_back(f[0]);
        firstCpu.push_back(f[1]);
        warm.push_back(f[2]);
        warmCpu.push_back(f[3]);
        peak = std::max(peak, f[4]);
        values = f[5];
    }
    std::printf("file %s: first load median %.2f ms (cpu %.2f ms) of %d processes, later loads %.2f ms "
                "(cpu %.2f ms), peak %.2f MB above idle, %.0f values in the buffer\n",
                kind.shown, bench::MedianOf(first), bench::MedianOf(firstCpu), processes, bench::MedianOf(warm),
                bench::MedianOf(warmCpu), peak, values);
    return true;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3)
        return RunOne(args.at(0), std::max(1, args.at(1).toInt()), args.at(2));
    const int processes = args.isEmpty() ? 21 : std::max(1, args.front().toInt());
    QTemporaryDir dir;
    int failed = 0;
    for (const Kind &k : kKinds) {
        const QString kind = QLatin1String(k.name);
        const QString path = dir.filePath(QStringLiteral("big_sela_") + kind);
        QFile file(path);
        const QByteArray bytes = FileOf(kind);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::printf("file %s: cannot be written to %s\n", k.shown, qPrintable(path));
            ++failed;
            continue;
        }
        file.close();
        if (!RunProcesses(k, processes, path))
            ++failed;
        std::fflush(stdout);
    }
    return failed;
}
