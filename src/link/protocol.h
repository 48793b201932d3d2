#pragma once
// The numbers of the device protocol, in one place: frames, packets, blocks
// and what identifies this edition's firmware.

#include <cstdint>

namespace rpu {

// Bulk data travels in packets of this size; frames and tails byte by byte.
inline constexpr int kPacketSize = 64;

// Frame codes: the handshake for the main page and for the other pages (the
// main-page code with a zero parameter also breaks the link), block commands.
inline constexpr std::uint8_t kInitMainPage = 0xA0;
inline constexpr std::uint8_t kInitOtherPages = 0xAA;
inline constexpr std::uint8_t kCmdWriteBlocks = 0x94;
inline constexpr std::uint8_t kCmdReadBlocks = 0x93;

// Device memory blocks: the registration memory is blocks 0..6, the
// settings block is block 7.
inline constexpr int kBlockSize = 256;
inline constexpr int kRegistrationBlockCount = 7;
inline constexpr int kRegistrationFirstBlock = 0;
inline constexpr int kSettingsBlockCount = 1;
inline constexpr int kSettingsFirstBlock = 7;

// Firmware images: a command frame, whole packets, two tail bytes.
inline constexpr std::uint8_t kSelaFirmwareTypeCode = 0x12;
inline constexpr int kFirmwareFrameBytes = 8;
inline constexpr int kFirmwareTailBytes = 2;
// The only device class whose firmware this edition updates.
inline constexpr int kSelaDeviceClass = 2;

} // namespace rpu
