#pragma once
// The language dialog: the built-in language and the modules found, sorted
// by name; OK gives the code of the selected entry.

#include "i18n/languagechoice.h"

#include <QDialog>

class QListWidget;
class QPushButton;

namespace rpu {

class TLanguageDialog final : public QDialog {
    Q_OBJECT
public:
    explicit TLanguageDialog(QWidget *parent = nullptr);

    // Fills the list from the entries (already sorted) and selects one.
    void SetEntries(const LanguageList &entries);
    // The code of the selected entry; empty when none is selected.
    QString SelectedCode() const;

private:
    QListWidget *List = nullptr;
    QPushButton *OkButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QList<TLanguageListItem> items_;
};

// Shows the choice and gives true with the chosen code on OK. Tests put a
// scripted chooser here.
class LanguageAsker {
public:
    virtual ~LanguageAsker() = default;
    virtual bool Ask(QWidget *owner, const LanguageList &entries, QString &code) = 0;
};

// The real dialog, translated from the runtime's source before it is shown.
class DialogLanguageAsker final : public LanguageAsker {
public:
    explicit DialogLanguageAsker(const ResourceLocale &runtime) : runtime_(runtime) {}
    bool Ask(QWidget *owner, const LanguageList &entries, QString &code) override;

private:
    const ResourceLocale &runtime_;
};

// With doCheckResourceCount and no module present: false and failure set.
bool AskResourceLocale(QString &code, const QString &builtinCode, TLanguageDialogOptions options,
                       QWidget *owner, const ResourceLocale &runtime, LanguageAsker &asker,
                       QString *failure = nullptr);
// The dialog and then the switch to the chosen language.
bool SelectResourceLocale(const QString &builtinCode, TLanguageDialogOptions options,
                          ResourceOptions resourceOptions, QWidget *owner, ResourceLocale &runtime,
                          LanguageAsker &asker, QString *translateError = nullptr);

} // namespace rpu
