#pragma once
#include "link/transport.h"

#include <QtGlobal>
#include <functional>

namespace rpu {

// Monotonic milliseconds since the call; the window's timing seams take
// such a clock so that tests can pass their own.
using MillisecondClock = std::function<qint64()>;
MillisecondClock MonotonicMilliseconds();

// The window's pacer: pauses exactly as long as asked (PausePrecisely), and
// lets pending window events run when the link offers a round. The link
// offers one every 8 bytes; a firmware write would run sixteen thousand of
// them, each a cost on the transfer, while the window needs one every few
// milliseconds to stay responsive. An offered round is held until the next
// pause and runs at its start, while the device waits anyway, so the
// window's paints cost the transfer nothing as long as they fit in the
// pause; a round held for the interval without a pause runs at once.
class QtPacer final : public Pacer {
public:
    static constexpr qint64 kEventRoundMs = 4;

    explicit QtPacer(MillisecondClock clock = {});
    void Pause(int milliseconds) override;
    void ProcessEvents() override;
    // Rounds of window events actually run.
    qint64 Rounds() const { return rounds_; }

private:
    void RunRound();

    MillisecondClock clock_;
    bool held_ = false;
    qint64 heldSinceMs_ = 0;
    qint64 rounds_ = 0;
};

} // namespace rpu
