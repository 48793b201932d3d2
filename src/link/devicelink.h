#pragma once
// The exchanges with the device: handshake, break, block transfers, firmware.

#include "link/transport.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace rpu {

class MessageCatalogue;

// CRC-16/ARC, folded one byte at a time, low byte sent first.
void Crc16Update(std::uint16_t &crc, std::uint8_t byte);
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

using DeviceFrame = std::array<std::uint8_t, 8>;
// 0x55 0x55 command p1 p2 p3 crcLow crcHigh
DeviceFrame MakeDeviceFrame(std::uint8_t command, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3 = 0);


struct DeviceInfo {
    int deviceClass = -1;        // -1 none, 0 РПУ/РТР, 1 МРО, 2 РПУ-SELA
    std::uint8_t versionByte = 0;
    int versionNumber = 0;
};

int DeviceClassOfVersion(int versionByte);
// Catalogue number of the type text of a class: 10005, 10006 or 10072.
int DeviceTypeMessage(int deviceClass);
QString FormatDeviceVersion(int versionByte);

// Everything an exchange talks to.
struct LinkContext {
    Transport &transport;
    Pacer &pacer;
    ProgressSink &progress;
    const MessageCatalogue &catalogue;
};

// 0 ok (info filled), 1 frame not sent, 2 no answer, 3 bad header, 4 bad CRC.
int InitLink(LinkContext &link, std::uint8_t code, DeviceInfo &info);
// True when all 8 bytes of the break frame were written.
bool BreakLink(LinkContext &link);

// cells: 256 * blockCount of them; the wire carries the low 8 bits.
// 0 ok, 1 frame not sent, 2 no acknowledgement, 3 refused, 4 data not sent.
int WriteDeviceBlocks(LinkContext &link, int blockCount, int firstBlock, std::span<const int> cells);
// 0 ok (cells replaced), 1 frame not sent, 2 read failed, 3 bad header, 4 bad CRC.
// cells are untouched unless the result is 0.
int ReadDeviceBlocks(LinkContext &link, int blockCount, int firstBlock, std::span<int> cells);

// 0 ok, 1 a write failed, 2 refused, 3 no answer.
int WriteFirmware(LinkContext &link, std::span<const std::uint8_t> image);

} // namespace rpu
