#include "app/pages/backuppage.h"

#include "app/widgetkit.h"
#include "session/valuebuffer.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace rpu {

namespace {

constexpr int kRegistrationCells = kRegistrationBlockCount * kBlockSize;
constexpr int kMsgRegistrationRead = 10049;
constexpr int kMsgRegistrationWritten = 10046;
constexpr int kMsgWriteRefused = 10053;

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
    BuildControls();
    connect(&context_.session, &DeviceSession::stateChanged, this, &BackupPage::UpdateEnabled);
}

void BackupPage::BuildControls()
{
    QLabel *heading = MakeLabel(this, "RegBackupHeaderLabel",
                                QStringLiteral("Создание файла, восстановление из файла или удаление "
                                               "файла резервной копии памяти регистрации"),
                                8, 8, 645, 34);
    heading->setWordWrap(true);
    SetBold(heading);
    Dev2TypeLabel2 = LabelPair(this, "Dev2TypeLabel", QStringLiteral("Тип подключенного прибора: "),
                               "Dev2TypeLabel2", 12, 50, 190, 420);

    RPU_RTRRadioGr = MakeGroup(this, "RPU_RTRRadioGr", QStringLiteral("Режим работы в системе:"), 12,
                               80, 300, 70);
    RPU_RTRRadioItems = new QButtonGroup(this);
    RPU_RTRRadioItems->setObjectName(QStringLiteral("RPU_RTRRadioItems"));
    const QString roles[2] = {QStringLiteral("РПУ"), QStringLiteral("РТР")};
    for (int id = 0; id < 2; ++id) {
        auto *item = new QRadioButton(roles[id], RPU_RTRRadioGr);
        item->setObjectName(id == 0 ? QStringLiteral("RPU_RTRRadioGr_RPU")
                                    : QStringLiteral("RPU_RTRRadioGr_RTR"));
        item->setGeometry(12, 20 + id * 23, 200, 20);
        RPU_RTRRadioItems->addButton(item, id);
    }
    RPU_RTRRadioGr->setEnabled(false);

    MakeLabel(this, "ObjNumLabel", QStringLiteral("Номер объекта(системы): "), 12, 166, 190, 17);
    ObjNumEdit = Named(new QLineEdit(this), "ObjNumEdit");
    ObjNumEdit->setGeometry(206, 163, 120, 22);
    ObjNumEdit->setEnabled(false);
    MakeLabel(this, "ModuleNumLabel", QStringLiteral("Адрес прибора в системе:"), 12, 196, 190, 17);
    ModuleNumCmB = Named(new QComboBox(this), "ModuleNumCmB");
    ModuleNumCmB->setEditable(true);
    ModuleNumCmB->setInsertPolicy(QComboBox::NoInsert);
    ModuleNumCmB->setMaxVisibleItems(10);
    ModuleNumCmB->setGeometry(206, 193, 120, 22);
    ModuleNumCmB->setEnabled(false);
    RegFNameLabel2 = LabelPair(this, "RegFNameLabel", QStringLiteral("Имя файла резервной копии:"),
                               "RegFNameLabel2", 12, 226, 190, 440);
    ConfCodeLabel2 = LabelPair(this, "ConfCodeLabel", QStringLiteral("Код конфигурации:"),
                               "ConfCodeLabel2", 12, 252, 190, 120);

    RegBackupCreateButton =
        MakeButton(this, "RegBackupCreateButton", QStringLiteral("Создать"), QString(), 340, 86);
    RegBackupRestoreButton = MakeButton(this, "RegBackupRestoreButton",
                                        QStringLiteral("Восстановить"), QString(), 340, 118);
    RegBackupDeleteButton =
        MakeButton(this, "RegBackupDeleteButton", QStringLiteral("Удалить"), QString(), 340, 150);
    RegBackupCreateButton->setEnabled(false);
    RegBackupRestoreButton->setEnabled(false);
}

void BackupPage::SetOffer(const CommandOffer &offer)
{
    if (offer_ == offer)
        return;
    offer_ = offer;
    context_.host.CommandsChanged();
}

void BackupPage::UpdateEnabled()
{
    const bool idle = !context_.session.Busy();
    RegBackupCreateButton->setEnabled(idle && backupCommands_);
    RegBackupRestoreButton->setEnabled(idle && backupCommands_);
}

void BackupPage::ShowDeviceType(const QString &typeText)
{
    Dev2TypeLabel2->setText(typeText);
}

void BackupPage::ClearInputs()
{
    RegFNameLabel2->clear();
    ConfCodeLabel2->clear();
    ClearSelection(RPU_RTRRadioItems);
    ObjNumEdit->clear();
    ModuleNumCmB->clear();
    ModuleNumCmB->setEditText(QString());
}

void BackupPage::DisableInputs()
{
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
    Dev2TypeLabel2->clear();
}

void BackupPage::SaveRegistrationFile()
{
    // Backup files come with the file formats.
}

void BackupPage::LoadRegistrationFile()
{
    // Backup files come with the file formats.
}

void BackupPage::ReadRegistration()
{
    std::vector<int> image(kRegistrationCells, 0);
    const BlockReadOutcome outcome =
        context_.session.ReadBlocks(kRegistrationBlockCount, kRegistrationFirstBlock, image);
    if (outcome != BlockReadOutcome::Ok) {
        context_.FailAndDropLink(OutcomeMessage(outcome));
        return;
    }
    context_.buffer.SetCells(image);
    ConfCodeLabel2->setText(QString::number(image.back()));
    context_.host.SetProgress(0);
    context_.Status(kMsgRegistrationRead);
    context_.Box(kTitleSystem, context_.Msg(kMsgRegistrationRead), Dialogs::Icon::Information);
    CommandOffer offer = offer_;
    offer.save = true;
    SetOffer(offer);
}

void BackupPage::WriteRegistration()
{
    // The image is the first 1792 values; a short or damaged buffer must
    // never reach the device's memory.
    const std::vector<std::uint32_t> &values = context_.buffer.Values();
    std::vector<int> image;
    image.reserve(kRegistrationCells);
    for (std::size_t i = 0; i < values.size() && image.size() < std::size_t(kRegistrationCells); ++i) {
        if (values[i] > 0xFF)
            break;
        image.push_back(int(values[i]));
    }
    if (image.size() != std::size_t(kRegistrationCells)) {
        context_.Fail(kMsgWriteRefused);
        return;
    }
    const BlockWriteOutcome outcome =
        context_.session.WriteBlocks(kRegistrationBlockCount, kRegistrationFirstBlock, image);
    context_.host.SetProgress(0);
    if (outcome == BlockWriteOutcome::Ok) {
        context_.Status(kMsgRegistrationWritten);
        context_.Box(kTitleSystem, context_.Msg(kMsgRegistrationWritten), Dialogs::Icon::Information);
        return;
    }
    context_.FailAndDropLink(OutcomeMessage(outcome));
}

} // namespace rpu
