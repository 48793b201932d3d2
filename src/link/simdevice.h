#pragma once
// A simulated receiver: answers every exchange the program makes, from its
// own 8 blocks of memory, firmware version byte and type code.

#include "link/protocol.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace rpu {

// Knobs that make the device misbehave, for tests and demos.
struct SimFaults {
    bool noAnswer = false;       // reads nothing, answers nothing
    bool badHeader = false;      // answers start 55 54, block data starts AA 55
    bool badCrc = false;         // answer frames and block data carry a wrong CRC
    bool refuseWrite = false;    // block writes acknowledged with byte 3 = 1
    bool refuseFirmware = false; // firmware answered with byte 3 = 1
    bool shortPacket = false;    // block reads leave out the last data byte: its packet arrives short
    long dropAfterBytes = -1;    // the link dies once this many bytes crossed it (both ways); -1 never
};

class SimDevice {
public:
    static constexpr int kMemorySize = 8 * 256;
    static constexpr std::uint8_t kSelaTypeCode = kSelaFirmwareTypeCode;

    explicit SimDevice(std::uint8_t versionByte = 46, std::uint8_t typeCode = kSelaTypeCode);

    // Bytes from the program, in the order written.
    void Receive(std::span<const std::uint8_t> bytes);
    // Bytes for the program: copies up to out.size() of them, returns how many.
    // Stops early at the end of a short packet.
    int Take(std::span<std::uint8_t> out);
    int Pending() const;
    // The program went quiet (it paused or started to read): a firmware image
    // that ends on whole packets plus its two tail bytes is complete now.
    void Idle();
    // Forget half-received input and unread output (a fresh handshake).
    void DiscardOutput();

    bool LinkDropped() const;

    std::uint8_t VersionByte() const { return version_; }
    void SetVersionByte(std::uint8_t v) { version_ = v; }
    std::uint8_t TypeCode() const { return typeCode_; }
    std::array<std::uint8_t, kMemorySize> &Memory() { return memory_; }
    const std::array<std::uint8_t, kMemorySize> &Memory() const { return memory_; }
    SimFaults &Faults() { return faults_; }
    // Firmware images accepted so far (their lengths), newest last.
    const std::vector<int> &AcceptedFirmwareLengths() const { return firmwareLengths_; }

    // A registration memory with a configuration code, and the factory
    // settings in block 7.
    static std::array<std::uint8_t, kMemorySize> DefaultMemory();

    // State file: memory and version byte. False when it cannot be read or
    // written (a missing file is not loaded and leaves the state as it was).
    bool LoadState(const QString &path);
    bool SaveState(const QString &path) const;

    // One line per exchange, for the simulator program's log.
    void SetLogger(std::function<void(const QString &)> logger) { logger_ = std::move(logger); }

private:
    enum class Phase { Frame, WriteData, Firmware };

    void Accept(std::uint8_t byte);
    void OnFrame();
    void OnWriteData();
    void FinishFirmware();
    void Answer(std::span<const std::uint8_t> bytes);
    void AnswerFrame(std::uint8_t command, std::uint8_t p1, std::uint8_t p2);
    bool CountCrossing();
    void ResetInput();
    void Log(const QString &line) const;

    std::uint8_t version_;
    std::uint8_t typeCode_;
    std::array<std::uint8_t, kMemorySize> memory_{};
    SimFaults faults_;
    Phase phase_ = Phase::Frame;
    std::vector<std::uint8_t> input_;
    int writeCount_ = 0;         // block write in progress: count and first block
    int writeFirst_ = 0;
    std::vector<std::uint8_t> output_;
    std::size_t outputPos_ = 0;
    std::vector<std::size_t> packetEnds_; // a read never runs past these output positions
    long bytesCrossed_ = 0;
    bool dropped_ = false;
    std::vector<int> firmwareLengths_;
    std::function<void(const QString &)> logger_;
};

} // namespace rpu
