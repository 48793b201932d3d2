#include "app/pages/backuppage.h"

#include "app/pages/settingsfileflow.h"
#include "app/widgetkit.h"
#include "files/filetexts.h"
#include "files/registrationfile.h"
#include "i18n/messageids.h"
#include "ops/backupops.h"
#include "session/valuebuffer.h"
#include "settings/timelists.h"

#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QScopedValueRollback>

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace rpu {

namespace {

void ClearSelection(QButtonGroup *group)
{
    // An exclusive group does not let its last checked button go.
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

} // namespace

BackupPage::BackupPage(PageContext &context, QWidget *parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("RegistBackupTabSh"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

// Until then the page is what a fresh build would show: inputs empty and
// disabled; the page's state (offer, backup commands) is kept all the same.
void BackupPage::BuildContent()
{
    if (content_)
        return;
    content_ = new QWidget(this);
    layout()->addWidget(content_);
    BuildControls(content_);
    ConnectControls();
    UpdateEnabled();
    TakePlaceInFocusChain(this, content_);
    emit contentBuilt(content_);
    if (isVisible()) {
        content_->show();
        layout()->activate();
    }
}

void BackupPage::showEvent(QShowEvent *event)
{
    BuildContent();
    QWidget::showEvent(event);
}

void BackupPage::BuildControls(QWidget *page)
{
    QLabel *heading = MakeLabel(page, "RegBackupHeaderLabel", 8, 8, 645, 34);
    heading->setWordWrap(true);
    SetBold(heading);
    Dev2TypeLabel2 = LabelPair(page, "Dev2TypeLabel", "Dev2TypeLabel2", 12, 50, 190, 420);

    RPU_RTRRadioGr = MakeGroup(page, "RPU_RTRRadioGr", 12, 80, 300, 70);
    RPU_RTRRadioItems = new QButtonGroup(this);
    RPU_RTRRadioItems->setObjectName(QStringLiteral("RPU_RTRRadioItems"));
    for (int id = 0; id < 2; ++id) {
        auto *item = new QRadioButton(RPU_RTRRadioGr);
        item->setObjectName(id == 0 ? QStringLiteral("RPU_RTRRadioGr_RPU")
                                    : QStringLiteral("RPU_RTRRadioGr_RTR"));
        item->setGeometry(12, 20 + id * 23, 200, 20);
        RPU_RTRRadioItems->addButton(item, id);
    }
    RPU_RTRRadioGr->setEnabled(false);

    // The caption labels are the inputs' buddies: a screen reader names the
    // input by them, in the language shown.
    QLabel *objNumLabel = MakeLabel(page, "ObjNumLabel", 12, 166, 190, 17);
    ObjNumEdit = Named(new QLineEdit(page), "ObjNumEdit");
    objNumLabel->setBuddy(ObjNumEdit);
    ObjNumEdit->setGeometry(206, 163, 120, 22);
    ObjNumEdit->setEnabled(false);
    QLabel *moduleNumLabel = MakeLabel(page, "ModuleNumLabel", 12, 196, 190, 17);
    ModuleNumCmB = Named(new QComboBox(page), "ModuleNumCmB");
    moduleNumLabel->setBuddy(ModuleNumCmB);
    ModuleNumCmB->setEditable(true);
    ModuleNumCmB->setInsertPolicy(QComboBox::NoInsert);
    ModuleNumCmB->setMaxVisibleItems(10);
    ModuleNumCmB->setGeometry(206, 193, 120, 22);
    ModuleNumCmB->setEnabled(false);
    RegFNameLabel2 = LabelPair(page, "RegFNameLabel", "RegFNameLabel2", 12, 226, 190, 440);
    ConfCodeLabel2 = LabelPair(page, "ConfCodeLabel", "ConfCodeLabel2", 12, 252, 190, 120);

    RegBackupCreateButton = MakeButton(page, "RegBackupCreateButton", 340, 86);
    RegBackupRestoreButton = MakeButton(page, "RegBackupRestoreButton", 340, 118);
    RegBackupDeleteButton = MakeButton(page, "RegBackupDeleteButton", 340, 150);
    RegBackupCreateButton->setEnabled(false);
    RegBackupRestoreButton->setEnabled(false);
}

void BackupPage::ConnectControls()
{
    for (QPushButton *button : {RegBackupCreateButton, RegBackupRestoreButton, RegBackupDeleteButton}) {
        connect(button, &QPushButton::clicked, this, [this, button] {
            context_.Guarded([this, button] { RegBackupCreateButtonClick(button->objectName()); });
        });
    }
    connect(RPU_RTRRadioItems, &QButtonGroup::idClicked, this,
            [this] { context_.Guarded([this] { RPU_RTRRadioGrClick(); }); });
    ModuleNumCmB->installEventFilter(this);
    // Longer pieces would be cut from the file name anyway.
    ObjNumEdit->setMaxLength(kMaxNamePieceLength);
    ModuleNumCmB->lineEdit()->setMaxLength(kMaxNamePieceLength);
}

bool BackupPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ModuleNumCmB && event->type() == QEvent::FocusOut) {
        // The drop-down's own list and a box over the window are not leaving.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            context_.Guarded([this] { ModuleNumCmBExit(); });
    }
    return QWidget::eventFilter(watched, event);
}

void BackupPage::SetOffer(const CommandOffer &offer)
{
    if (offer_ == offer)
        return;
    offer_ = offer;
    context_.host.CommandsChanged();
}

void BackupPage::ChangeOffer(bool CommandOffer::*command, bool on)
{
    CommandOffer offer = offer_;
    offer.*command = on;
    SetOffer(offer);
}

void BackupPage::UpdateEnabled()
{
    if (!content_)
        return;
    // This page's transfers keep its look: the window takes no input then.
    RegBackupCreateButton->setEnabled(backupCommands_);
    RegBackupRestoreButton->setEnabled(backupCommands_);
}

void BackupPage::ShowDeviceType(const QString &typeText)
{
    BuildContent();
    Dev2TypeLabel2->setText(typeText);
}

void BackupPage::ClearInputs()
{
    if (!content_)
        return;
    ClearFileFields();
    ClearSelection(RPU_RTRRadioItems);
}

void BackupPage::DisableInputs()
{
    if (!content_)
        return;
    for (QWidget *w : std::initializer_list<QWidget *>{RPU_RTRRadioGr, ObjNumEdit, ModuleNumCmB})
        w->setEnabled(false);
}

void BackupPage::EnterOnline()
{
    backupCommands_ = true;
    UpdateEnabled();
    SetOffer({});
    ClearInputs();
    DisableInputs();
}

void BackupPage::EnterDemo()
{
    backupCommands_ = false;
    UpdateEnabled();
    CommandOffer offer;
    offer.load = true;
    SetOffer(offer);
    if (content_)
        Dev2TypeLabel2->clear();
}

void BackupPage::ReadRegistration()
{
    BuildContent();
    const ops::BackupReadVerdict read = ops::ReadBackup(context_.session, ops::Entry::AsEntered);
    if (!read.ok()) {
        context_.FailAndDropLink(read.message);
        return;
    }
    context_.buffer.SetCells(read.backup.ImageCells());
    ConfCodeLabel2->setText(QString::number(read.backup.ConfigurationCode()));
    context_.host.SetProgress(0);
    context_.Status(msg::kBackupReadFromDevice);
    context_.Box(kTitleSystem, context_.Msg(msg::kBackupReadFromDevice), Dialogs::Icon::Information);
    ChangeOffer(&CommandOffer::save, true);
}

void BackupPage::WriteRegistration()
{
    BuildContent();
    // Lines 1..1792 are the image; a longer backup keeps its extra lines
    // for re-saving only.
    const std::optional<RegistrationBackup> backup = ops::BackupFromValues(context_.buffer.Values());
    if (!backup) {
        context_.Fail(msg::kDataNotWritten);
        return;
    }
    const ops::BlockWriteVerdict verdict =
        ops::RestoreBackup(context_.session, *backup, ops::Entry::AsEntered, ops::ReadBack::No);
    context_.host.SetProgress(0);
    if (verdict.ok()) {
        context_.Status(msg::kBackupWritten);
        context_.Box(kTitleSystem, context_.Msg(msg::kBackupWritten), Dialogs::Icon::Information);
        return;
    }
    context_.FailAndDropLink(verdict.message);
}

// --- The page's own controls ---

RegistrationRole BackupPage::Role() const
{
    switch (RPU_RTRRadioItems->checkedId()) {
    case 0: return RegistrationRole::Rpu;
    case 1: return RegistrationRole::Rtr;
    default: return RegistrationRole::None;
    }
}

void BackupPage::SelectRole(RegistrationRole role)
{
    if (role == Role())
        return;
    if (role == RegistrationRole::None) {
        ClearSelection(RPU_RTRRadioItems);
        return;
    }
    RPU_RTRRadioItems->button(role == RegistrationRole::Rpu ? 0 : 1)->setChecked(true);
    RPU_RTRRadioGrClick();
}

void BackupPage::ClearFileFields()
{
    RegFNameLabel2->clear();
    ConfCodeLabel2->clear();
    ObjNumEdit->clear();
    ModuleNumCmB->clear();
    ModuleNumCmB->setEditText(QString());
}

void BackupPage::SetInputsEnabled(bool enabled)
{
    ObjNumEdit->setEnabled(enabled);
    ModuleNumCmB->setEnabled(enabled);
}

void BackupPage::RegBackupCreateButtonClick(const QString &buttonName)
{
    BuildContent();
    const bool online = context_.session.Mode() == WorkMode::Online;
    ClearFileFields();
    if (buttonName == RegBackupCreateButton->objectName()) {
        CommandOffer offer;
        offer.read = true;
        SetOffer(offer);
        ClearSelection(RPU_RTRRadioItems);
        RPU_RTRRadioGr->setEnabled(true);
    } else if (buttonName == RegBackupRestoreButton->objectName()) {
        CommandOffer offer;
        offer.load = true;
        SetOffer(offer);
        // The role group keeps its item.
        DisableInputs();
    } else if (buttonName == RegBackupDeleteButton->objectName()) {
        if (online)
            SetOffer({});
        SetInputsEnabled(false);
        DeleteRegistrationFile();
    }
    ClearFileFields();
}

void BackupPage::RPU_RTRRadioGrClick()
{
    BuildContent();
    SetInputsEnabled(true);
    ObjNumEdit->clear();
    ModuleNumCmB->clear();
    ModuleNumCmB->addItems(ModuleNumberChoices(Role()));
    ModuleNumCmB->setEditText(QString());
    ObjNumEdit->setFocus();
}

void BackupPage::ModuleNumCmBExit()
{
    BuildContent();
    if (checkingModuleNumber_ || ModuleNumberAccepted(Role(), ModuleNumCmB->currentText()))
        return;
    // The box takes the focus; that is not the user leaving the address again.
    const QScopedValueRollback<bool> checking(checkingModuleNumber_, true);
    context_.Box(kTitleError, context_.Msg(filemsg::kInvalidModuleNumber), Dialogs::Icon::Error);
    ModuleNumCmB->setFocus();
}

// --- Backup files ---

void BackupPage::FileErrorBox(const FileError &error, const QString &fileName) const
{
    context_.Box(kTitleError, DescribeFileError(error, fileName, context_.catalogue()), Dialogs::Icon::Error);
}

QString BackupPage::AskBackupPath(int statusMessage, int titleMessage, int cancelMessage)
{
    context_.Status(statusMessage);
    Dialogs *dialogs = context_.dialogs();
    // The dialog starts on the role's files: "ksy_rpu_*", "ksy_rtr_*" or any.
    const QString path =
        dialogs ? dialogs->OpenFileName(this, context_.Msg(titleMessage),
                                        kOpenBackupDialog.Folder(context_.places.Folders.dataFolder),
                                        context_.Msg(kOpenBackupDialog.filterMessage),
                                        BackupDialogFileName(Role()))
                : QString();
    if (path.isEmpty())
        context_.Status(cancelMessage);
    return path;
}

void BackupPage::SaveRegistrationFile()
{
    BuildContent();
    const QString address = ModuleNumCmB->currentText();
    const QString object = ObjNumEdit->text();
    if (address.isEmpty() || object.isEmpty()) {
        context_.Box(kTitleSystem, context_.Msg(filemsg::kNeedModuleAndObject), Dialogs::Icon::Warning);
        return;
    }
    context_.Status(filemsg::kSavingBackup);
    // Unsafe characters in the pieces become "-" and long pieces are cut,
    // so the name always stays a plain name in the "reg" folder.
    const QString offered = ComposeBackupFileName(Role(), address, context_.places.RegistrationDateStamp,
                                                  object, ConfCodeLabel2->text());
    RegFNameLabel2->setText(offered);
    Dialogs *dialogs = context_.dialogs();
    const QString path =
        dialogs ? dialogs->SaveFileName(this, context_.Msg(kSaveBackupDialog.titleMessage),
                                        kSaveBackupDialog.Folder(context_.places.Folders.dataFolder), offered,
                                        context_.Msg(kSaveBackupDialog.filterMessage),
                                        kSaveBackupDialog.defaultSuffix)
                : QString();
    if (path.isEmpty()) {
        context_.Status(filemsg::kSaveCancelled);
        return;
    }
    WindowSaveDialogMemory().lastName = QFileInfo(path).fileName();
    if (QFileInfo::exists(path)
        && context_.Box(kTitleSystem, context_.Msg(filemsg::kOverwriteQuestion), Dialogs::Icon::Question,
                        Dialogs::Buttons::YesNo)
               != Dialogs::Answer::Yes) {
        context_.Status(filemsg::kSaveCancelled);
        return;
    }
    const std::optional<RegistrationBackup> backup = ops::BackupFromValues(context_.buffer.Values());
    if (!backup) {
        context_.Fail(msg::kDataNotWritten);
        return;
    }
    const FileError error = WriteRegistrationBackup(path, *backup);
    if (!error.ok()) {
        FileErrorBox(error, QFileInfo(path).fileName());
        return;
    }
    context_.Status(filemsg::kBackupSaved);
}

void BackupPage::LoadRegistrationFile()
{
    BuildContent();
    const QString path =
        AskBackupPath(filemsg::kReadingBackup, kOpenBackupDialog.titleMessage, filemsg::kReadCancelled);
    if (path.isEmpty())
        return;
    const QString fileName = QFileInfo(path).fileName();
    // Only a good backup may enable writing it to a device or saving it.
    bool CommandOffer::*enabled =
        context_.session.Mode() == WorkMode::Online ? &CommandOffer::write : &CommandOffer::save;
    ChangeOffer(enabled, false);
    context_.buffer.Clear();
    const FileResult<RegistrationBackup> backup = ReadRegistrationBackup(path);
    if (!backup.ok()) {
        FileErrorBox(backup.error, fileName);
        return;
    }
    context_.buffer.SetBytes(std::span(reinterpret_cast<const std::uint8_t *>(backup.value->values.constData()),
                                       std::size_t(backup.value->values.size())));
    RegFNameLabel2->setText(fileName);
    ConfCodeLabel2->setText(QString::number(backup.value->ConfigurationCode()));

    const BackupNameParts parts = ParseBackupFileName(fileName);
    SelectRole(parts.role);
    ModuleNumCmB->setEditText(parts.address);
    ObjNumEdit->setText(parts.objectNumber);
    SetInputsEnabled(false);
    context_.Status(filemsg::kBackupRead);
    ChangeOffer(enabled, true);
}

void BackupPage::DeleteRegistrationFile()
{
    BuildContent();
    const QString path = AskBackupPath(filemsg::kDeletingBackup, kDeleteBackupDialog.titleMessage,
                                       filemsg::kDeleteCancelled);
    if (path.isEmpty())
        return;
    const QString fileName = QFileInfo(path).fileName();
    RegFNameLabel2->setText(fileName);
    const QString question = FillPlaceholders(context_.Msg(filemsg::kDeleteQuestion), {fileName});
    if (context_.Box(kTitleSystem, question, Dialogs::Icon::Question, Dialogs::Buttons::YesNo)
        != Dialogs::Answer::Yes) {
        context_.Status(filemsg::kDeleteCancelled);
        return;
    }
    // A file already gone is what the user wanted; one that stays is not.
    const RemoveResult removed = RemoveRegistrationBackup(path);
    if (!removed.succeeded()) {
        context_.Box(kTitleError,
                     DescribeRemoveError(fileName, removed.systemMessage, context_.catalogue()),
                     Dialogs::Icon::Error);
        return;
    }
    context_.Status(filemsg::kBackupDeleted);
}

} // namespace rpu
