#pragma once
// The text form shared by settings files and registration backups: one
// decimal number per line, CR LF after every line. Reading is tolerant of
// line ends; writing is atomic. Errors are typed so that the window can pick
// a catalogue text or fall back on DescribeFileError.

#include "io/inifile.h"
#include "io/safefile.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace rpu {

class MessageCatalogue;

enum class FileErrorKind {
    None,
    CannotOpen,   // missing or not permitted
    IsFolder,     // the name is a folder's
    NotRegular,   // a FIFO, a device node or a link to one: never opened nor replaced
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
    bool writing = false;   // NotRegular, IsFolder: the target of a write

    bool ok() const { return kind == FileErrorKind::None; }
};

// The file error for what the safe file layer reported.
FileError FileErrorFrom(const FileOutcome &outcome, bool writing);

// The catalogue's text for a file error (numbers 10088 on), in the language
// in use. fileName is shown as given.
QString DescribeFileError(const FileError &error, const QString &fileName, const MessageCatalogue &catalogue);

// What the user hears at start about a configuration file that could not be
// used (its defaults are then in force); empty when there is nothing to say.
QString DescribeIniProblem(const IniRead &read, const QString &path, const MessageCatalogue &catalogue);

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

// The lines of a text, one at a time, without a string per line: split at
// CR LF, LF or CR. A line end after the last line does not start another
// line; an empty text has no lines.
class TextLineCursor {
public:
    explicit TextLineCursor(QByteArrayView text) : text_(text) {}
    // The next line without its line end; false after the last.
    bool Next(QByteArrayView &line);
    int LinesRead() const { return read_; }
    // The text after the lines read (and their line ends).
    QByteArrayView Rest() const { return text_.sliced(std::min(pos_, text_.size())); }

private:
    QByteArrayView text_;
    qsizetype pos_ = 0;
    int read_ = 0;
};

// Lines in a text (as TextLineCursor counts them).
int CountTextLines(QByteArrayView text);

// Splits text at CR LF, LF or CR (as TextLineCursor).
QStringList SplitTextLines(const QString &text);

// TooShort error for a text of found lines where expected are needed.
FileError TooShortError(qsizetype found, int expected);

// Reads a whole number file (regular files only, at most
// kMaxNumberFileSize bytes), UTF-8 byte-order mark dropped.
FileResult<QByteArray> ReadTextFile(const QString &path);
// The same, split into lines.
FileResult<QStringList> ReadTextLines(const QString &path);

// Writes every line followed by CR LF, through QSaveFile: on any failure the
// file keeps its old content (or stays absent).
FileError WriteTextLines(const QString &path, const QStringList &lines);

// A decimal integer as the old program read them: leading blanks and one
// sign allowed, ASCII digits only, nothing after. Returns the value when it
// lies in [min, max]; error kinds NotANumber or OutOfRange otherwise, with
// line and text filled.
FileResult<qint64> ParseDecimalLine(QByteArrayView text, int line, qint64 min, qint64 max);
FileResult<qint64> ParseDecimalLine(const QString &text, int line, qint64 min, qint64 max);
// The same check without building an error, for loops over many lines: they
// ask ParseDecimalLine for the error only at the line that fails.
enum class DecimalFault { None, NotANumber, OutOfRange };
DecimalFault ReadDecimal(QByteArrayView text, qint64 min, qint64 max, qint64 &value);

} // namespace rpu
