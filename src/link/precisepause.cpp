#include "link/precisepause.h"

#include <algorithm>
#include <thread>

namespace rpu {

std::chrono::nanoseconds NextSleepMargin(std::chrono::nanoseconds margin, std::chrono::nanoseconds lateBy)
{
    using std::chrono::nanoseconds;
    lateBy = std::max(lateBy, nanoseconds(0));
    // A late wake-up widens the margin at once (with room to spare); calm
    // ones narrow it slowly, so one quiet sleep does not undo a busy spell.
    const nanoseconds wanted = lateBy + lateBy / 2;
    const nanoseconds next = wanted > margin ? wanted : margin - (margin - wanted) / 8;
    return std::clamp(next, kMinSleepMargin, kMaxSleepMargin);
}

void WaitUntil(PauseClock::time_point deadline)
{
    // Per thread: the command line pauses on one thread per receiver.
    thread_local std::chrono::nanoseconds margin = kMinSleepMargin;
    const PauseClock::time_point wake = deadline - margin;
    if (wake > PauseClock::now()) {
        std::this_thread::sleep_until(wake);
        margin = NextSleepMargin(margin, PauseClock::now() - wake);
    }
    while (PauseClock::now() < deadline)
        std::this_thread::yield();
}

void PausePrecisely(int milliseconds)
{
    if (milliseconds > 0)
        WaitUntil(PauseClock::now() + std::chrono::milliseconds(milliseconds));
}

} // namespace rpu
