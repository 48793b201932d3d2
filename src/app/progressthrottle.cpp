#include "app/progressthrottle.h"

#include <utility>

namespace rpu {

ProgressThrottle::ProgressThrottle(SetBar setBar, SetText setText, int intervalMs, QObject *parent,
                                   MillisecondClock clock)
    : QObject(parent), setBar_(std::move(setBar)), setText_(std::move(setText)), intervalMs_(intervalMs),
      clock_(clock ? std::move(clock) : MonotonicMilliseconds())
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ProgressThrottle::Flush);
}

void ProgressThrottle::SetProgress(int percent)
{
    heldPercent_ = percent;
    // The start and the end are always seen; the text that follows a
    // percentage goes out with it.
    nextTextAtOnce_ = PassOn(percent <= 0 || percent >= 100);
}

void ProgressThrottle::ShowStatus(const QString &text)
{
    heldText_ = text;
    PassOn(std::exchange(nextTextAtOnce_, false));
}

bool ProgressThrottle::PassOn(bool now)
{
    const qint64 since = clock_() - lastPassMs_;
    if (now || !passedOnce_ || since >= intervalMs_) {
        Flush();
        return true;
    }
    if (!timer_.isActive())
        timer_.start(int(intervalMs_ - since));
    return false;
}

void ProgressThrottle::Flush()
{
    timer_.stop();
    if (!heldPercent_ && !heldText_)
        return;
    lastPassMs_ = clock_();
    passedOnce_ = true;
    if (heldPercent_)
        setBar_(*std::exchange(heldPercent_, std::nullopt));
    if (heldText_)
        setText_(*std::exchange(heldText_, std::nullopt));
}

} // namespace rpu
