#include "link/wirereplay.h"

namespace rpu {

WireReplay::WireReplay(const std::vector<WireRecord> &records)
{
    constexpr std::uint8_t kBulk = 3;
    const WireRecord *first = nullptr;
    for (const WireRecord &r : records) {
        if (r.type != kBulk)
            continue;
        if (!first)
            first = &r;
        if (r.bus != first->bus || r.device != first->device || r.data.isEmpty())
            continue;
        // OUT bytes ride on the submit, IN bytes on the completion.
        const bool in = (r.endpoint & 0x80) != 0;
        if (in ? r.event != 'C' : r.event != 'S')
            continue;
        if (chunks_.empty() || chunks_.back().out == in)
            chunks_.push_back({!in, {}});
        chunks_.back().bytes += r.data;
    }
    Release();
}

void WireReplay::Receive(std::span<const std::uint8_t> bytes)
{
    for (const std::uint8_t byte : bytes) {
        if (!mismatch_.isEmpty())
            return;
        ++received_;
        if (Finished()) {
            mismatch_ = QStringLiteral("byte %1 of the program (%2) comes after the end of the capture")
                            .arg(received_).arg(byte, 2, 16, QLatin1Char('0'));
            return;
        }
        const QByteArray &expected = chunks_[index_].bytes;
        if (std::uint8_t(expected[offset_]) != byte) {
            mismatch_ = QStringLiteral("byte %1 of the program is %2, the capture has %3")
                            .arg(received_)
                            .arg(byte, 2, 16, QLatin1Char('0'))
                            .arg(std::uint8_t(expected[offset_]), 2, 16, QLatin1Char('0'));
            return;
        }
        if (++offset_ == expected.size()) {
            ++index_;
            offset_ = 0;
            Release();
        }
    }
}

void WireReplay::Release()
{
    while (!Finished() && !chunks_[index_].out) {
        output_ += chunks_[index_].bytes;
        ++index_;
    }
}

QByteArray WireReplay::TakeOutput()
{
    QByteArray out;
    out.swap(output_);
    return out;
}

qsizetype WireReplay::OutBytes() const
{
    qsizetype n = 0;
    for (const Chunk &c : chunks_)
        n += c.out ? c.bytes.size() : 0;
    return n;
}

qsizetype WireReplay::InBytes() const
{
    qsizetype n = 0;
    for (const Chunk &c : chunks_)
        n += c.out ? 0 : c.bytes.size();
    return n;
}

} // namespace rpu
