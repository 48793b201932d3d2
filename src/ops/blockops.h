#pragma once
// Block exchanges as whole operations: the entry before each exchange, the
// transfer, and the read-back that tells a written image from a lost one.
// A verdict carries the catalogue number of what went wrong; what to do with
// it (a message box and the link dropped, or a line and an exit code) is the
// front end's.

#include "link/protocol.h"
#include "session/devicesession.h"

#include <QString>
#include <span>
#include <vector>

namespace rpu {
class MessageCatalogue;
}

namespace rpu::ops {

struct BlockRange {
    int count;
    int first;
    int Cells() const { return count * kBlockSize; }
};
inline constexpr BlockRange kSettingsBlocks{kSettingsBlockCount, kSettingsFirstBlock};
inline constexpr BlockRange kRegistrationBlocks{kRegistrationBlockCount, kRegistrationFirstBlock};

// Before each exchange: the window's page was entered already; a bench job
// breaks and shakes hands again, as the window's page change does.
enum class Entry { AsEntered, Renew };

// Break and the handshake for the settings and backup pages; the catalogue
// number of a failure, or 0.
int EnterOtherPages(DeviceSession &session);

struct BlockReadVerdict {
    int message = 0;        // catalogue number of the failure; 0 when read
    std::vector<int> cells; // the image; all 0 unless read
    bool ok() const { return message == 0; }
};
BlockReadVerdict ReadImage(DeviceSession &session, BlockRange range, Entry entry);

// Cells that came back other than written, low 8 bits compared.
struct ReadBackCheck {
    bool done = false;      // a read-back ran and its read succeeded
    int differences = 0;
    int firstOffset = -1;
    int firstWritten = 0;
    int firstRead = 0;
    bool identical() const { return done && differences == 0; }
};
ReadBackCheck CompareCells(std::span<const int> written, std::span<const int> read);
// "identical", or how many cells differ and the first of them.
QString DescribeReadBack(const ReadBackCheck &check, const MessageCatalogue &catalogue);

enum class ReadBack { No, Yes };

struct BlockWriteVerdict {
    int message = 0;        // catalogue number of a failed write or read-back read
    bool written = false;   // the device acknowledged the data
    ReadBackCheck readBack;
    // Written, and when asked, read back identical.
    bool ok() const { return message == 0 && (!readBack.done || readBack.differences == 0); }
};
BlockWriteVerdict WriteImage(DeviceSession &session, BlockRange range, std::span<const int> cells,
                             Entry entry, ReadBack readBack);

} // namespace rpu::ops
