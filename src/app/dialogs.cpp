#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace rpu {

namespace {
// "Description (*.ext)|*.ext" into Qt's "Description (*.ext)".
QString QtFilter(const QString &filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    return bar < 0 ? filter : filter.left(bar);
}

QMessageBox::Icon QtIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Error: return QMessageBox::Critical;
    case Dialogs::Icon::Warning: return QMessageBox::Warning;
    case Dialogs::Icon::Information: return QMessageBox::Information;
    case Dialogs::Icon::Question: return QMessageBox::Question;
    case Dialogs::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

Dialogs::Answer QtDialogs::MessageBox(QWidget *owner, const QString &title, const QString &text,
                                      Icon icon, Buttons buttons)
{
    QMessageBox box(QtIcon(icon), title, text,
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    owner);
    if (buttons == Buttons::YesNo)
        box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

QString QtDialogs::OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                                const QString &filter, const QString &startName)
{
    QFileDialog dialog(owner, title, folder, QtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!startName.isEmpty())
        dialog.selectFile(startName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString QtDialogs::SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                                const QString &suggestedName, const QString &filter,
                                const QString &defaultSuffix)
{
    QFileDialog dialog(owner, title, folder, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    // Overwriting is asked by the program itself, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!suggestedName.isEmpty())
        dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace rpu
