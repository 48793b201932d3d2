#pragma once
// Language modules: a UTF-8 text file with a message table and window
// layouts (text or base64 binary). Format: docs/language-modules.md.

#include "i18n/messagecatalogue.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

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
    // Null when the file cannot be read or is not UTF-8.
    static std::unique_ptr<LanguageModule> Load(const QString &path);

    QString String(int number) const override { return messages_.value(number); }
    QStringList Problems() const { return problems_; }

private:
    void ParseMessageLine(const QString &line, int lineNo);
    void AddLayoutSection(const QString &body, bool base64, int lineNo);

    QHash<int, QString> messages_;
    QStringList problems_;
};

// What a translator should mend in a module: its Problems(), the first
// message the program's numbers need that is missing (loading stops there),
// and texts whose placeholders differ from the Russian text's.
QStringList CheckLanguageModule(const LanguageModule &module);

} // namespace rpu
