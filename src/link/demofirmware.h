#pragma once
// Images made for the simulated receiver, for demos and training. They are
// well-formed so the simulator takes them, and marked so that the path to a
// real receiver refuses them.
//
// The mark: header bytes 4..7 are "DEMO" and the body starts with
// kDemoFirmwareText. A real image's first 8 bytes are a command frame ending
// in its CRC-16; for type 0x12 no version byte gives "DE" a CRC of "MO", so
// no image for this receiver can carry the mark.

#include "link/protocol.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

namespace rpu {

inline constexpr std::string_view kDemoFirmwareTag = "DEMO";
inline constexpr std::size_t kDemoFirmwareTagOffset = 4;
// Readable in a hex dump; 32 bytes, within the first body packet.
inline constexpr std::string_view kDemoFirmwareText = "rpu-sim demo image, no firmware!";
inline constexpr std::size_t kDemoFirmwareTextOffset = 8;

inline bool IsDemoFirmwareImage(std::span<const std::uint8_t> image)
{
    const auto holds = [image](std::size_t offset, std::string_view text) {
        return image.size() >= offset + text.size()
               && std::equal(text.begin(), text.end(), image.begin() + std::ptrdiff_t(offset),
                             [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
    };
    return holds(kDemoFirmwareTagOffset, kDemoFirmwareTag)
           && holds(kDemoFirmwareTextOffset, kDemoFirmwareText);
}

} // namespace rpu
