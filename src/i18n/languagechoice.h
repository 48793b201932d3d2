#pragma once
// The parts of the language choice that need no widgets: the dialog's list
// and selection, the switch to the chosen code, and recording the change.

#include "i18n/resourcelocale.h"
#include "io/inifile.h"

#include <QList>
#include <QString>

namespace rpu {

enum TLanguageDialogOption : unsigned {
    doUseCurrentLanguage = 1,
    doCompatible = 2,
    doCheckResourceCount = 4,
};
using TLanguageDialogOptions = unsigned;

struct TLanguageListItem {
    QString code;
    QString name;
    bool operator==(const TLanguageListItem &) const = default;
};

// The dialog's entries, sorted by name, and the selected one (-1: none).
struct LanguageList {
    QList<TLanguageListItem> items;
    int selected = -1;
};

// The built-in language (when originalLanguage is not empty) and every module
// found; the loaded module is selected, else the built-in language, else the
// first entry. Names are in each language itself unless doUseCurrentLanguage.
LanguageList LanguageListFor(const ResourceLocale &runtime, const QString &originalLanguage,
                             TLanguageDialogOptions options);

// After the dialog gave a code: the built-in code means the program's own
// resources. SetNewResourceFile's result.
bool SwitchToChosenLanguage(ResourceLocale &runtime, const QString &chosen, const QString &builtinCode,
                            ResourceOptions options, QString *translateError = nullptr);

// The start-up language of a configuration file: section "Language", key
// "Default", blanks around it dropped; "RU" when the key is missing.
QString StartupLanguageOf(const IniDocument &ini);

// Records the language now loaded for the program, writes it to the
// configuration file (section "Language", key "Default"; "RU" for the
// built-in one; that one line only, every other byte kept) and reloads the
// catalogue. Gives "Unable to write to <path>"
// when the file cannot be written; the catalogue is then left as it was.
QString RecordLanguageChange(ResourceLocale &runtime, const QString &configFilePath, MessageCatalogue &catalogue);
// The two halves of it: the records alone (the per-user record and the
// configuration file), and the catalogue of the language loaded now, read
// without waiting for the records.
QString RecordLanguageChoice(ResourceLocale &runtime, const QString &configFilePath);
void LoadLoadedLanguageCatalogue(MessageCatalogue &catalogue, const ResourceLocale &runtime);

} // namespace rpu
