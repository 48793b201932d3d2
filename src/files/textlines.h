#pragma once
// The text form shared by settings files and registration backups: one
// decimal number per line, CR LF after every line. Reading is tolerant of
// line ends; writing is atomic. Errors are typed so that the window can pick
// a catalogue text or fall back on DescribeFileError.

#include <QString>
#include <QStringList>
#include <optional>

namespace rpu {

class MessageCatalogue;

enum class FileErrorKind {
    None,
    CannotOpen,   // missing or not permitted
    IsFolder,     // the name is a folder's
    CannotRead,   // the read failed part way
    TooLarge,     // far larger than any file of this kind
    TooShort,     // fewer lines than the format needs
    NotANumber,   // a line that is not a decimal integer
    OutOfRange,   // a decimal integer outside what the format allows
    CannotWrite,  // the new file could not be written; the old one is untouched
};

struct FileError {
    FileErrorKind kind = FileErrorKind::None;
    // 1-based line concerned: the bad line, or for TooShort the first missing one.
    int line = 0;
    int expectedLines = 0;  // TooShort: lines the format needs
    QString text;           // the bad line as read, shortened for display
    QString systemMessage;  // the system's reason for open, read and write failures

    bool ok() const { return kind == FileErrorKind::None; }
};

// The catalogue's text for a file error (numbers 10088 on), in the language
// in use. fileName is shown as given.
QString DescribeFileError(const FileError &error, const QString &fileName, const MessageCatalogue &catalogue);

// The text for a file that could not be removed.
QString DescribeRemoveError(const QString &fileName, const QString &systemMessage,
                            const MessageCatalogue &catalogue);

template <typename T>
struct FileResult {
    std::optional<T> value;
    FileError error;

    bool ok() const { return value.has_value(); }
};

// Nothing larger is a settings file or a backup; refusing it keeps a wrong
// pick (a firmware image, a video) from filling memory and the value buffer.
inline constexpr qint64 kMaxNumberFileSize = 1024 * 1024;

// Splits text at CR LF, LF or CR. A line end after the last line does not
// start another line; an empty text has no lines.
QStringList SplitTextLines(const QString &text);

// TooShort error for a text of found lines where expected are needed.
FileError TooShortError(qsizetype found, int expected);

// Reads a whole file as lines (UTF-8 byte-order mark dropped).
FileResult<QStringList> ReadTextLines(const QString &path);

// Writes every line followed by CR LF, through QSaveFile: on any failure the
// file keeps its old content (or stays absent).
FileError WriteTextLines(const QString &path, const QStringList &lines);

// A decimal integer as the old program read them: leading blanks and one
// sign allowed, ASCII digits only, nothing after. Returns the value when it
// lies in [min, max]; error kinds NotANumber or OutOfRange otherwise, with
// line and text filled.
FileResult<qint64> ParseDecimalLine(const QString &text, int line, qint64 min, qint64 max);

} // namespace rpu
