#include "app/languagedialog.h"

#include "app/translation/layoutdump.h"
#include "app/widgetkit.h"
#include "i18n/formtranslator.h"

#include <QListWidget>
#include <QPushButton>

namespace rpu {

TLanguageDialog::TLanguageDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LanguageDialog"));
    setFont(SansFont());
    setFixedSize(330, 177);
    List = Named(new QListWidget(this), "List");
    List->setGeometry(8, 8, 233, 161);
    OkButton = Named(new QPushButton(this), "OkButton");
    OkButton->setGeometry(248, 8, 75, 25);
    OkButton->setDefault(true);
    CancelButton = Named(new QPushButton(this), "CancelButton");
    CancelButton->setGeometry(248, 40, 75, 25);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(List, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    ApplyBuiltinLayout(*this);
}

void TLanguageDialog::SetEntries(const LanguageList &entries)
{
    items_ = entries.items;
    List->clear();
    for (const TLanguageListItem &item : items_)
        List->addItem(item.name);
    List->setCurrentRow(entries.selected);
}

QString TLanguageDialog::SelectedCode() const
{
    const int row = List->currentRow();
    return row >= 0 && row < items_.size() && List->item(row)->isSelected() ? items_.at(row).code : QString();
}

bool DialogLanguageAsker::Ask(QWidget *owner, const LanguageList &entries, QString &code)
{
    TLanguageDialog dialog(owner);
    // The dialog's own texts follow the language in use; a layout that
    // cannot be applied leaves them Russian.
    TranslateForms(runtime_.ResourceSource(), {&dialog});
    dialog.SetEntries(entries);
    if (owner)
        dialog.move(owner->geometry().center() - dialog.rect().center());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    code = dialog.SelectedCode();
    return true;
}

bool AskResourceLocale(QString &code, const QString &builtinCode, TLanguageDialogOptions options,
                       QWidget *owner, const ResourceLocale &runtime, LanguageAsker &asker, QString *failure)
{
    if ((options & doCheckResourceCount) && runtime.CheckResourceCount(failure) == 0)
        return false;
    return asker.Ask(owner, LanguageListFor(runtime, builtinCode, options), code);
}

bool SelectResourceLocale(const QString &builtinCode, TLanguageDialogOptions options,
                          ResourceOptions resourceOptions, QWidget *owner, ResourceLocale &runtime,
                          LanguageAsker &asker, QString *translateError)
{
    QString code;
    if (!AskResourceLocale(code, builtinCode, options, owner, runtime, asker))
        return false;
    return SwitchToChosenLanguage(runtime, code, builtinCode, resourceOptions, translateError);
}

} // namespace rpu
