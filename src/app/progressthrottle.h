#pragma once
// A transfer's progress and status text, passed on to the window's bars at
// most once per interval. A repaint of the bars costs more than the bytes
// behind it, and a firmware write announces its percentage thousands of
// times. 0 % and 100 % (and the text that follows each) pass at once; what is
// held back is passed on by a timer, so the last value is always shown.

#include "app/qtpacer.h"
#include "link/transport.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace rpu {

class ProgressThrottle final : public QObject, public ProgressSink {
public:
    using SetBar = std::function<void(int percent)>;
    using SetText = std::function<void(const QString &text)>;
    ProgressThrottle(SetBar setBar, SetText setText, int intervalMs, QObject *parent = nullptr,
                     MillisecondClock clock = {});

    void SetProgress(int percent) override;
    void ShowStatus(const QString &text) override;

    // Passes on what is held back, now.
    void Flush();
    // Forget what is held back: a value set on the bars directly must not be
    // overwritten later by an older one.
    void DropProgress() { heldPercent_.reset(); }
    void DropStatus() { heldText_.reset(); }
    const std::optional<QString> &HeldStatus() const { return heldText_; }
    // True while a pass-on is waiting for its timer.
    bool Waiting() const { return timer_.isActive(); }

private:
    // True when passed on now, false when held for the timer.
    bool PassOn(bool now);

    SetBar setBar_;
    SetText setText_;
    int intervalMs_;
    MillisecondClock clock_;
    QTimer timer_;
    qint64 lastPassMs_ = 0;
    bool passedOnce_ = false;
    bool nextTextAtOnce_ = false;
    std::optional<int> heldPercent_;
    std::optional<QString> heldText_;
};

} // namespace rpu
