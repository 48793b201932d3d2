#pragma once
// The protocol's pauses, kept short of nothing and long by as little as the
// machine allows. A plain sleep wakes up to a scheduler tick late; over the
// hundreds of pauses of a firmware write that adds up to a visible share of
// the transfer. So: sleep to a margin before the deadline, then wait it out.
// The margin follows how late this thread's sleeps have woken lately.

#include <chrono>

namespace rpu {

using PauseClock = std::chrono::steady_clock;

// Returns no earlier than deadline.
void WaitUntil(PauseClock::time_point deadline);
// Returns no earlier than milliseconds after the call; nothing for 0 or less.
void PausePrecisely(int milliseconds);

// The margin for the next sleep, given the current one and how late the last
// sleep woke past the time it asked for.
std::chrono::nanoseconds NextSleepMargin(std::chrono::nanoseconds margin, std::chrono::nanoseconds lateBy);

inline constexpr std::chrono::nanoseconds kMinSleepMargin = std::chrono::microseconds(300);
inline constexpr std::chrono::nanoseconds kMaxSleepMargin = std::chrono::milliseconds(3);

} // namespace rpu
