#include "app/qtpacer.h"

#include <QCoreApplication>
#include <chrono>
#include <thread>

namespace rpu {

void QtPacer::Pause(int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    // A plain sleep overshoots by a few tenths of a millisecond; over the
    // hundreds of pauses of a firmware write that adds up. Sleep short of the
    // deadline and wait out the rest.
    constexpr auto kMargin = std::chrono::microseconds(400);
    if (deadline - Clock::now() > kMargin)
        std::this_thread::sleep_until(deadline - kMargin);
    while (Clock::now() < deadline)
        std::this_thread::yield();
}

void QtPacer::ProcessEvents()
{
    QCoreApplication::processEvents();
}

} // namespace rpu
