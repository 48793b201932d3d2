#pragma once
// Firmware files of the base folder: reading and checking one file, the
// listing of the folder and the rule that finds newer firmware by file name.
// No widgets here; the main window shows what these return.

#include "link/protocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace rpu {

class MessageCatalogue;

inline constexpr std::uint8_t kFirmwareHeaderByte = 0x55;
// Smallest image the transfer can send: frame and tail, no packets.
inline constexpr qint64 kMinFirmwareFileSize = kFirmwareFrameBytes + kFirmwareTailBytes;
// The device's program memory is far smaller; anything larger is not one of
// its images, and would cost a text line per byte in the value buffer.
inline constexpr qint64 kMaxFirmwareFileSize = 2 * 1024 * 1024;

enum class FirmwareVerdict {
    Accepted,   // header 55 55, type 0x12, a length the transfer sends whole
    BadFormat,  // not a firmware image (header, length, size)
    WrongType,  // a firmware image for another device type
    Unreadable  // missing, a folder, or the read failed
};

// Why an Unreadable file could not be read.
enum class FirmwareReadError { None, Missing, IsFolder, NotRegular, CannotOpen, CannotRead };

struct FirmwareFile {
    FirmwareVerdict verdict = FirmwareVerdict::Unreadable;
    QString fileName;        // without folder
    qint64 size = 0;         // bytes in the file
    QDateTime modified;      // last modification, local time
    std::uint8_t typeCode = 0;
    std::uint8_t versionByte = 0;
    QByteArray bytes;        // the whole file, header included (empty unless read)
    FirmwareReadError readError = FirmwareReadError::None;
    QString systemMessage;   // the system's reason for an open or read failure

    bool accepted() const { return verdict == FirmwareVerdict::Accepted; }
    // Name, size and date are meaningful (the file is a firmware image,
    // accepted or of another type).
    bool fileDataKnown() const
    {
        return verdict == FirmwareVerdict::Accepted || verdict == FirmwareVerdict::WrongType;
    }
};

// True when an image of this length is frame + whole 64-byte packets + tail:
// the transfer drops a final partial packet, so any other length would
// reach the device corrupted.
bool FirmwareLengthFitsPackets(qint64 length);

// Reads and checks one file, in this order: missing or a folder
// (Unreadable); larger than kMaxFirmwareFileSize (BadFormat, not read);
// the read fails (Unreadable); shorter than the 4 header bytes or header not
// 55 55 (BadFormat); type code not 0x12 (WrongType); a length the transfer
// cannot send whole (BadFormat); else Accepted. Name, size and date are
// filled whenever the file exists.
FirmwareFile ReadFirmwareFile(const QString &path);

// The catalogue's text for a file that was not accepted: why it could not
// be read, or the verdict's own message (wrong format, wrong type). Empty
// for an accepted file.
QString DescribeFirmwareFile(const FirmwareFile &file, const QString &shownName,
                             const MessageCatalogue &catalogue);
// The catalogue number of a content verdict (format or type); 0 otherwise.
int FirmwareVerdictMessage(FirmwareVerdict verdict);

// Version text of a firmware version byte: 47 → "4_7", 5 → "0_5",
// 123 → "1_3" (the tens digit of three-digit values is not shown).
QString FormatFirmwareVersion(int versionByte);

// Ascending name order of the base folder: names compared upper-cased, code
// point by code point (how NTFS orders a folder), exact code points breaking
// ties. Returns true when a sorts before b.
bool FirmwareNameLess(const QString &a, const QString &b);

// Names of the readable files in folder whose lower-cased name contains
// "sela", in ascending name order. Folders, broken links and entries that
// cannot be read are left out. A missing folder gives an empty list.
QStringList ListFirmwareFolder(const QString &folder);
// The same over several folders; a name found in more than one is listed
// once, and opened from the first folder that lists it.
QStringList ListFirmwareFolders(const QStringList &folders);
// The path a listed name is opened from: in the first folder that lists it,
// else in the first folder (where reading it reports the file missing).
QString FirmwareFilePath(const QStringList &folders, const QString &name);

// The version number a name carries: its digits 0-9 in order as one integer.
// nullopt for a name without digits or whose number exceeds the int range.
std::optional<int> FirmwareNameVersion(const QString &name);

struct NewerFirmwareCheck {
    QStringList listed;  // the folder's firmware names, in list order
    bool newer = false;
    QString name;        // the newer file (without folder) when newer
};

// The newer-firmware rule: the last listed name is newer when its number
// exceeds the device's version byte and the device is of the class this
// edition updates. A name without digits or with an out-of-range number is
// never newer.
NewerFirmwareCheck CheckNewerFirmware(const QStringList &listed, int deviceClass,
                                      int deviceVersionByte);
NewerFirmwareCheck FindNewerFirmwareIn(const QString &folder, int deviceClass,
                                       int deviceVersionByte);
NewerFirmwareCheck FindNewerFirmwareIn(const QStringList &folders, int deviceClass,
                                       int deviceVersionByte);

// A well-formed image: 55 55 type version, four further header bytes,
// packets × 64 body bytes in a fixed pattern, two tail bytes.
QByteArray MakeFirmwareImage(std::uint8_t typeCode, std::uint8_t versionByte, int packets);
// The same, type 0x12, at least one packet, with the demo mark
// (link/demofirmware.h): the simulator takes it, a real receiver is never
// sent it.
QByteArray MakeDemoFirmwareImage(std::uint8_t versionByte, int packets);

} // namespace rpu
