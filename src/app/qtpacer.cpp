#include "app/qtpacer.h"

#include "link/precisepause.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>

namespace rpu {

MillisecondClock MonotonicMilliseconds()
{
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}

QtPacer::QtPacer(MillisecondClock clock) : clock_(clock ? std::move(clock) : MonotonicMilliseconds()) {}

void QtPacer::Pause(int milliseconds)
{
    if (!held_ || milliseconds <= 0) {
        PausePrecisely(milliseconds);
        return;
    }
    // The deadline is taken before the round: the round is part of the pause.
    const PauseClock::time_point deadline = PauseClock::now() + std::chrono::milliseconds(milliseconds);
    RunRound();
    WaitUntil(deadline);
}

void QtPacer::ProcessEvents()
{
    // An offered round waits for the next pause, or runs when it has waited
    // the interval: a transfer that does not pause still lets the window in.
    const qint64 now = clock_();
    if (!held_) {
        held_ = true;
        heldSinceMs_ = now;
        return;
    }
    if (now - heldSinceMs_ >= kEventRoundMs)
        RunRound();
}

void QtPacer::RunRound()
{
    held_ = false;
    ++rounds_;
    QCoreApplication::processEvents();
}

} // namespace rpu
