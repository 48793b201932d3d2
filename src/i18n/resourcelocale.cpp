#include "i18n/resourcelocale.h"

#include "i18n/formtranslator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>
#include <algorithm>
#include <map>

namespace rpu {

// ---------------------------------------------------------------- locale codes

namespace {

constexpr int kLanguageBits = 10;

LocaleId MakeId(QLocale::Language language, QLocale::Territory territory)
{
    return LocaleId(language) | (LocaleId(territory) << kLanguageBits);
}

struct KnownLocale {
    QString code; // three letters
    LocaleId id;
    LocaleId languageId;
};

// Every locale Qt knows that has a two-letter language code, the language's
// main territory first, so "ENU" is en_US rather than en_UG.
const std::vector<KnownLocale> &KnownLocales()
{
    static const std::vector<KnownLocale> table = [] {
        QList<QLocale> all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        std::stable_sort(all.begin(), all.end(), [](const QLocale &a, const QLocale &b) {
            if (a.language() != b.language())
                return a.language() < b.language();
            const bool aMain = QLocale(a.language()).territory() == a.territory();
            const bool bMain = QLocale(b.language()).territory() == b.territory();
            return aMain && !bMain;
        });
        std::vector<KnownLocale> out;
        QSet<QString> seen;
        for (const QLocale &locale : all) {
            const QString language = QLocale::languageToCode(locale.language(), QLocale::ISO639Part1);
            const QString territory = QLocale::territoryToCode(locale.territory());
            if (locale.language() == QLocale::C || language.size() != 2 || territory.isEmpty())
                continue;
            const QString code = (language + territory.left(1)).toUpper();
            if (seen.contains(code))
                continue;
            seen.insert(code);
            out.push_back({code, MakeId(locale.language(), locale.territory()),
                           MakeId(locale.language(), QLocale::AnyTerritory)});
        }
        return out;
    }();
    return table;
}

// A language alone ("RU", the start-up case) is answered from its own
// locales, not from the table of every locale: its two letters when the
// table lists it (a two-letter code and a locale in some territory).
QString LanguageCodeOf(QLocale::Language language)
{
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return {};
    const QString code = QLocale::languageToCode(language, QLocale::ISO639Part1).toUpper();
    if (code.size() != 2)
        return {};
    const QList<QLocale> locales = QLocale::matchingLocales(language, QLocale::AnyScript, QLocale::AnyTerritory);
    const bool listed = std::any_of(locales.begin(), locales.end(), [](const QLocale &locale) {
        return !QLocale::territoryToCode(locale.territory()).isEmpty();
    });
    return listed ? code : QString();
}

// The name most of a language's locales give it ("English", not "American English").
QString CommonNativeName(QLocale::Language language)
{
    static QHash<int, QString> cache;
    const auto it = cache.constFind(int(language));
    if (it != cache.constEnd())
        return *it;
    std::map<QString, int> votes;
    QString best;
    for (const QLocale &locale : QLocale::matchingLocales(language, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const int n = ++votes[locale.nativeLanguageName()];
        if (best.isEmpty() || n > votes[best])
            best = locale.nativeLanguageName();
    }
    cache.insert(int(language), best);
    return best;
}

} // namespace

QLocale LocaleOf(LocaleId id)
{
    return QLocale(QLocale::Language(id & ((1u << kLanguageBits) - 1)), QLocale::Territory(id >> kLanguageBits));
}

LocaleId ExtensionToLocale(const QString &code)
{
    QString text = code.startsWith(QLatin1Char('.')) ? code.mid(1) : code;
    text = text.toUpper();
    if (text.isEmpty())
        return 0;
    if (text.size() == 2) {
        const QLocale::Language language = QLocale::codeToLanguage(text.toLower(), QLocale::ISO639Part1);
        return LanguageCodeOf(language) == text ? MakeId(language, QLocale::AnyTerritory) : 0;
    }
    for (const KnownLocale &known : KnownLocales()) {
        if (known.code == text)
            return known.id;
    }
    return 0;
}

QString LocaleToExtension(LocaleId id)
{
    if ((id >> kLanguageBits) == 0) // a language alone
        return LanguageCodeOf(QLocale::Language(id));
    for (const KnownLocale &known : KnownLocales()) {
        if (known.id == id)
            return known.code;
    }
    return {};
}

QString GetWindowsLocaleName(LocaleId id, bool nativeNames)
{
    if (id == 0)
        return {};
    const QLocale locale = LocaleOf(id);
    const bool hasTerritory = (id >> kLanguageBits) != 0;
    if (!nativeNames) {
        const QString language = QLocale::languageToString(locale.language());
        return hasTerritory ? language + QStringLiteral(" (") + QLocale::territoryToString(locale.territory())
                                  + QLatin1Char(')')
                            : language;
    }
    const QString language = CommonNativeName(locale.language());
    return hasTerritory ? language + QStringLiteral(" (") + locale.nativeTerritoryName() + QLatin1Char(')')
                        : language;
}

// ---------------------------------------------------------------- runtime

ResourceLocale::ResourceLocale(QString programFilePath, LocaleOverrideStore store, QString fallbackFolder)
    : programFilePath_(std::move(programFilePath)), store_(std::move(store)), fallbackFolder_(std::move(fallbackFolder)),
      moduleFolders_{QFileInfo(programFilePath_).absolutePath()}
{
    if (fallbackFolder_.isEmpty()) {
        fallbackFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                          + QStringLiteral("/Dorel-RPU-SELA");
    }
}

ResourceLocale::~ResourceLocale() = default;

void ResourceLocale::SetDefaultLocaleReg(const QString &programFilePath, const QString &code)
{
    store_.SetDefaultLocaleReg(programFilePath, code);
}

QString ResourceLocale::GetCurrentDefaultLocaleReg() const
{
    return store_.GetDefaultLocaleReg(programFilePath_);
}

void ResourceLocale::SetCurrentDefaultLocaleReg()
{
    store_.SetDefaultLocaleReg(programFilePath_, loaded_);
}

namespace {

// The module codes present for a program file in one folder.
QSet<QString> ModuleCodesIn(const QString &modulePathOfAnyCode)
{
    const QFileInfo info(modulePathOfAnyCode);
    const QString stem = info.completeBaseName() + QLatin1Char('.');
    QSet<QString> codes;
    const QStringList names = QDir(info.absolutePath()).entryList({stem + QLatin1Char('*')}, QDir::Files);
    for (const QString &name : names)
        codes.insert(name.mid(stem.size()));
    return codes;
}

void AddEntries(const QSet<QString> &present, QList<ResourceEntry> &list)
{
    for (const KnownLocale &known : KnownLocales()) {
        if (present.contains(known.code))
            list.append({known.code, known.id});
        const QString two = known.code.left(2);
        if (present.contains(two)
            && std::none_of(list.begin(), list.end(), [&](const ResourceEntry &e) { return e.code == two; }))
            list.append({two, known.languageId});
    }
}

} // namespace

int ResourceLocale::GetAvailableResources(QList<ResourceEntry> &list, const QString &programFilePath,
                                          bool compatibleOnly) const
{
    Q_UNUSED(compatibleOnly); // every locale Qt knows is usable
    list.clear();
    const QString program = programFilePath.isEmpty() ? programFilePath_ : programFilePath;
    const QStringList folders =
        program == programFilePath_ ? moduleFolders_ : QStringList{QFileInfo(program).absolutePath()};
    QSet<QString> present;
    for (const QString &folder : folders)
        present.unite(ModuleCodesIn(LanguageModulePath(folder + QLatin1Char('/') + QFileInfo(program).fileName(),
                                                       QStringLiteral("X"))));
    AddEntries(present, list);
    if (list.isEmpty()) {
        const QString inFallback = fallbackFolder_ + QLatin1Char('/') + QFileInfo(program).fileName();
        AddEntries(ModuleCodesIn(LanguageModulePath(inFallback, QStringLiteral("X"))), list);
    }
    return int(list.size());
}

int ResourceLocale::GetAvailableResourceCount(const QString &programFilePath, bool compatibleOnly) const
{
    QList<ResourceEntry> list;
    return GetAvailableResources(list, programFilePath, compatibleOnly);
}

int ResourceLocale::CheckResourceCount(QString *failure) const
{
    const int count = GetAvailableResourceCount();
    if (count == 0 && failure)
        *failure = QString::fromLatin1(kNoResourceFilesText);
    return count;
}

QString ResourceLocale::FindModuleFile(const QString &code) const
{
    return FindLanguageModuleFile(moduleFolders_ + QStringList{fallbackFolder_}, programFilePath_, code);
}

const LayoutSource *ResourceLocale::LoadNewResourceFile(const QString &code)
{
    refusal_.clear();
    const QString wanted = code.startsWith(QLatin1Char('.')) ? code.mid(1) : code;
    if (wanted.isEmpty()) {
        module_.reset();
        previous_ = loaded_;
        loaded_.clear();
        return &builtin_;
    }
    if (!QFileInfo(programFilePath_).exists())
        return nullptr;
    QStringList tries{wanted};
    if (wanted.size() == 3)
        tries << wanted.left(2);
    for (const QString &attempt : tries) {
        const QString path = FindModuleFile(attempt);
        if (path.isEmpty())
            continue;
        QString why;
        auto module = LanguageModule::Load(path, &why);
        if (!module && refusal_.isEmpty())
            refusal_ = why;
        if (module) {
            refusal_.clear();
            previous_ = loaded_;
            loaded_ = attempt;
            module_ = std::move(module);
            return module_.get();
        }
    }
    return nullptr;
}

const LayoutSource &ResourceLocale::ResourceSource() const
{
    if (module_)
        return *module_;
    return builtin_;
}

bool ResourceLocale::SetNewResourceFile(const QString &code, ResourceOptions options, const QString &builtinCode,
                                        QString *translateError)
{
    options_ = options;
    if (!LoadNewResourceFile(code)) {
        if (options & roSaveLocale)
            SetCurrentDefaultLocaleReg();
        // A module that is there but cannot be used says why; a missing
        // one stays silent.
        if (translateError && !refusal_.isEmpty())
            *translateError = refusal_;
        return false;
    }
    const LocaleId id = ExtensionToLocale(code.isEmpty() ? builtinCode : code);
    // Qt keeps thread locale and number formats in one place.
    if (id != 0 && (options & (roNoThreadLocale | roNoLocaleVariables)) != (roNoThreadLocale | roNoLocaleVariables))
        QLocale::setDefault(LocaleOf(id));
    if (id != 0)
        InstallQtTranslations(LocaleOf(id));
    bool directionChanged = false;
    if (!(options & roNoUpdateBidiMode)) {
        static const QStringList kRightToLeft = {QStringLiteral("ar"), QStringLiteral("he"), QStringLiteral("fa")};
        const bool rtl = kRightToLeft.contains(LocaleToExtension(id).left(2).toLower());
        directionChanged = rtl != rightToLeft_;
        rightToLeft_ = rtl;
    }
    const QString error = TranslateForms(ResourceSource(), OpenWindows(), directionChanged);
    if (!error.isEmpty()) {
        if (translateError)
            *translateError = error;
        return false;
    }
    if (options & roSaveLocale)
        SetCurrentDefaultLocaleReg();
    return true;
}

void ResourceLocale::ApplyStartupLanguage(const QString &code)
{
    SetDefaultLocaleReg(programFilePath_, code);
    SetNewResourceFile(code, 0, QString::fromLatin1(kBuiltinLocaleCode));
    if (!refusal_.isEmpty())
        qWarning("%s", qPrintable(refusal_));
}

QString ResourceLocale::TranslateNewWindow(QObject *window)
{
    RegisterWindow(window);
    QString error = TranslateForms(builtin_, {window});
    if (error.isEmpty() && module_)
        error = TranslateForms(*module_, {window});
    return error;
}

QString ResourceLocale::TranslateNewPart(QObject *window, QObject *part)
{
    QString error = TranslateWindowPart(builtin_, window, part);
    if (error.isEmpty() && module_)
        error = TranslateWindowPart(*module_, window, part);
    return error;
}

void ResourceLocale::InstallQtTranslations(const QLocale &locale)
{
    if (!QCoreApplication::instance())
        return;
    if (qtTranslator_)
        QCoreApplication::removeTranslator(qtTranslator_.get());
    qtTranslator_.reset();
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator.get());
        qtTranslator_ = std::move(translator);
    }
}

void ResourceLocale::RegisterWindow(QObject *window)
{
    if (window && !windows_.contains(window))
        windows_.append(window);
}

void ResourceLocale::UnregisterWindow(QObject *window)
{
    windows_.removeAll(window);
}

QList<QObject *> ResourceLocale::OpenWindows() const
{
    QList<QObject *> open;
    for (const QPointer<QObject> &window : windows_) {
        if (window)
            open.append(window.data());
    }
    return open;
}

void LoadMessageCatalogue(MessageCatalogue &catalogue, const ResourceLocale &runtime)
{
    LoadMessageCatalogue(catalogue, runtime, runtime.GetCurrentDefaultLocaleReg());
}

void LoadMessageCatalogue(MessageCatalogue &catalogue, const ResourceLocale &runtime, const QString &code)
{
    LoadMessageCatalogue(catalogue, code, runtime.ProgramFilePath(),
                         [&runtime](const QString &besidePath) -> std::unique_ptr<StringSource> {
                             if (auto module = OpenLanguageModule(besidePath))
                                 return module;
                             const QString code = QFileInfo(besidePath).suffix();
                             const QString found = runtime.FindModuleFile(code);
                             return found.isEmpty() ? nullptr : OpenLanguageModule(found);
                         });
}

} // namespace rpu
