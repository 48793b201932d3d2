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
    PausePrecisely(milliseconds);
}

void QtPacer::ProcessEvents()
{
    if (rounds_ > 0 && clock_() - lastRoundMs_ < kEventRoundMs)
        return;
    ++rounds_;
    QCoreApplication::processEvents();
    // Counted from the end of the round: a round that painted for long does
    // not make the next one due at once.
    lastRoundMs_ = clock_();
}

} // namespace rpu
