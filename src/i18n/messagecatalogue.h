#pragma once
// Every text the program's code shows, by message number (10001..11000).

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace rpu {

inline constexpr int kFirstMessageNumber = 10001;
inline constexpr int kCatalogueSlots = 1000;
// The last number the program has a built-in text for: the numbered table
// ends at 10087, and the program's own texts follow it.
inline constexpr int kLastProgramMessage = 10230;
inline constexpr int kMaxMessageLength = 254;

// Where the catalogue's texts come from: the built-in Russian texts or a
// language module. An empty text means the number is missing.
class StringSource {
public:
    virtual ~StringSource() = default;
    virtual QString String(int number) const = 0;
};

// A text cut to kMaxMessageLength UTF-16 units, one less where the cut would
// split a surrogate pair (a character outside the BMP is kept whole or left out).
QString CutMessageText(const QString &text);

// The program's own texts.
QString BuiltinRussianText(int number);

// A number after the numbered table and up to kLastProgramMessage that the
// program has no text for: kept free, not a gap. Loading (built-in texts or a
// module) passes over it instead of stopping there.
bool IsReservedMessageNumber(int number);

class BuiltinStringSource final : public StringSource {
public:
    QString String(int number) const override { return BuiltinRussianText(number); }
};

// One argument of a formatted message.
using FormatArg = std::variant<qint64, double, QString>;

// The placeholders of a printf-style text as kinds, in order: 'd' whole
// number, 'f' floating number, 's' text ("%%" is no placeholder). Nothing
// when the text holds a conversion the program never uses, a '*' width, or a
// width or precision over 254.
std::optional<QString> PlaceholderKinds(const QString &text);
// Same count and kinds of placeholders as the reference text.
bool PlaceholdersMatch(const QString &text, const QString &reference);
// Fills the placeholders with the arguments, converted to each placeholder's
// kind (a missing argument counts as 0 or empty); floating numbers take the
// decimal point of the default QLocale. Never reads beyond the arguments.
QString FormatMessage(const QString &text, const std::vector<FormatArg> &args);

class MessageCatalogue {
public:
    // Text of message n; empty for a slot never filled or a number outside 10001..11000.
    QString Text(int number) const;
    QString operator[](int number) const { return Text(number); }
    // Slots from the first on, until the source has no text for a number.
    // Texts are cut to 254 characters; later slots keep what they held.
    void Fill(const StringSource &source);

    // printf-style placeholders of a message: %d, %s, %.1f, %%. A text whose
    // placeholders differ from the built-in Russian text's is not used; the
    // Russian text is.
    QString Format(int number, const std::vector<FormatArg> &args) const;
    QString Format(int number, int value) const { return Format(number, {FormatArg(qint64(value))}); }
    QString Format(int number, int a, int b) const { return Format(number, {FormatArg(qint64(a)), FormatArg(qint64(b))}); }
    QString Format(int number, double value) const { return Format(number, {FormatArg(value)}); }
    QString Format(int number, const QString &value) const { return Format(number, {FormatArg(value)}); }
    // Numbers whose text has other placeholders than the built-in text's.
    std::vector<int> MismatchedPlaceholders() const;

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
// The module file of a code, named after the program's file, in the first of
// folders that holds it; empty when none does.
QString FindLanguageModuleFile(const QStringList &folders, const QString &programFilePath, const QString &code);

// Fills the catalogue for a locale code: empty or exactly "RU" selects the
// built-in texts; any other code its module beside the program, falling back
// to the built-in texts when the module cannot be opened.
void LoadMessageCatalogue(MessageCatalogue &catalogue, const QString &localeCode,
                          const QString &programFilePath,
                          const ModuleOpener &openModule = OpenLanguageModule);

} // namespace rpu
