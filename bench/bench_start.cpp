// Start of the real program to its window drawn: the program runs as a child
// process (offscreen, RPU_QUIT_WHEN_SHOWN set, so it leaves once the window is
// drawn), from a copy in a folder of its own with the shipped modules beside
// it. The time runs from fork to the child's exit, so it includes the exit;
// peak memory is the child's max RSS as wait4 reports it. Beside it
// minimal-window, a Qt Widgets window of the same kind with nothing behind it,
// plain and with the program's fonts; the programs start in turn.
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

    // The programs start in turn, run after run, so a drift of the machine's
    // load weighs on each alike; each gets its median, cpu, best, first and
    // peak memory.
    struct Subject {
        Subject(const char *n, QString p, QByteArray i = {}, const char *a = nullptr)
            : name(n), path(std::move(p)), ini(std::move(i)), argument(a)
        {
        }
        const char *name;
        QString path;
        QByteArray ini; // the configuration file beside the program, none when empty
        const char *argument;
        std::vector<double> times, cpu;
        long maxRssKiB = 0;
    };
    const QString minimalPath = QFileInfo(original).dir().filePath(QStringLiteral("minimal-window"));
    const bool withMinimal = QFileInfo::exists(minimalPath);
    // No configuration file (Russian, built in), then English from its module;
    // the same kind of window on Qt Widgets alone (the practical floor), and
    // that window with the program's fonts (the part the look itself costs).
    std::vector<Subject> subjects{{"start RU", program}, {"start EN", program, "[Language]\nDefault=EN\n"}};
    if (withMinimal) {
        subjects.emplace_back("start minimal", minimalPath);
        subjects.emplace_back("start minimal, program's fonts", minimalPath, QByteArray(), "--program-fonts");
    } else {
        std::printf("no %s: build the target minimal-window\n", qPrintable(minimalPath));
    }
    const QString ini = folder.filePath(QStringLiteral("dorel-rpu-sela.INI"));
    bool allOk = true;
    for (int r = 0; r < runs && allOk; ++r) {
        for (Subject &subject : subjects) {
            QFile::remove(ini);
            if (!subject.ini.isEmpty() && !WriteText(ini, subject.ini))
                return 1;
            const Run run = StartOnce(QFile::encodeName(subject.path), errorLog, subject.argument);
            if (!run.ok) {
                std::fprintf(stderr, "%s: run %d failed\n", subject.name, r);
                allOk = false;
                break;
            }
            subject.times.push_back(run.ms);
            subject.cpu.push_back(run.cpuMs);
            subject.maxRssKiB = std::max(subject.maxRssKiB, run.maxRssKiB);
        }
    }
    for (const Subject &subject : subjects) {
        const std::vector<double> &times = subject.times;
        std::printf("%s: median %.1f ms, cpu %.1f ms, best %.1f ms, first %.1f ms (%zu runs), max RSS %.1f MB\n",
                    subject.name, MedianOf(times), MedianOf(subject.cpu),
                    times.empty() ? 0.0 : *std::min_element(times.begin(), times.end()),
                    times.empty() ? 0.0 : times.front(), times.size(), double(subject.maxRssKiB) * 1024 / 1e6);
    }
    if (withMinimal && allOk) {
        const double russian = MedianOf(subjects[0].times), minimal = MedianOf(subjects[2].times);
        const double fonts = MedianOf(subjects[3].times);
        std::printf("start RU over minimal: %.2f (%.1f / %.1f ms; cpu %.1f / %.1f ms)\n", russian / minimal, russian,
                    minimal, MedianOf(subjects[0].cpu), MedianOf(subjects[2].cpu));
        std::printf("program's fonts over minimal: %.2f; start RU over that: %.2f\n", fonts / minimal,
                    russian / fonts);
    }
    QFile log(QString::fromLocal8Bit(errorLog));
    if (log.open(QIODevice::ReadOnly) && log.size() > 0)
        std::printf("the program said on stderr:\n%s", log.readAll().constData());
    return allOk ? 0 : 1;
}
