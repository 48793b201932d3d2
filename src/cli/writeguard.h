#pragma once
// SIGINT, SIGTERM and SIGHUP while the command writes into a receiver: a cut
// write leaves it with half an image or half a memory, so the signal is
// held, the write finished, and the command ends with kExitSignalled.
// Outside a write the signals act as they always do.

#include <QtGlobal>

namespace rpu::cli {

// Installs the handlers; once, before any write.
void InstallWriteSignalHandlers();

// A write running for as long as it lives (nestable, any thread).
class WriteGuard {
public:
    WriteGuard();
    ~WriteGuard();
    WriteGuard(const WriteGuard &) = delete;
    WriteGuard &operator=(const WriteGuard &) = delete;
};

// Lets signals act again for its life inside a guard (a question to the user).
class WriteGuardPause {
public:
    WriteGuardPause();
    ~WriteGuardPause();
    WriteGuardPause(const WriteGuardPause &) = delete;
    WriteGuardPause &operator=(const WriteGuardPause &) = delete;
};

// The signal held during a write, 0 when none came.
int HeldSignal();
// True once after a signal came during a write: the caller says so.
bool TakeSignalNotice();

// Redraws of a terminal progress bar: a new percent at most every
// kMinGapMs, and 100 % always; the rest is dropped.
class ProgressPace {
public:
    static constexpr qint64 kMinGapMs = 100;
    bool Due(int percent, qint64 nowMs);

private:
    int shown_ = -1;
    qint64 lastMs_ = 0;
};

// The seconds a transfer still needs, from its share done after elapsedMs; -1 unknown.
int SecondsLeft(int percent, qint64 elapsedMs);

} // namespace rpu::cli
