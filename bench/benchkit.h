#pragma once
// What the benchmarks share: a median, CPU time, user state kept aside and
// dialogs that answer at once.

#include "app/dialogs.h"

#include <QFile>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <ctime>
#include <vector>

namespace rpu::bench {

inline double MedianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// CPU time of the whole process so far: on a loaded machine it says what the
// wall time cannot.
inline double ProcessCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The per-user language record and Qt's runtime folder go into the bench's
// own folder, so a run leaves nothing behind in the user's settings.
inline void KeepUserStateIn(const QString &folder)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + QStringLiteral("/config")));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
}

// A window bench, before its QApplication: the window goes to the display
// (bench/run-all starts Xvfb where there is none), offscreen only when there
// is no display at all; the user state in the bench's folder.
inline void PrepareWindowBench(const QString &folder)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    KeepUserStateIn(folder);
}

// Every box answered at once (Yes or No as chosen); the texts are kept and
// error boxes counted, so a bench can refuse a run that went wrong.
class QuietDialogs final : public Dialogs {
public:
    explicit QuietDialogs(Answer yesNo = Answer::No) : yesNo_(yesNo) {}
    Answer MessageBox(QWidget *, const QString &, const QString &text, Icon icon, Buttons buttons) override
    {
        texts << text;
        if (icon == Icon::Error)
            ++errors;
        return buttons == Buttons::YesNo ? yesNo_ : Answer::Ok;
    }
    QString OpenFileName(QWidget *, const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString SaveFileName(QWidget *, const QString &, const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
    int errors = 0;
    QStringList texts;

private:
    Answer yesNo_;
};

} // namespace rpu::bench
