// Firmware files as the main page and the command line take them from
// "base": the bytes as a file through the read and check, an accepted image
// into the value buffer; the input's lines as folder names through the name
// order and the newer-firmware rule.

#include "firmware/firmwarefile.h"
#include "session/valuebuffer.h"

#include "fuzzcheck.h"

#include <QStringList>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzz::Bytes(data, size);
    const rpu::FirmwareFile file = rpu::ReadFirmwareFile(fuzz::ScratchFile(QStringLiteral("rpu_sela_4_7.bin"), bytes));
    fuzz::Require(file.verdict != rpu::FirmwareVerdict::Unreadable, "a written file is readable");
    fuzz::Require(file.size == bytes.size(), "the size is the file's");
    const bool image = bytes.size() >= 4 && data[0] == rpu::kFirmwareHeaderByte && data[1] == rpu::kFirmwareHeaderByte
        && data[2] == rpu::kSelaFirmwareTypeCode && rpu::FirmwareLengthFitsPackets(bytes.size());
    fuzz::Require(file.accepted() == image, "accepted exactly when header, type and length are right");
    fuzz::Require(file.accepted() ? file.bytes == bytes : file.bytes.isEmpty(), "only an accepted file keeps its bytes");
    if (file.accepted()) {
        // What the main page hands to the write.
        rpu::ValueBuffer buffer;
        buffer.SetBytes(std::span<const std::uint8_t>(data, size));
        fuzz::Require(buffer.Count() == int(size), "the buffer holds the whole image");
        (void)rpu::FormatFirmwareVersion(file.versionByte);
    }

    QStringList names = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    std::sort(names.begin(), names.end(), rpu::FirmwareNameLess);
    for (qsizetype i = 0; i + 1 < names.size(); ++i)
        fuzz::Require(!rpu::FirmwareNameLess(names[i + 1], names[i]), "the name order is total");
    const int deviceVersion = size ? data[size - 1] : 0;
    const rpu::NewerFirmwareCheck check = rpu::CheckNewerFirmware(names, rpu::kSelaDeviceClass, deviceVersion);
    if (check.newer) {
        fuzz::Require(check.name == names.last(), "only the last name is offered");
        const std::optional<int> version = rpu::FirmwareNameVersion(check.name);
        fuzz::Require(version && *version > deviceVersion, "an offered name carries a higher version");
    }
    return 0;
}
