#pragma once
// Every text the program's code shows, by message number (10001..11000).

#include <QString>
#include <array>
#include <functional>
#include <memory>

namespace rpu {

inline constexpr int kFirstMessageNumber = 10001;
inline constexpr int kCatalogueSlots = 1000;
inline constexpr int kMaxMessageLength = 254;

// Where the catalogue's texts come from: the built-in Russian texts or a
// language module. An empty text means the number is missing.
class StringSource {
public:
    virtual ~StringSource() = default;
    virtual QString String(int number) const = 0;
};

// The program's own texts.
QString BuiltinRussianText(int number);

class BuiltinStringSource final : public StringSource {
public:
    QString String(int number) const override { return BuiltinRussianText(number); }
};

class MessageCatalogue {
public:
    // Text of message n; empty for a slot never filled or a number outside 10001..11000.
    QString Text(int number) const;
    QString operator[](int number) const { return Text(number); }
    // Slots from the first on, until the source has no text for a number.
    // Texts are cut to 254 characters; later slots keep what they held.
    void Fill(const StringSource &source);

    // printf-style placeholders of a message: %d, %s, %.1f, %%.
    QString Format(int number, int value) const;
    QString Format(int number, const QString &value) const;

private:
    std::array<QString, kCatalogueSlots> slots_;
};

// Opens the language module of a code, or null when there is none that can be
// read. programFilePath: the program's full path.
using ModuleOpener = std::function<std::unique_ptr<StringSource>(const QString &modulePath)>;

// The program's own language module reader.
std::unique_ptr<StringSource> OpenLanguageModule(const QString &modulePath);

// The module file of a code: the program's path with its extension replaced
// by "." + code.
QString LanguageModulePath(const QString &programFilePath, const QString &code);

// Fills the catalogue for a locale code: empty or exactly "RU" selects the
// built-in texts; any other code its module beside the program, falling back
// to the built-in texts when the module cannot be opened.
void LoadMessageCatalogue(MessageCatalogue &catalogue, const QString &localeCode,
                          const QString &programFilePath,
                          const ModuleOpener &openModule = OpenLanguageModule);

} // namespace rpu
