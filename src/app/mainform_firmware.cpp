// Firmware list, the newer-firmware offer, the firmware write and the
// device-mode buttons.

#include "app/mainform.h"
#include "firmware/firmwarefile.h"
#include "i18n/messagecatalogue.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTabWidget>

#include <initializer_list>

namespace rpu {

namespace {

constexpr int kTitleSystem = 10013;
constexpr int kMsgReadingFirmware = 10016;
constexpr int kMsgBadFormat = 10017;
constexpr int kMsgWrongType = 10018;
constexpr int kMsgFirmwareRead = 10021;
constexpr int kMsgModeMismatch = 10025;
constexpr int kMsgNewerFound = 10062;
constexpr int kMsgNoNewer = 10063;
constexpr int kFirmwareTypeText = 10073;
// Window events are let run this often while the value buffer is built: a
// responsive window without paying for an event round per byte.
constexpr int kLinesPerEventRound = 4096;

int WriteFirmwareMessage(int code)
{
    switch (code) {
    case 1: return 10085;
    case 2: return 10024;
    case 3: return 10084;
    default: return 0;
    }
}

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

bool TMainForm::ParseFirmwareFile(const QString &path)
{
    ShowStatus(Msg(kMsgReadingFirmware));
    const FirmwareFile fw = ReadFirmwareFile(path);

    if (fw.verdict == FirmwareVerdict::Unreadable) {
        // Not a rejection of the content: the file itself could not be read.
        ShowStatus(QString());
        if (services_.dialogs)
            services_.dialogs->MessageBox(this, kApplicationTitle, fw.errorText,
                                          Dialogs::Icon::Error, Dialogs::Buttons::Ok);
        return false;
    }
    FirmwareFileSize = int(fw.size);

    if (!fw.fileDataKnown()) {
        ShowStatus(Msg(kMsgBadFormat));
        Box(kTitleSystem, Msg(kMsgBadFormat), Dialogs::Icon::Error);
        return false;
    }

    SoftFNameLabel2->setText(fw.fileName);
    SoftFSizeLabel2->setText(QString::number(fw.size));
    SoftFDateLabel2->setText(QLocale().toString(fw.modified.date(), QLocale::ShortFormat));

    if (fw.verdict == FirmwareVerdict::WrongType) {
        Box(kTitleSystem, Msg(kMsgWrongType), Dialogs::Icon::Error);
        ShowStatus(Msg(kMsgWrongType));
        return false;
    }

    SoftFTypeLabel2->setText(Msg(kFirmwareTypeText));
    NewSoftVerLabel2->setText(FormatFirmwareVersion(fw.versionByte));

    SetTempListLines(QStringList());
    Pacer *pacer = services_.pacer;
    const QStringList lines = FirmwareImageLines(
        fw.bytes, [pacer] { if (pacer) pacer->ProcessEvents(); }, kLinesPerEventRound);
    SetTempListLines(lines);

    ShowStatus(Msg(kMsgFirmwareRead));
    return true;
}

bool TMainForm::FindNewerFirmware(QString &name)
{
    SelectedDeviceClass = kSelaDeviceClass;
    SoftUpdatesListBox->clear();
    const NewerFirmwareCheck check =
        FindNewerFirmwareIn(ProgramFolder + QStringLiteral("/base"), deviceInfo.deviceClass,
                            deviceInfo.versionByte);
    SoftUpdatesListBox->addItems(check.listed);
    WriteSWButton->setEnabled(false);

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

int TMainForm::WriteTempListFirmware()
{
    const std::optional<QByteArray> image = FirmwareImageFromLines(TempListLines());
    // Only an image that was accepted whole may reach the device.
    if (!image || image->size() != FirmwareFileSize || !FirmwareLengthFitsPackets(image->size()))
        return -1;
    const QScopedValueRollback<bool> running(exchangeRunning_, true);
    LinkContext link = Link();
    const auto *data = reinterpret_cast<const std::uint8_t *>(image->constData());
    return WriteFirmware(link, std::span<const std::uint8_t>(data, std::size_t(image->size())));
}

void TMainForm::SoftUpdatesListBoxClick()
{
    WaitCursor cursor;
    SetEnabled({WriteSWButton, SoftUpdatesListBox, DevOperModeGrB, RPU_rb, RTR_rb, MRO_rb, MainPageC},
               false);
    const int row = SoftUpdatesListBox->currentRow();
    if (row >= 0 && row < SoftUpdatesListBox->count()) {
        const QString path =
            ProgramFolder + QStringLiteral("/base/") + SoftUpdatesListBox->item(row)->text();
        if (ParseFirmwareFile(path)) {
            WriteSWButton->setEnabled(true);
            SoftUpdateGrB->setVisible(true);
        } else {
            SoftUpdateGrB->setVisible(false);
        }
    }
    cursor.Restore();
    SetEnabled({SoftUpdatesListBox, DevOperModeGrB, RPU_rb, RTR_rb, MRO_rb, MainPageC}, true);
}

void TMainForm::WriteSWButtonClick()
{
    WriteSelectedFirmware();
}

void TMainForm::WriteSelectedFirmware()
{
    SetEnabled({WriteSWButton, SoftUpdatesListBox, DevOperModeGrB, DisconnectButton, RPU_rb, RTR_rb,
                MRO_rb, MainPageC},
               false);
    WaitCursor cursor;
    const int code = WriteTempListFirmware();
    cursor.Restore();

    if (code < 0) {
        // Nothing was sent: the buffer no longer holds the accepted file.
        ShowStatus(Msg(kMsgBadFormat));
        Box(kTitleSystem, Msg(kMsgBadFormat), Dialogs::Icon::Error);
        SetEnabled({SoftUpdatesListBox, DevOperModeGrB, DisconnectButton, RPU_rb, RTR_rb, MRO_rb,
                    MainPageC},
                   true);
        return;
    }
    if (code == 0) {
        MainPageC->setEnabled(true);
        SetProgress(0);
        DisconnectButtonClick();
        ConnectButtonClick();
        return;
    }
    SetProgress(0);
    // The page control would otherwise come back disabled with the next link.
    SetEnabled({SoftUpdatesListBox, DevOperModeGrB, RPU_rb, RTR_rb, MRO_rb, MainPageC}, true);
    ReportTransferFailure(WriteFirmwareMessage(code));
}

void TMainForm::OfferNewerFirmware()
{
    switch (deviceInfo.deviceClass) {
    case 0: SelectDeviceModeButton(RPU_rb); break;
    case 1: SelectDeviceModeButton(MRO_rb); break;
    default: SelectDeviceModeButton(nullptr); break;
    }
    SetEnabled({DevOperModeGrB, RPU_rb, RTR_rb, MRO_rb, SoftUpdatesListBox}, true);
    SoftUpdateGrB->setVisible(false);
    SetPageTabVisible(RegistBackupTabSh, false);
    SetPageTabVisible(ReleSettingsTabSh, false);
    SetPageTabVisible(ReleSettingsTabRPU, false);

    QString name;
    if (!FindNewerFirmware(name)) {
        ShowStatus(Msg(kMsgNoNewer));
        return;
    }
    if (Box(kTitleSystem, Msg(kMsgNewerFound), Dialogs::Icon::Question, Dialogs::Buttons::YesNo)
        != Dialogs::Answer::Yes)
        return;

    SetTempListLines(QStringList());
    const std::initializer_list<QWidget *> busy = {MainPageC, DisconnectButton, SoftUpdatesListBox,
                                                   DevOperModeGrB, RPU_rb, RTR_rb, MRO_rb};
    SetEnabled(busy, false);
    WaitCursor cursor;

    if (!ParseFirmwareFile(ProgramFolder + QStringLiteral("/base/") + name)) {
        SetEnabled(busy, true);
        return;
    }
    SoftUpdateGrB->setVisible(true);
    const int code = WriteTempListFirmware();
    if (code == 0) {
        SetProgress(0);
        DisconnectButtonClick();
        ConnectButtonClick();
        MainPageC->setEnabled(true);
        return;
    }
    cursor.Restore();
    SetProgress(0);
    // The page control would otherwise come back disabled with the next link.
    SetEnabled({MainPageC, SoftUpdatesListBox, DevOperModeGrB, RPU_rb, RTR_rb, MRO_rb}, true);
    ReportTransferFailure(WriteFirmwareMessage(code));
}

void TMainForm::DevOperModeGrB_rbClick()
{
    struct PageSet {
        bool backup;
        bool relay;
        bool rpu;
    };
    auto apply = [this](const PageSet &pages) {
        SetPageTabVisible(RegistBackupTabSh, pages.backup);
        SetPageTabVisible(ReleSettingsTabSh, pages.relay);
        SetPageTabVisible(ReleSettingsTabRPU, pages.rpu);
    };

    if (workMode == WorkMode::Demo) {
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

    if (SelectedDeviceClass == deviceInfo.deviceClass) {
        const bool v104 = deviceInfo.versionByte >= 104;
        if (RPU_rb->isChecked())
            apply({true, false, v104});
        else if (RTR_rb->isChecked())
            apply({true, v104, false});
        else if (MRO_rb->isChecked())
            apply({false, true, false});
    } else {
        apply({false, false, false});
        Box(kTitleSystem, Msg(kMsgModeMismatch), Dialogs::Icon::Information);
    }

    // Refreshes the list and disables the write button; the answer is not used.
    QString unused;
    FindNewerFirmware(unused);
}

} // namespace rpu
