#include "link/simbackend.h"

#include "link/deviceidentity.h"

namespace rpu {

namespace {

class SimPipe final : public Pipe {
public:
    SimPipe(SimDevice &device, PipeKind kind) : device_(device), kind_(kind) {}

    bool Write(std::span<const std::uint8_t> bytes) override
    {
        if (kind_ != PipeKind::Write || device_.LinkDropped())
            return false;
        device_.Receive(bytes);
        // The bytes that killed the link did not get through either.
        return !device_.LinkDropped();
    }

    int Read(std::span<std::uint8_t> buffer) override
    {
        if (kind_ != PipeKind::Read || device_.LinkDropped())
            return -1;
        // A read after a quiet spell is when the device notices the program paused.
        if (device_.Pending() == 0)
            device_.Idle();
        if (device_.LinkDropped())
            return -1;
        return device_.Take(buffer);
    }

    void Flush() override
    {
        if (kind_ == PipeKind::Read)
            device_.DiscardOutput();
    }

private:
    SimDevice &device_;
    PipeKind kind_;
};

class SimInterface final : public DeviceInterface {
public:
    SimInterface(SimDevice &device, QString openError, int index)
        : device_(device), openError_(std::move(openError)), index_(index)
    {
    }

    QString Identity() const override { return SimulatorIdentity(index_); }

    std::unique_ptr<Pipe> OpenPipe(PipeKind kind, QString *error) override
    {
        if (!openError_.isEmpty()) {
            if (error)
                *error = openError_;
            return nullptr;
        }
        return std::make_unique<SimPipe>(device_, kind);
    }

private:
    SimDevice &device_;
    QString openError_;
    int index_;
};

} // namespace

SimBackend::SimBackend(SimDevice &device, int deviceCount)
    : device_(device), deviceCount_(deviceCount)
{
}

std::vector<std::unique_ptr<DeviceInterface>> SimBackend::Enumerate()
{
    std::vector<std::unique_ptr<DeviceInterface>> found;
    for (int i = 0; i < deviceCount_; ++i)
        found.push_back(std::make_unique<SimInterface>(device_, pipeOpenError_, i + 1));
    return found;
}

} // namespace rpu
