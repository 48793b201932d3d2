// Work modes, connect and disconnect, the page change and the link-down state.

#include "app/mainform.h"
#include "i18n/messagecatalogue.h"
#include "link/usblink.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>

#include <initializer_list>
#include <vector>

namespace rpu {

namespace {

constexpr int kTitleError = 10001;
constexpr int kTitleWarning = 10009;
constexpr int kTitleSystem = 10013;

void SetVisible(std::initializer_list<QWidget *> widgets, bool visible)
{
    for (QWidget *w : widgets)
        w->setVisible(visible);
}

void ClearSelection(QButtonGroup *group)
{
    // An exclusive group does not let its last checked button go.
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

int InitLinkMessage(int result)
{
    switch (result) {
    case 1: return 10002;
    case 2: return 10084;
    case 3: return 10003;
    case 4: return 10004;
    default: return 0;
    }
}

int ReadBlocksMessage(int result)
{
    switch (result) {
    case 1: return 10054;
    case 2: return 10084;
    case 3: return 10056;
    case 4: return 10058;
    default: return 0;
    }
}

int WriteBlocksMessage(int result)
{
    switch (result) {
    case 1: return 10050;
    case 2: return 10084;
    case 3: return 10053;
    case 4: return 10085;
    default: return 0;
    }
}

} // namespace

void TMainForm::OperModeCmBChange()
{
    switch (OperModeCmB->currentIndex()) {
    case 0:
        workMode = WorkMode::Demo;
        SetEnabled({ConnectButton, DisconnectButton}, false);
        ClearDeviceInfo();
        DevOperModeGrB->setVisible(false);
        DevOperModeGrB_rbClick();
        SetActivePage(MainTabSh);
        MainPageC->setVisible(true);
        MainPageCChange();
        break;
    case 1:
        workMode = WorkMode::Online;
        ConnectButton->setEnabled(true);
        DisconnectButton->setEnabled(false);
        DevOperModeGrB->setVisible(false);
        SetEnabled({WriteButton, ReadButton, SaveButton, LoadButton, DefaultSettingsButton}, false);
        SetActivePage(MainTabSh);
        MainPageC->setVisible(false);
        break;
    default:
        break;
    }
}

void TMainForm::ConnectButtonClick()
{
    ConnectButton->setEnabled(false);
    DisconnectButton->setEnabled(true);
    if (services_.link->OpenUsbDevice()) {
        OperModeCmB->setEnabled(false);
        ShowStatus(Msg(10011));
        SetActivePage(MainTabSh);
        MainPageC->setVisible(true);
        MainPageCChange();
        return;
    }
    const int message = services_.link->UsbDeviceCount() == 0 ? 10008 : 10010;
    ShowStatus(Msg(message));
    Box(kTitleWarning, Msg(message), Dialogs::Icon::Error);
    ConnectButton->setEnabled(true);
    DisconnectButton->setEnabled(false);
}

void TMainForm::DisconnectButtonClick()
{
    LinkContext link = Link();
    if (BreakLink(link)) {
        ShowStatus(Msg(10015));
    } else {
        ShowStatus(Msg(10007));
        Box(kTitleError, Msg(10007), Dialogs::Icon::Error);
    }
    EnterLinkDownState();
}

void TMainForm::MainPageCChange()
{
    QWidget *page = ActivePage();
    const bool settingsPage = page == ReleSettingsTabSh || page == ReleSettingsTabRPU;

    if (workMode == WorkMode::Demo) {
        if (page == MainTabSh) {
            SetVisible({SoftUpdatesGroupBox, SoftUpdatesListBox, WriteSWButton, SoftUpdateGrB}, false);
            SetEnabled({WriteButton, ReadButton, SaveButton, LoadButton, DefaultSettingsButton}, false);
        } else if (page == RegistBackupTabSh || settingsPage) {
            SetEnabled({RegBackupCreateButton, RegBackupRestoreButton}, false);
            SetEnabled({WriteButton, ReadButton, SaveButton}, false);
            LoadButton->setEnabled(true);
            Dev2TypeLabel2->clear();
            if (settingsPage) {
                DefaultSettingsButtonClick();
                SetEnabled({DefaultSettingsButton, SaveButton}, true);
            }
        }
        return;
    }

    LinkContext link = Link();
    if (!BreakLink(link)) {
        ShowStatus(Msg(10083));
        Box(kTitleError, Msg(10083), Dialogs::Icon::Error);
        EnterLinkDownState();
        return;
    }
    ShowStatus(Msg(10061));
    SetProgress(0);
    deviceInfo.deviceClass = -1;

    const int linkDownBefore = linkDownEntries_;
    int result = 0;
    if (page == MainTabSh) {
        SetEnabled({ReadButton, WriteButton, LoadButton, SaveButton, DefaultSettingsButton}, false);
        SetVisible({SoftUpdatesGroupBox, SoftUpdatesListBox, WriteSWButton}, true);
        btn_ChangeLang->setEnabled(false);
        result = InitLinkAndShow(kInitMainPage);
        if (result == 0)
            OfferNewerFirmware();
        else
            ShowInitLinkError(result);
    } else {
        result = InitLinkAndShow(kInitOtherPages);
        if (result == 0 && page == RegistBackupTabSh) {
            SetEnabled({RegBackupCreateButton, RegBackupRestoreButton}, true);
            SetEnabled({ReadButton, WriteButton, LoadButton, SaveButton, DefaultSettingsButton}, false);
            RegFNameLabel2->clear();
            ConfCodeLabel2->clear();
            ClearSelection(RPU_RTRRadioItems);
            SetEnabled({RPU_RTRRadioGr, ObjNumEdit, ModuleNumCmB}, false);
            ObjNumEdit->clear();
            ModuleNumCmB->clear();
            ModuleNumCmB->setEditText(QString());
        } else if (result == 0) {
            SetEnabled({ReadButton, WriteButton, LoadButton, SaveButton, DefaultSettingsButton}, true);
            ReadButtonClick();
        } else {
            ShowInitLinkError(result);
            SetActivePage(MainTabSh);
            MainPageC->setVisible(true);
            MainPageCChange();
        }
    }

    // A hand-over that failed its own transfer has already shown its text and
    // left the link down; "link established" would then be a false report.
    if (result == 0 && linkDownEntries_ != linkDownBefore)
        return;

    if (result == 0) {
        ShowStatus(Msg(10064));
    } else {
        Box(kTitleError, Msg(10065), Dialogs::Icon::Error);
        ShowStatus(Msg(10065));
        ConnectButton->setEnabled(true);
        DisconnectButton->setEnabled(false);
    }
}

void TMainForm::EnterLinkDownState()
{
    ++linkDownEntries_;
    deviceInfo.deviceClass = -1;
    ConnectButton->setEnabled(true);
    SetEnabled({DisconnectButton, LoadButton, SaveButton, WriteButton, ReadButton, RPU_RTRRadioGr,
                ObjNumEdit, ModuleNumCmB, DefaultSettingsButton},
               false);
    btn_ChangeLang->setEnabled(true);
    ClearDeviceInfo();
    SetActivePage(MainTabSh);
    MainPageC->setVisible(false);
    OperModeCmB->setEnabled(true);
}

void TMainForm::ClearDeviceInfo()
{
    for (QLabel *label : {DevTypeLabel2, CurrentSoftVerLabel2, NewSoftVerLabel2, SoftFNameLabel2,
                          SoftFTypeLabel2, SoftFDateLabel2, SoftFSizeLabel2, RegFNameLabel2,
                          ConfCodeLabel2})
        label->clear();
    ClearSelection(RPU_RTRRadioItems);
    ObjNumEdit->clear();
    ModuleNumCmB->clear();
    ModuleNumCmB->setEditText(QString());
}

int TMainForm::InitLinkAndShow(std::uint8_t code)
{
    LinkContext link = Link();
    const int result = InitLink(link, code, deviceInfo);
    if (result == 0) {
        CurrentSoftVerLabel2->setText(FormatDeviceVersion(deviceInfo.versionByte));
        const QString type = Msg(DeviceTypeMessage(deviceInfo.deviceClass));
        DevTypeLabel2->setText(type);
        Dev2TypeLabel2->setText(type);
    }
    return result;
}

void TMainForm::ShowInitLinkError(int result)
{
    if (const int message = InitLinkMessage(result))
        Box(kTitleError, Msg(message), Dialogs::Icon::Error);
}

void TMainForm::ReportTransferFailure(int message)
{
    if (message != 0) {
        ShowStatus(Msg(message));
        Box(kTitleError, Msg(message), Dialogs::Icon::Error);
    }
    EnterLinkDownState();
}

void TMainForm::DefaultSettingsButtonClick()
{
    // The settings pages show the factory image once their editors exist.
    ShowStatus(Msg(10014));
}

void TMainForm::ReadButtonClick()
{
    QWidget *page = ActivePage();
    LinkContext link = Link();
    if (page == RegistBackupTabSh) {
        std::vector<int> image(kRegistrationBlockCount * kBlockSize, 0);
        const int result =
            ReadDeviceBlocks(link, kRegistrationBlockCount, kRegistrationFirstBlock, image);
        if (result != 0) {
            ReportTransferFailure(ReadBlocksMessage(result));
            return;
        }
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(image.size()));
        for (int cell : image)
            lines << QString::number(cell);
        SetTempListLines(lines);
        ConfCodeLabel2->setText(QString::number(image.back()));
        SetProgress(0);
        ShowStatus(Msg(10049));
        Box(kTitleSystem, Msg(10049), Dialogs::Icon::Information);
        SaveButton->setEnabled(true);
    }
    page = ActivePage();
    if (page == ReleSettingsTabSh || page == ReleSettingsTabRPU) {
        std::vector<int> image(kSettingsBlockCount * kBlockSize, 0);
        const int result = ReadDeviceBlocks(link, kSettingsBlockCount, kSettingsFirstBlock, image);
        if (result != 0) {
            ReportTransferFailure(ReadBlocksMessage(result));
            return;
        }
        // The settings editors take the image from here once they exist.
        SetProgress(0);
        ShowStatus(Msg(10038));
        SaveButton->setEnabled(true);
    }
}

void TMainForm::WriteButtonClick()
{
    if (ActivePage() != RegistBackupTabSh)
        return; // the settings image is composed by the settings editors
    const QStringList lines = TempListLines();
    std::vector<int> image;
    image.reserve(kRegistrationBlockCount * kBlockSize);
    for (qsizetype i = 0; i < lines.size() && image.size() < image.capacity(); ++i) {
        bool ok = false;
        const uint value = lines.at(i).toUInt(&ok);
        if (!ok)
            break;
        image.push_back(static_cast<int>(value));
    }
    // A short or damaged buffer must never reach the device's memory.
    if (image.size() != static_cast<std::size_t>(kRegistrationBlockCount * kBlockSize)) {
        ShowStatus(Msg(10053));
        Box(kTitleError, Msg(10053), Dialogs::Icon::Error);
        return;
    }
    int result = 0;
    {
        // The write lets window events run: nothing may start another exchange meanwhile.
        const std::initializer_list<QWidget *> busy = {MainPageC, OperModeGrB, GroupBox39, GroupBox40,
                                                       GroupBox41, GroupBox42};
        std::vector<bool> wasEnabled;
        for (QWidget *w : busy)
            wasEnabled.push_back(w->isEnabled());
        SetEnabled(busy, false);
        const QScopedValueRollback<bool> running(exchangeRunning_, true);
        LinkContext link = Link();
        result = WriteDeviceBlocks(link, kRegistrationBlockCount, kRegistrationFirstBlock, image);
        auto enabled = wasEnabled.begin();
        for (QWidget *w : busy)
            w->setEnabled(*enabled++);
    }
    SetProgress(0);
    if (result == 0) {
        ShowStatus(Msg(10046));
        Box(kTitleSystem, Msg(10046), Dialogs::Icon::Information);
        return;
    }
    ReportTransferFailure(WriteBlocksMessage(result));
}

} // namespace rpu
