#pragma once
// Whole files read and written without surprises: only regular files are
// opened (a FIFO or a device node in place of a file would block or be
// replaced), reads are bounded, writes are atomic, and file names that are
// not UTF-8 keep their bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace rpu {

enum class FileFault {
    None,
    Missing,      // no such file (or a dangling link read)
    IsFolder,     // the name is a folder's
    NotRegular,   // a FIFO, a device node, a socket, or a link to one
    CannotOpen,   // not permitted, or another system refusal
    CannotRead,   // the read failed part way
    TooLarge,     // more bytes than the caller allows
    CannotWrite,  // the new file could not be written; the old one is untouched
};

struct FileOutcome {
    FileFault fault = FileFault::None;
    QString systemMessage;  // the system's reason, where it gave one

    bool ok() const { return fault == FileFault::None; }
};

struct FileBytes : FileOutcome {
    QByteArray bytes;
};

// A file name as the system holds it, in a QString and back. Bytes that are
// not UTF-8 become U+DC80..U+DCFF (one per byte) and go back as those bytes,
// so "set\xFF.cfg" is neither mangled nor reported missing. Qt's own
// decodeName turns such bytes into U+FFFD and loses them.
QString PathFromNative(QByteArrayView native);
QByteArray PathToNative(const QString &path);
// For messages: kept bytes shown as \xNN.
QString DisplayPath(const QString &path);

// True when something (a file, a folder, a link, even a dangling one) has this name.
bool PathExists(const QString &path);

// Checks the name before opening it (a folder, a FIFO, a device node, a link
// to one are refused), opens it without blocking, checks the open file again
// and reads at most maxBytes; a longer file is TooLarge.
FileBytes ReadRegularFile(const QString &path, qint64 maxBytes);

// Refuses a target that exists and is not a regular file, or a link to
// something that is not one (also a dangling link): replacing it would turn
// a device node or a FIFO into a plain file.
FileOutcome CheckOutputTarget(const QString &path);

// Checks the target, then writes the bytes so that the file holds either its
// old content or all of the new one (QSaveFile; a link to a regular file is
// written through). A name Qt cannot spell is written the same way by hand:
// a temporary file beside it, synced, then renamed over it.
FileOutcome WriteFileAtomically(const QString &path, QByteArrayView bytes);

} // namespace rpu
