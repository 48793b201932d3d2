#include "ops/blockops.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "session/outcomemessages.h"

namespace rpu::ops {

int EnterOtherPages(DeviceSession &session)
{
    if (!session.Break())
        return msg::kBreakNotSent;
    return OutcomeMessage(session.Init(kInitOtherPages));
}

BlockReadVerdict ReadImage(DeviceSession &session, BlockRange range, Entry entry)
{
    BlockReadVerdict verdict;
    verdict.cells.assign(std::size_t(range.Cells()), 0);
    if (entry == Entry::Renew) {
        verdict.message = EnterOtherPages(session);
        if (!verdict.ok())
            return verdict;
    }
    std::vector<int> cells(verdict.cells.size(), 0);
    verdict.message = OutcomeMessage(session.ReadBlocks(range.count, range.first, cells));
    if (verdict.ok()) {
        for (int &cell : cells)
            cell &= 0xFF;
        verdict.cells = std::move(cells);
    }
    return verdict;
}

ReadBackCheck CompareCells(std::span<const int> written, std::span<const int> read)
{
    ReadBackCheck check;
    check.done = true;
    const std::size_t n = std::max(written.size(), read.size());
    for (std::size_t i = 0; i < n; ++i) {
        // A cell missing on one side differs: a short read is no proof.
        const int w = i < written.size() ? written[i] & 0xFF : -1;
        const int r = i < read.size() ? read[i] & 0xFF : -1;
        if (w == r)
            continue;
        if (check.differences++ == 0) {
            check.firstOffset = int(i);
            check.firstWritten = w;
            check.firstRead = r;
        }
    }
    return check;
}

QString DescribeReadBack(const ReadBackCheck &check, const MessageCatalogue &catalogue)
{
    if (!check.done)
        return {};
    if (check.differences == 0)
        return catalogue.Text(msg::kReadBackIdentical);
    return catalogue.Format(msg::kReadBackDiffers,
                            {FormatArg(qint64(check.differences)), FormatArg(qint64(check.firstOffset)),
                             FormatArg(qint64(check.firstWritten)), FormatArg(qint64(check.firstRead))});
}

BlockWriteVerdict WriteImage(DeviceSession &session, BlockRange range, std::span<const int> cells,
                             Entry entry, ReadBack readBack)
{
    BlockWriteVerdict verdict;
    if (int(cells.size()) != range.Cells()) {
        // Never send a partial or oversized image.
        verdict.message = msg::kDataNotWritten;
        return verdict;
    }
    if (entry == Entry::Renew) {
        if ((verdict.message = EnterOtherPages(session)) != 0)
            return verdict;
    }
    if ((verdict.message = OutcomeMessage(session.WriteBlocks(range.count, range.first, cells))) != 0)
        return verdict;
    verdict.written = true;
    if (readBack == ReadBack::No)
        return verdict;
    // The device is entered again for the read, whichever front end asked.
    const BlockReadVerdict read = ReadImage(session, range, Entry::Renew);
    if (!read.ok()) {
        verdict.message = read.message;
        return verdict;
    }
    verdict.readBack = CompareCells(cells, read.cells);
    return verdict;
}

} // namespace rpu::ops
