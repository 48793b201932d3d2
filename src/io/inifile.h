#pragma once
// The configuration file as the user wrote it. Values are read whole (a
// comma, a ';' or a blank inside a value stays), and a change replaces one
// line and keeps every other byte: comments, order, line ends. QSettings
// would read "socket:/run/rpu;bench3.sock" as "socket:/run/rpu" and a comma
// as a list, and rewrite the whole file on any change.

#include "io/safefile.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

namespace rpu {

// Far beyond any configuration file; a larger one is refused unread.
inline constexpr qint64 kMaxIniFileSize = 256 * 1024;

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(QByteArray bytes) : bytes_(std::move(bytes)) {}

    // The value of key in section (names compared exactly), blanks around it
    // dropped and one pair of double quotes removed. A key given twice: the
    // later one counts.
    std::optional<QString> Value(const QString &section, const QString &key) const;
    QString Value(const QString &section, const QString &key, const QString &fallback) const
    {
        return Value(section, key).value_or(fallback);
    }
    // Every key of a section (all sections of that name), the later one winning.
    QHash<QString, QString> Section(const QString &section) const;

    // The file with key set to value: the line that Value reads is replaced
    // (the text before the value kept); a missing key is added after the last
    // line of its section, a missing section at the end. Every other byte
    // stays as it was; new lines take the file's line end.
    QByteArray WithValue(const QString &section, const QString &key, const QString &value) const;

    const QByteArray &Bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

// NotText: the file is not UTF-8 text (a UTF-16 file, a binary file).
enum class IniTextFault { None, NotText };

struct IniRead {
    IniDocument document;
    FileOutcome file;  // Missing is no problem: every value has its default
    IniTextFault text = IniTextFault::None;

    // Something is wrong that the user should hear about at start.
    bool HasProblem() const
    {
        return text != IniTextFault::None || (!file.ok() && file.fault != FileFault::Missing);
    }
};

// Bounded, regular files only; a file with a problem reads as empty.
IniRead ReadIniFile(const QString &path);

// Sets one value in the file (created when missing) and writes it atomically.
// A file that cannot be read (not regular, not text, too large) is not
// touched: its fault is returned.
FileOutcome WriteIniValue(const QString &path, const QString &section, const QString &key, const QString &value);

} // namespace rpu
