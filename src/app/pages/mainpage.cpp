#include "app/pages/mainpage.h"

#include "app/keyactions.h"
#include "app/widgetkit.h"
#include "firmware/firmwarefile.h"
#include "i18n/messageids.h"
#include "ops/firmwareops.h"
#include "session/valuebuffer.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

namespace rpu {

namespace {

// The hourglass for the length of a file read or transfer; restored at the
// latest when the handler is left, also by an error.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    void Restore()
    {
        if (active_) {
            active_ = false;
            QApplication::restoreOverrideCursor();
        }
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool active_ = true;
};

} // namespace

MainPage::MainPage(PageContext &context, QWidget *parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("MainTabSh"));
    BuildControls();
    for (QRadioButton *button : {RPU_rb, RTR_rb, MRO_rb}) {
        connect(button, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                context_.Guarded([this] { DevOperModeGrB_rbClick(); });
        });
    }
    // A file is picked by a click (the first click of a double-click) or by
    // Enter on the current row. Moving through the list with the keyboard,
    // or focus arriving on it, picks nothing: a pick reads the file and may
    // open a box.
    connect(SoftUpdatesListBox, &QListWidget::itemClicked, this,
            [this] { context_.Guarded([this] { SoftUpdatesListBoxClick(); }); });
    // The write button writes the highlighted file or nothing: moving away
    // from the picked row takes the pick back.
    connect(SoftUpdatesListBox, &QListWidget::currentRowChanged, this, [this] {
        if (refillingList_ || !firmwareAccepted_)
            return;
        SoftUpdateGrB->setVisible(false);
        SetFirmwareAccepted(false);
    });
    CallOnEnter(SoftUpdatesListBox, [this] {
        if (SoftUpdatesListBox->currentItem())
            context_.Guarded([this] { SoftUpdatesListBoxClick(); });
    });
    connect(WriteSWButton, &QPushButton::clicked, this,
            [this] { context_.Guarded([this] { WriteSWButtonClick(); }); });
    connect(&context_.session, &DeviceSession::stateChanged, this, &MainPage::UpdateEnabled);
}

void MainPage::BuildControls()
{
    Label_maintabsh_header_rpu = MakeLabel(this, "Label_maintabsh_header_rpu", 8, 8, 645, 20);
    Label_maintabsh_header_sela = MakeLabel(this, "Label_maintabsh_header_sela", 8, 8, 645, 20);
    SetBold(Label_maintabsh_header_rpu);
    SetBold(Label_maintabsh_header_sela);
    Label_maintabsh_header_rpu->hide();

    SoftUpdateGrB2 = MakeGroup(this, "SoftUpdateGrB2", 8, 34, 645, 72);
    DevTypeLabel2 = LabelPair(SoftUpdateGrB2, "DevTypeLabel", "DevTypeLabel2", 12, 22, 190, 425);
    CurrentSoftVerLabel2 = LabelPair(SoftUpdateGrB2, "CurrentSoftVerLabel", "CurrentSoftVerLabel2", 12, 44,
                                     190, 425);

    DevOperModeGrB = MakeGroup(this, "DevOperModeGrB", 8, 112, 645, 92);
    const struct {
        QRadioButton **button;
        const char *name;
    } modes[] = {{&RPU_rb, "RPU_rb"}, {&RTR_rb, "RTR_rb"}, {&MRO_rb, "MRO_rb"}};
    int y = 20;
    for (const auto &mode : modes) {
        *mode.button = Named(new QRadioButton(DevOperModeGrB), mode.name);
        (*mode.button)->setGeometry(12, y, 400, 20);
        y += 23;
    }
    // This edition never shows the device-mode buttons; code still sets them.
    DevOperModeGrB->hide();

    SoftUpdatesGroupBox = MakeGroup(this, "SoftUpdatesGroupBox", 8, 112, 300, 330);
    SoftUpdatesListBox = Named(new QListWidget(SoftUpdatesGroupBox), "SoftUpdatesListBox");
    SoftUpdatesListBox->setGeometry(10, 22, 280, 298);
    WriteSWButton = MakeButton(this, "WriteSWButton", 8, 450, 200, 28);
    WriteSWButton->setEnabled(false);

    SoftUpdateGrB = MakeGroup(this, "SoftUpdateGrB", 318, 112, 335, 148);
    SoftFNameLabel2 = LabelPair(SoftUpdateGrB, "SoftFNameLabel", "SoftFNameLabel2", 10, 24, 150, 165);
    SoftFTypeLabel2 = LabelPair(SoftUpdateGrB, "SoftFTypeLabel", "SoftFTypeLabel2", 10, 48, 150, 165);
    SoftFSizeLabel2 = LabelPair(SoftUpdateGrB, "SoftFSizeLabel", "SoftFSizeLabel2", 10, 72, 150, 165);
    NewSoftVerLabel2 = LabelPair(SoftUpdateGrB, "NewSoftVerLabel", "NewSoftVerLabel2", 10, 96, 150, 165);
    SoftFDateLabel2 = LabelPair(SoftUpdateGrB, "SoftFDateLabel", "SoftFDateLabel2", 10, 120, 150, 165);
    SoftUpdateGrB->hide();

    // The value buffer holds whole registration images and firmware files:
    // uniform rows over the buffer's own numbers keep that cheap.
    TempListB2 = Named(new QListView(this), "TempListB2");
    TempListB2->setModel(&context_.buffer);
    TempListB2->setUniformItemSizes(true);
    TempListB2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TempListB2->setGeometry(318, 270, 160, 200);
    TempListB2->hide();
}

void MainPage::BuildMemo()
{
    if (Memo1)
        return;
    Memo1 = Named(new QPlainTextEdit(this), "Memo1");
    Memo1->setGeometry(490, 270, 160, 200);
    Memo1->hide();
    QWidget::setTabOrder(TempListB2, Memo1);
    emit contentBuilt(Memo1);
}

void MainPage::ShowDevice(const QString &typeText)
{
    CurrentSoftVerLabel2->setText(FormatDeviceVersion(context_.session.Info().versionByte));
    DevTypeLabel2->setText(typeText);
}

void MainPage::ClearDeviceInfo()
{
    for (QLabel *label : {DevTypeLabel2, CurrentSoftVerLabel2, NewSoftVerLabel2, SoftFNameLabel2,
                          SoftFTypeLabel2, SoftFDateLabel2, SoftFSizeLabel2})
        label->clear();
}

void MainPage::EnterOnline()
{
    for (QWidget *w : std::initializer_list<QWidget *>{SoftUpdatesGroupBox, SoftUpdatesListBox,
                                                       WriteSWButton})
        w->setVisible(true);
}

void MainPage::EnterDemo()
{
    for (QWidget *w : std::initializer_list<QWidget *>{SoftUpdatesGroupBox, SoftUpdatesListBox,
                                                       WriteSWButton, SoftUpdateGrB})
        w->setVisible(false);
}

DeviceModeChoice MainPage::SelectedDeviceMode() const
{
    if (RPU_rb->isChecked())
        return DeviceModeChoice::Rpu;
    if (RTR_rb->isChecked())
        return DeviceModeChoice::Rtr;
    if (MRO_rb->isChecked())
        return DeviceModeChoice::Mro;
    return DeviceModeChoice::None;
}

void MainPage::ToggleAuxiliary()
{
    BuildMemo();
    TempListB2->setVisible(TempListB2->isHidden());
    Memo1->setVisible(Memo1->isHidden());
}

void MainPage::UpdateEnabled()
{
    // Another page's transfer leaves this page as it is: the window takes
    // no input then, and greying a hidden page costs the transfer time.
    const bool idle = !context_.session.Busy() || isHidden();
    for (QWidget *w : std::initializer_list<QWidget *>{SoftUpdatesListBox, DevOperModeGrB, RPU_rb,
                                                       RTR_rb, MRO_rb})
        w->setEnabled(idle);
    WriteSWButton->setEnabled(idle && firmwareAccepted_);
}

void MainPage::SetFirmwareAccepted(bool accepted)
{
    firmwareAccepted_ = accepted;
    UpdateEnabled();
}

QString MainPage::BasePath(const QString &name) const
{
    return FirmwareFilePath(context_.places.Folders.FirmwareFolders(), name);
}

bool MainPage::ParseFirmwareFile(const QString &path)
{
    context_.Status(msg::kReadingFirmware);
    const FirmwareFile fw = ReadFirmwareFile(path);

    if (fw.verdict == FirmwareVerdict::Unreadable) {
        // Not a rejection of the content: the file itself could not be read.
        context_.host.ShowStatus(QString());
        context_.ErrorBox(DescribeFirmwareFile(fw, path, context_.catalogue()));
        return false;
    }
    FirmwareFileSize = int(fw.size);

    if (!fw.fileDataKnown()) {
        context_.Fail(msg::kFirmwareBadFormat, kTitleSystem);
        return false;
    }

    SoftFNameLabel2->setText(fw.fileName);
    SoftFSizeLabel2->setText(QString::number(fw.size));
    SoftFDateLabel2->setText(QLocale().toString(fw.modified.date(), QLocale::ShortFormat));

    if (fw.verdict == FirmwareVerdict::WrongType) {
        context_.Box(kTitleSystem, context_.Msg(msg::kFirmwareWrongType), Dialogs::Icon::Error);
        context_.Status(msg::kFirmwareWrongType);
        return false;
    }

    SoftFTypeLabel2->setText(context_.Msg(msg::kFirmwareForSela));
    NewSoftVerLabel2->setText(FormatFirmwareVersion(fw.versionByte));
    const auto *data = reinterpret_cast<const std::uint8_t *>(fw.bytes.constData());
    context_.buffer.SetBytes(std::span<const std::uint8_t>(data, std::size_t(fw.bytes.size())));
    context_.Status(msg::kFirmwareRead);
    return true;
}

bool MainPage::FindNewerFirmware(QString &name)
{
    SelectedDeviceClass = kSelaDeviceClass;
    const DeviceInfo &info = context_.session.Info();
    const NewerFirmwareCheck check =
        FindNewerFirmwareIn(context_.places.Folders.FirmwareFolders(), info.deviceClass, info.versionByte);
    {
        const QScopedValueRollback<bool> refilling(refillingList_, true);
        SoftUpdatesListBox->clear();
        SoftUpdatesListBox->addItems(check.listed);
    }
    SetFirmwareAccepted(false);

    NewestFirmwareName = check.listed.isEmpty() ? QString() : check.listed.last();
    FirmwareVersionDigits.clear();
    for (const QChar c : NewestFirmwareName) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            FirmwareVersionDigits.append(c);
    }

    if (!check.newer)
        return false;
    name = check.name;
    return true;
}

std::optional<FirmwareOutcome> MainPage::WriteBufferedFirmware()
{
    // Only an image that was accepted whole may reach the device.
    const auto image = ops::AcceptedFirmwareImage(context_.buffer, FirmwareFileSize);
    if (!image)
        return std::nullopt;
    return context_.session.WriteFirmware(*image);
}

void MainPage::FinishFirmwareWrite(FirmwareOutcome outcome)
{
    context_.host.SetProgress(0);
    if (outcome == FirmwareOutcome::Ok) {
        context_.host.RenewLink();
        return;
    }
    context_.FailAndDropLink(OutcomeMessage(outcome));
}

void MainPage::SoftUpdatesListBoxClick()
{
    WaitCursor cursor;
    SetFirmwareAccepted(false);
    const int row = SoftUpdatesListBox->currentRow();
    if (row >= 0 && row < SoftUpdatesListBox->count()) {
        const bool accepted = ParseFirmwareFile(BasePath(SoftUpdatesListBox->item(row)->text()));
        SoftUpdateGrB->setVisible(accepted);
        SetFirmwareAccepted(accepted);
    }
}

void MainPage::WriteSWButtonClick()
{
    WriteSelectedFirmware();
}

void MainPage::WriteSelectedFirmware()
{
    SetFirmwareAccepted(false);
    WaitCursor cursor;
    const std::optional<FirmwareOutcome> outcome = WriteBufferedFirmware();
    cursor.Restore();
    if (!outcome) {
        // Nothing was sent: the buffer no longer holds the accepted file.
        context_.Fail(msg::kFirmwareBadFormat, kTitleSystem);
        return;
    }
    FinishFirmwareWrite(*outcome);
}

void MainPage::OfferNewerFirmware()
{
    switch (context_.session.Info().deviceClass) {
    case 0: SelectDeviceModeButton(RPU_rb); break;
    case 1: SelectDeviceModeButton(MRO_rb); break;
    default: SelectDeviceModeButton(nullptr); break;
    }
    SoftUpdateGrB->setVisible(false);
    for (PageId page : {PageId::Backup, PageId::RelaySettings, PageId::RpuSettings})
        context_.host.SetPageTabVisible(page, false);

    QString name;
    if (!FindNewerFirmware(name)) {
        context_.Status(msg::kNoNewerFirmware);
        return;
    }
    if (context_.Box(kTitleSystem, context_.Msg(msg::kNewerFirmwareFound), Dialogs::Icon::Question,
                     Dialogs::Buttons::YesNo)
        != Dialogs::Answer::Yes)
        return;

    context_.buffer.Clear();
    WaitCursor cursor;
    if (!ParseFirmwareFile(BasePath(name)))
        return;
    SoftUpdateGrB->setVisible(true);
    const std::optional<FirmwareOutcome> outcome = WriteBufferedFirmware();
    cursor.Restore();
    FinishFirmwareWrite(outcome.value_or(FirmwareOutcome::WriteFailed));
}

void MainPage::DevOperModeGrB_rbClick()
{
    struct PageSet {
        bool backup;
        bool relay;
        bool rpu;
    };
    auto apply = [this](const PageSet &pages) {
        context_.host.SetPageTabVisible(PageId::Backup, pages.backup);
        context_.host.SetPageTabVisible(PageId::RelaySettings, pages.relay);
        context_.host.SetPageTabVisible(PageId::RpuSettings, pages.rpu);
    };

    if (context_.session.Mode() == WorkMode::Demo) {
        if (RPU_rb->isChecked())
            apply({true, false, true});
        else if (RTR_rb->isChecked())
            apply({true, true, false});
        else if (MRO_rb->isChecked())
            apply({false, true, false});
        return;
    }

    if (RPU_rb->isChecked() || RTR_rb->isChecked())
        SelectedDeviceClass = 0;
    else if (MRO_rb->isChecked())
        SelectedDeviceClass = 1;
    SoftUpdateGrB->setVisible(false);

    const DeviceInfo &info = context_.session.Info();
    if (SelectedDeviceClass == info.deviceClass) {
        const bool v104 = info.versionByte >= 104;
        if (RPU_rb->isChecked())
            apply({true, false, v104});
        else if (RTR_rb->isChecked())
            apply({true, v104, false});
        else if (MRO_rb->isChecked())
            apply({false, true, false});
    } else {
        apply({false, false, false});
        context_.Box(kTitleSystem, context_.Msg(msg::kDeviceModeMismatch), Dialogs::Icon::Information);
    }

    // Refreshes the list and disables the write button; the answer is not used.
    QString unused;
    FindNewerFirmware(unused);
}

void MainPage::SelectDeviceModeButton(QRadioButton *button)
{
    if (button) {
        // Checking a button that was not checked emits toggled(true), which
        // runs the device-mode handler as a click would.
        button->setChecked(true);
        return;
    }
    for (QRadioButton *item : {RPU_rb, RTR_rb, MRO_rb}) {
        item->setAutoExclusive(false);
        item->setChecked(false);
        item->setAutoExclusive(true);
    }
}

} // namespace rpu
