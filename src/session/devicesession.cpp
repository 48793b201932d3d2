#include "session/devicesession.h"

#include "link/demofirmware.h"
#include "link/usblink.h"

namespace rpu {

// Marks the session busy for the length of one exchange; nests.
class DeviceSession::BusyScope {
public:
    explicit BusyScope(DeviceSession &session) : session_(session)
    {
        if (session_.busy_++ == 0)
            emit session_.stateChanged();
    }
    ~BusyScope()
    {
        if (--session_.busy_ == 0)
            emit session_.stateChanged();
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    DeviceSession &session_;
};

DeviceSession::DeviceSession(UsbLink *link, Transport &transport, Pacer &pacer,
                             const MessageCatalogue &catalogue, QObject *parent)
    : QObject(parent), link_(link), transport_(transport), pacer_(pacer), catalogue_(catalogue)
{
}

void DeviceSession::SetMode(WorkMode mode)
{
    if (mode_ == mode)
        return;
    mode_ = mode;
    emit stateChanged();
}

void DeviceSession::SetState(LinkState state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged();
}

void DeviceSession::ForgetDeviceClass()
{
    info_.deviceClass = -1;
}

LinkContext DeviceSession::Context()
{
    return LinkContext{transport_, pacer_, *this, catalogue_};
}

OpenOutcome DeviceSession::Open()
{
    if (!link_)
        return OpenOutcome::NoDevice;
    BusyScope busy(*this);
    if (link_->OpenUsbDevice())
        return OpenOutcome::Opened;
    return link_->UsbDeviceCount() == 0 ? OpenOutcome::NoDevice : OpenOutcome::SeveralDevices;
}

LinkProblem DeviceSession::LastLinkProblem() const
{
    return link_ ? link_->LastProblem() : LinkProblem{};
}

void DeviceSession::Close()
{
    if (link_)
        link_->CloseUsbDevice();
}

bool DeviceSession::Break()
{
    BusyScope busy(*this);
    LinkContext link = Context();
    return BreakLink(link);
}

InitOutcome DeviceSession::Init(std::uint8_t code)
{
    BusyScope busy(*this);
    info_.deviceClass = -1;
    LinkContext link = Context();
    return static_cast<InitOutcome>(InitLink(link, code, info_));
}

BlockReadOutcome DeviceSession::ReadBlocks(int blockCount, int firstBlock, std::span<int> cells)
{
    BusyScope busy(*this);
    LinkContext link = Context();
    return static_cast<BlockReadOutcome>(ReadDeviceBlocks(link, blockCount, firstBlock, cells));
}

BlockWriteOutcome DeviceSession::WriteBlocks(int blockCount, int firstBlock,
                                             std::span<const int> cells)
{
    BusyScope busy(*this);
    LinkContext link = Context();
    return static_cast<BlockWriteOutcome>(WriteDeviceBlocks(link, blockCount, firstBlock, cells));
}

bool DeviceSession::Simulated() const
{
    return link_ && link_->Simulated();
}

FirmwareOutcome DeviceSession::WriteFirmware(std::span<const std::uint8_t> image)
{
    // A demo image in a real receiver would replace its firmware with a
    // pattern; it is refused before the first byte.
    if (!Simulated() && IsDemoFirmwareImage(image))
        return FirmwareOutcome::DemoImage;
    BusyScope busy(*this);
    LinkContext link = Context();
    return static_cast<FirmwareOutcome>(rpu::WriteFirmware(link, image));
}

} // namespace rpu
