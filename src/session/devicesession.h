#pragma once
// The one device session: owns the link state, the identified device and the
// work mode, and runs every exchange with the device. Outcomes are typed;
// what the user is told about them is the window's business.

#include "link/devicelink.h"

#include <QObject>
#include <cstdint>
#include <span>

namespace rpu {

class UsbLink;

enum class WorkMode { Demo, Online };

// Down: no link (start, after a break or a failure). Failed: the last page
// entry found no answer but the pipes are open. Linked: a page was entered.
enum class LinkState { Down, Failed, Linked };

enum class OpenOutcome { Opened, NoDevice, SeveralDevices };
// The values are the link's result codes.
enum class InitOutcome { Ok = 0, FrameNotSent = 1, NoAnswer = 2, BadHeader = 3, BadCrc = 4 };
enum class BlockReadOutcome { Ok = 0, FrameNotSent = 1, ReadFailed = 2, BadHeader = 3, BadCrc = 4 };
enum class BlockWriteOutcome { Ok = 0, FrameNotSent = 1, NoAcknowledgement = 2, Refused = 3, DataNotSent = 4 };
// DemoImage: a simulator's demo image for a real receiver; nothing was sent.
enum class FirmwareOutcome { Ok = 0, WriteFailed = 1, Refused = 2, NoAnswer = 3, DemoImage = 4 };

class DeviceSession final : public QObject, private ProgressSink {
    Q_OBJECT
public:
    // link may be null (no device layer at all); transport is what the
    // exchanges talk through (the link itself, or a recorder in tests).
    DeviceSession(UsbLink *link, Transport &transport, Pacer &pacer,
                  const MessageCatalogue &catalogue, QObject *parent = nullptr);

    WorkMode Mode() const { return mode_; }
    void SetMode(WorkMode mode);
    LinkState State() const { return state_; }
    void SetState(LinkState state);
    // True while an exchange runs; window events may run meanwhile, and
    // nothing that starts another exchange may be usable then.
    bool Busy() const { return busy_ > 0; }

    const DeviceInfo &Info() const { return info_; }
    // Device class -1: nothing identified.
    void ForgetDeviceClass();

    OpenOutcome Open();
    // Why the last Open found no usable device, where the link knows more.
    LinkProblem LastLinkProblem() const;
    void Close();
    bool Break();
    // Identifies the device; the class is -1 until an answer is accepted.
    InitOutcome Init(std::uint8_t code);
    BlockReadOutcome ReadBlocks(int blockCount, int firstBlock, std::span<int> cells);
    BlockWriteOutcome WriteBlocks(int blockCount, int firstBlock, std::span<const int> cells);
    FirmwareOutcome WriteFirmware(std::span<const std::uint8_t> image);
    // The device is simulated (in-process or rpu-sim): it may be shown as a
    // receiver only when marked so.
    bool Simulated() const;

signals:
    // Link state, work mode, busy or the identified device changed.
    void stateChanged();
    // A transfer's progress, 0..100, and its status text.
    void progressChanged(int percent);
    void statusChanged(const QString &text);

private:
    class BusyScope;
    LinkContext Context();
    void SetProgress(int percent) override { emit progressChanged(percent); }
    void ShowStatus(const QString &text) override { emit statusChanged(text); }

    UsbLink *link_;
    Transport &transport_;
    Pacer &pacer_;
    const MessageCatalogue &catalogue_;
    WorkMode mode_ = WorkMode::Online;
    LinkState state_ = LinkState::Down;
    int busy_ = 0;
    DeviceInfo info_;
};

} // namespace rpu
