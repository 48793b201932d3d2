#pragma once
// A wire trace played back as the device at the other end of a byte stream
// (rpu-sim --replay): the program's writes must repeat the capture's OUT
// bytes in order, and the capture's IN bytes are the answers, released as
// soon as every OUT byte recorded before them has arrived. Transfer
// boundaries and timing are not kept; the bytes are.

#include "link/wiretrace.h"

#include <QByteArray>
#include <QString>
#include <span>
#include <vector>

namespace rpu {

class WireReplay {
public:
    // Bulk transfers of the first device that has any; the rest is left out.
    explicit WireReplay(const std::vector<WireRecord> &records);

    // Bytes from the program. Once one differs from the capture the replay
    // stops: nothing more is answered and Mismatch() says where.
    void Receive(std::span<const std::uint8_t> bytes);
    // The answer bytes released so far and not yet taken.
    QByteArray TakeOutput();

    bool Finished() const { return index_ >= chunks_.size(); }
    QString Mismatch() const { return mismatch_; }
    // OUT and IN bytes in the capture, for the log.
    qsizetype OutBytes() const;
    qsizetype InBytes() const;

private:
    struct Chunk {
        bool out = false;
        QByteArray bytes;
    };
    void Release();

    std::vector<Chunk> chunks_;
    std::size_t index_ = 0;
    qsizetype offset_ = 0;   // within an OUT chunk: bytes matched so far
    qsizetype received_ = 0; // all bytes the program wrote
    QByteArray output_;
    QString mismatch_;
};

} // namespace rpu
