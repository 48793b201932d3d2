#pragma once
#include "link/transport.h"

namespace rpu {

// Sleeps for real and lets pending window events run.
class QtPacer final : public Pacer {
public:
    void Pause(int milliseconds) override;
    void ProcessEvents() override;
};

} // namespace rpu
