#include "i18n/languagechoice.h"

#include <algorithm>

namespace rpu {

LanguageList LanguageListFor(const ResourceLocale &runtime, const QString &originalLanguage,
                             TLanguageDialogOptions options)
{
    const bool nativeNames = !(options & doUseCurrentLanguage);
    LanguageList list;
    const auto add = [&](const QString &code) {
        list.items.append({code, GetWindowsLocaleName(ExtensionToLocale(code), nativeNames)});
    };
    if (!originalLanguage.isEmpty())
        add(originalLanguage);
    QList<ResourceEntry> modules;
    runtime.GetAvailableResources(modules, {}, options & doCompatible);
    for (const ResourceEntry &entry : modules)
        add(entry.code);
    std::stable_sort(list.items.begin(), list.items.end(), [](const TLanguageListItem &a, const TLanguageListItem &b) {
        return a.name.localeAwareCompare(b.name) < 0;
    });

    const QString wanted = runtime.LoadedResourceLocale().isEmpty() ? originalLanguage : runtime.LoadedResourceLocale();
    const auto it = std::find_if(list.items.begin(), list.items.end(),
                                 [&](const TLanguageListItem &item) { return item.code == wanted; });
    if (it != list.items.end())
        list.selected = int(it - list.items.begin());
    else if (!list.items.isEmpty())
        list.selected = 0;
    return list;
}

bool SwitchToChosenLanguage(ResourceLocale &runtime, const QString &chosen, const QString &builtinCode,
                            ResourceOptions options, QString *translateError)
{
    return runtime.SetNewResourceFile(chosen == builtinCode ? QString() : chosen, options, builtinCode,
                                      translateError);
}

QString StartupLanguageOf(const IniDocument &ini)
{
    return ini.Value(QStringLiteral("Language"), QStringLiteral("Default"))
        .value_or(QString::fromLatin1(kBuiltinLocaleCode))
        .trimmed();
}

QString RecordLanguageChoice(ResourceLocale &runtime, const QString &configFilePath)
{
    runtime.SetCurrentDefaultLocaleReg();
    QString code = runtime.GetCurrentDefaultLocaleReg();
    if (code.isEmpty())
        code = QString::fromLatin1(kBuiltinLocaleCode);
    // One line changes; the user's comments, order and values stay as written.
    if (!WriteIniValue(configFilePath, QStringLiteral("Language"), QStringLiteral("Default"), code).ok())
        return QStringLiteral("Unable to write to %1").arg(configFilePath);
    return {};
}

void LoadLoadedLanguageCatalogue(MessageCatalogue &catalogue, const ResourceLocale &runtime)
{
    // The per-user record holds the loaded code once written; the built-in
    // language is recorded as no code.
    LoadMessageCatalogue(catalogue, runtime, runtime.LoadedResourceLocale());
}

QString RecordLanguageChange(ResourceLocale &runtime, const QString &configFilePath, MessageCatalogue &catalogue)
{
    if (QString error = RecordLanguageChoice(runtime, configFilePath); !error.isEmpty())
        return error;
    LoadMessageCatalogue(catalogue, runtime);
    return {};
}

} // namespace rpu
