#include "cli/writeguard.h"

#include <atomic>
#include <csignal>

namespace rpu::cli {

namespace {

std::atomic<int> g_writes{0};
std::atomic<int> g_held{0};
std::atomic<bool> g_notice{false};

extern "C" void OnSignal(int signo)
{
    if (g_writes.load() == 0) {
        // Not writing: the default action, as if no handler were there.
        std::signal(signo, SIG_DFL);
        std::raise(signo);
        return;
    }
    g_held.store(signo);
    g_notice.store(true);
}

} // namespace

void InstallWriteSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signo : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signo, &action, nullptr);
}

WriteGuard::WriteGuard() { ++g_writes; }
WriteGuard::~WriteGuard() { --g_writes; }
WriteGuardPause::WriteGuardPause() { --g_writes; }
WriteGuardPause::~WriteGuardPause() { ++g_writes; }

int HeldSignal() { return g_held.load(); }
bool TakeSignalNotice() { return g_notice.exchange(false); }

bool ProgressPace::Due(int percent, qint64 nowMs)
{
    if (percent == shown_)
        return false;
    if (shown_ >= 0 && percent < 100 && percent > shown_ && nowMs - lastMs_ < kMinGapMs)
        return false;
    shown_ = percent;
    lastMs_ = nowMs;
    return true;
}

int SecondsLeft(int percent, qint64 elapsedMs)
{
    if (percent <= 0 || elapsedMs < 0)
        return -1;
    if (percent >= 100)
        return 0;
    const qint64 leftMs = elapsedMs * (100 - percent) / percent;
    return int((leftMs + 999) / 1000);
}

} // namespace rpu::cli
