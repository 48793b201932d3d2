#pragma once
// The resource locale runtime: finds language modules, makes one the source
// of window layouts, applies its locale and re-translates open windows.

#include "i18n/languagemodule.h"
#include "i18n/localestore.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QTranslator;

namespace rpu {

// A locale identifier: QLocale::Language in the low 10 bits, QLocale::Territory
// from bit 10 on. Territory 0 stands for the language as a whole.
using LocaleId = quint32;

QLocale LocaleOf(LocaleId id);
// "ENU" (language and the first letter of the territory) or "EN": the
// identifier, or 0 when no locale Qt knows has that code. A leading "." is
// ignored; case is not.
LocaleId ExtensionToLocale(const QString &code);
// The three-letter code, or the two-letter one for a language-only identifier.
QString LocaleToExtension(LocaleId id);
// The language's name, with " (" + the country's name + ")" when the
// identifier has a territory; in the language itself with nativeNames.
QString GetWindowsLocaleName(LocaleId id, bool nativeNames);

enum ResourceOption : unsigned {
    roNoThreadLocale = 1,
    roNoLocaleVariables = 2,
    roNoUpdateBidiMode = 4,
    roSaveLocale = 8,
    roFlipChildren = 16,
};
using ResourceOptions = unsigned;

struct ResourceEntry {
    QString code;
    LocaleId locale = 0;
    bool operator==(const ResourceEntry &) const = default;
};

inline constexpr char kBuiltinLocaleCode[] = "RU";
inline constexpr char kNoResourceFilesText[] = "In order to change language you must first create resource files.";

class ResourceLocale {
public:
    // fallbackFolder: where modules are looked for when none lies beside the
    // program; empty selects a folder in the user's documents.
    explicit ResourceLocale(QString programFilePath, LocaleOverrideStore store = LocaleOverrideStore(),
                            QString fallbackFolder = {});
    ~ResourceLocale();

    QString ProgramFilePath() const { return programFilePath_; }
    QString FallbackFolder() const { return fallbackFolder_; }
    // Where this program's modules are looked for, in order, before the
    // fallback folder; the program's own folder unless set.
    void SetModuleFolders(const QStringList &folders) { moduleFolders_ = folders; }
    QStringList ModuleFolders() const { return moduleFolders_; }
    const LocaleOverrideStore &Store() const { return store_; }

    void SetDefaultLocaleReg(const QString &programFilePath, const QString &code);
    QString GetCurrentDefaultLocaleReg() const;
    void SetCurrentDefaultLocaleReg();

    // Fills the list with the modules present for a program (empty: this one)
    // and gives their number; every locale counts as compatible.
    int GetAvailableResources(QList<ResourceEntry> &list, const QString &programFilePath = {},
                              bool compatibleOnly = false) const;
    int GetAvailableResourceCount(const QString &programFilePath = {}, bool compatibleOnly = false) const;
    // The number of modules; 0 with the failure text set when there is none.
    int CheckResourceCount(QString *failure = nullptr) const;

    // Makes the module of a code the layout source (empty: the built-in
    // layouts); null and no change when no module could be loaded.
    const LayoutSource *LoadNewResourceFile(const QString &code);
    // Why the last load found a module file and did not use it (not a
    // regular file, too large, not UTF-8, a layout out of range); empty when
    // it loaded or no file was there.
    QString ModuleRefusal() const { return refusal_; }
    // Switches the source, applies the locale and re-translates the open
    // windows. False when no module could be loaded (translateError then
    // holds ModuleRefusal()), or when the re-translation failed (then
    // translateError holds its text and the new module stays the source).
    bool SetNewResourceFile(const QString &code, ResourceOptions options, const QString &builtinCode,
                            QString *translateError = nullptr);

    QString LoadedResourceLocale() const { return loaded_; }
    QString PreviouslyLoadedResourceLocale() const { return previous_; }
    ResourceOptions Options() const { return options_; }
    bool RightToLeft() const { return rightToLeft_; }

    // The program's own (Russian) layouts, used while no module is loaded.
    LayoutSet &BuiltinLayouts() { return builtin_; }
    const LayoutSource &ResourceSource() const;

    // Start-up with the configuration file's code: records it for this
    // program and makes its module the source when there is one.
    void ApplyStartupLanguage(const QString &code);
    // A window just built: registered, then given the built-in layouts and,
    // while a module is the source, the module's. Gives the error text, or
    // an empty text.
    QString TranslateNewWindow(QObject *window);
    // The same for a part built later in a window translated before.
    QString TranslateNewPart(QObject *window, QObject *part);

    // Windows re-translated on a switch, in registration order.
    void RegisterWindow(QObject *window);
    void UnregisterWindow(QObject *window);
    QList<QObject *> OpenWindows() const;

    // The module file of a code in the first module folder holding it, else
    // in the fallback folder; empty when none does.
    QString FindModuleFile(const QString &code) const;

private:
    // Qt's own texts (dialog buttons and the like) in the chosen language.
    void InstallQtTranslations(const QLocale &locale);

    QString programFilePath_;
    LocaleOverrideStore store_;
    QString fallbackFolder_;
    QStringList moduleFolders_;
    std::unique_ptr<LanguageModule> module_;
    LayoutSet builtin_;
    QString loaded_;
    QString previous_;
    QString refusal_;
    ResourceOptions options_ = 0;
    bool rightToLeft_ = false;
    QList<QPointer<QObject>> windows_;
    std::unique_ptr<QTranslator> qtTranslator_;
};

// Fills the catalogue for the code recorded for the runtime's program, from
// its module beside the program or in the fallback folder.
void LoadMessageCatalogue(MessageCatalogue &catalogue, const ResourceLocale &runtime);
// The same for a code given, not the recorded one.
void LoadMessageCatalogue(MessageCatalogue &catalogue, const ResourceLocale &runtime, const QString &code);

} // namespace rpu
