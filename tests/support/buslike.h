#pragma once
// The simulator behind a backend that does not say it is simulated: what the
// program sees of a real receiver on the bus.

#include "link/simbackend.h"

namespace rpu::test {

class BusLikeBackend final : public DeviceBackend {
public:
    explicit BusLikeBackend(SimDevice &device, int deviceCount = 1) : inner_(device, deviceCount) {}
    std::vector<std::unique_ptr<DeviceInterface>> Enumerate() override { return inner_.Enumerate(); }

private:
    SimBackend inner_;
};

} // namespace rpu::test
