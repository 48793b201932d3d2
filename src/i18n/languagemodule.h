#pragma once
// Language modules: a UTF-8 text file with a message table and window
// layouts (text or base64 binary). Format: docs/language-modules.md.

#include "i18n/messagecatalogue.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace rpu {

// Stored window layouts by class name, in binary form.
class LayoutSource {
public:
    virtual ~LayoutSource() = default;
    // The binary layout stored for a class; empty when there is none.
    virtual QByteArray Layout(const QString &className) const = 0;
};

// Layouts kept in memory, keyed by the class of their root entry.
class LayoutSet : public LayoutSource {
public:
    QByteArray Layout(const QString &className) const override { return layouts_.value(className); }
    // Adds a binary layout; false when it has no readable root entry.
    bool AddBinary(const QByteArray &binary);
    // Adds a layout in text form; throws LayoutError on bad text.
    void AddText(const QString &text);
    QStringList Classes() const { return layouts_.keys(); }

private:
    QHash<QString, QByteArray> layouts_;
};

class LanguageModule final : public StringSource, public LayoutSet {
public:
    // Never fails: lines and layouts that cannot be read are left out and
    // listed in Problems().
    static std::unique_ptr<LanguageModule> Parse(const QString &text);
    // The file read and parsed: only a regular file (a FIFO or a device is
    // never opened), of at most kMaxModuleBytes, in UTF-8. Null otherwise,
    // with "<path>: <reason>" in *error.
    static std::unique_ptr<LanguageModule> Read(const QString &path, QString *error = nullptr);
    // What the program uses: Read, and null too when the module is refused
    // (see Refusal), with "<path>, line N: ..." in *error.
    static std::unique_ptr<LanguageModule> Load(const QString &path, QString *error = nullptr);

    QString String(int number) const override { return messages_.value(number); }
    QStringList Problems() const { return problems_; }
    // Set when a layout gives a position or size out of range: a window
    // cannot take it, so no part of the module is used. Also in Problems().
    QString Refusal() const { return refusal_; }

private:
    void ParseMessageLine(const QString &line, int lineNo);
    void AddLayoutSection(const QString &body, bool base64, int lineNo);

    QHash<int, QString> messages_;
    QStringList problems_;
    QString refusal_;
};

inline constexpr qint64 kMaxModuleBytes = 16 * 1024 * 1024;

// The bytes of a regular file (or a link to one) of at most limit bytes;
// nothing, with "<path>: <reason>" in *error, for anything else. Never
// blocks on a FIFO.
std::optional<QByteArray> ReadModuleBytes(const QString &path, qint64 limit, QString *error = nullptr);

// What a translator should mend in a module: its Problems(), the first
// message the program's numbers need that is missing (loading stops there),
// and texts whose placeholders differ from the Russian text's.
QStringList CheckLanguageModule(const LanguageModule &module);

} // namespace rpu
