#pragma once
// The in-process simulated device as a backend of the link: 0, 1 or 2
// devices, all of them the same simulated device.

#include "link/simdevice.h"
#include "link/transport.h"

namespace rpu {

class SimBackend final : public DeviceBackend {
public:
    explicit SimBackend(SimDevice &device, int deviceCount = 1);

    std::vector<std::unique_ptr<DeviceInterface>> Enumerate() override;
    bool Simulated() const override { return true; }

    void SetDeviceCount(int count) { deviceCount_ = count; }
    int DeviceCount() const { return deviceCount_; }
    SimDevice &Device() { return device_; }
    // Non-empty: opening a pipe fails with this text (a driver that refuses the pipe names).
    void SetPipeOpenError(const QString &error) { pipeOpenError_ = error; }

private:
    SimDevice &device_;
    int deviceCount_;
    QString pipeOpenError_;
};

} // namespace rpu
