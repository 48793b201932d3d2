// Start of the real program to its window drawn: the program runs as a child
// process (offscreen, RPU_QUIT_WHEN_SHOWN set, so it leaves once the window is
// drawn), from a copy in a folder of its own with the shipped modules beside
// it. The time runs from fork to the child's exit, so it includes the exit;
// peak memory is the child's max RSS as wait4 reports it. Then the same for
// minimal-window, a Qt Widgets window of the same kind with nothing behind it.
//   bench_start [runs] [program]   (default 11, dorel-rpu-sela beside the bench)

#include "benchkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rpu::bench;

namespace {

struct Run {
    double ms = 0;
    double cpuMs = 0;
    long maxRssKiB = 0;
    bool ok = false;
};

Run StartOnce(const QByteArray &program, const QByteArray &errorLog, const char *argument = nullptr)
{
    Run run;
    QElapsedTimer timer;
    timer.start();
    std::fflush(nullptr); // the child must not print the parent's buffer again
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen(errorLog.constData(), "a", stderr);
        execl(program.constData(), program.constData(), argument, static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    run.maxRssKiB = usage.ru_maxrss;
    for (const timeval &t : {usage.ru_utime, usage.ru_stime})
        run.cpuMs += double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

bool WriteText(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 11;
    const QString original = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                       : QCoreApplication::applicationDirPath() + QStringLiteral("/dorel-rpu-sela");

    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("dorel-rpu-sela"));
    if (!QFile::copy(original, program)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(original));
        return 1;
    }
    const QDir beside = QFileInfo(original).dir();
    for (const QString &module : beside.entryList({QStringLiteral("dorel-rpu-sela.??")}, QDir::Files))
        QFile::copy(beside.filePath(module), folder.filePath(module));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("RPU_QUIT_WHEN_SHOWN", "1");
    KeepUserStateIn(folder.path());
    const QByteArray errorLog = folder.filePath(QStringLiteral("stderr.txt")).toLocal8Bit();

    // Runs of one program: median, cpu, best, first and peak memory.
    bool allOk = true;
    const auto measure = [&](const char *name, const QString &path, const char *argument = nullptr) {
        std::vector<double> times, cpu;
        long maxRss = 0;
        double first = 0;
        for (int r = 0; r < runs; ++r) {
            const Run run = StartOnce(QFile::encodeName(path), errorLog, argument);
            if (!run.ok) {
                std::fprintf(stderr, "%s: run %d failed\n", name, r);
                allOk = false;
                break;
            }
            if (r == 0)
                first = run.ms;
            times.push_back(run.ms);
            cpu.push_back(run.cpuMs);
            maxRss = std::max(maxRss, run.maxRssKiB);
        }
        std::printf("%s: median %.1f ms, cpu %.1f ms, best %.1f ms, first %.1f ms (%zu runs), max RSS %.1f MB\n",
                    name, MedianOf(times), MedianOf(cpu),
                    times.empty() ? 0.0 : *std::min_element(times.begin(), times.end()), first, times.size(),
                    double(maxRss) * 1024 / 1e6);
        return std::pair{MedianOf(times), MedianOf(cpu)};
    };

    // No configuration file (Russian, built in), then English from its module.
    const struct {
        const char *name;
        QByteArray ini;
    } starts[] = {{"start RU", {}}, {"start EN", "[Language]\nDefault=EN\n"}};
    std::pair<double, double> russian;
    for (const auto &start : starts) {
        const QString ini = folder.filePath(QStringLiteral("dorel-rpu-sela.INI"));
        QFile::remove(ini);
        if (!start.ini.isEmpty() && !WriteText(ini, start.ini))
            return 1;
        const auto took = measure(start.name, program);
        if (start.ini.isEmpty())
            russian = took;
    }
    // The same kind of window on Qt Widgets alone: the practical floor.
    const QString minimalPath = QFileInfo(original).dir().filePath(QStringLiteral("minimal-window"));
    if (QFileInfo::exists(minimalPath)) {
        const auto minimal = measure("start minimal", minimalPath);
        if (minimal.first > 0)
            std::printf("start RU over minimal: %.2f (%.1f / %.1f ms; cpu %.1f / %.1f ms)\n",
                        russian.first / minimal.first, russian.first, minimal.first, russian.second, minimal.second);
        // The same window with the program's fonts: the part of the ratio
        // that the look itself costs.
        const auto fonts = measure("start minimal, program's fonts", minimalPath, "--program-fonts");
        if (minimal.first > 0 && fonts.first > 0)
            std::printf("program's fonts over minimal: %.2f; start RU over that: %.2f\n",
                        fonts.first / minimal.first, russian.first / fonts.first);
    } else {
        std::printf("no %s: build the target minimal-window\n", qPrintable(minimalPath));
    }
    QFile log(QString::fromLocal8Bit(errorLog));
    if (log.open(QIODevice::ReadOnly) && log.size() > 0)
        std::printf("the program said on stderr:\n%s", log.readAll().constData());
    return allOk ? 0 : 1;
}
