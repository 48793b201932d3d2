#pragma once
// The main page ("Главная"): what device is linked, the firmware files of the
// base folder, the newer-firmware offer and the firmware write, and the
// device-mode buttons that decide which pages demo mode offers.

#include "app/pagecontext.h"
#include "app/pages/page.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace rpu {

class MainPage final : public QWidget, public Page {
    Q_OBJECT
public:
    MainPage(PageContext &context, QWidget *parent);

    CommandOffer Offer() const override { return {}; }

    // The device identified last, in the labels.
    void ShowDevice(const QString &typeText);
    // Empties the device and firmware file labels.
    void ClearDeviceInfo();
    // Entering the page: on-line shows the firmware list, demo hides it.
    void EnterOnline();
    void EnterDemo();
    // F5: the hidden value buffer and memo.
    void ToggleAuxiliary();
    // The memo is built after the window's first paint (or by F5): the
    // first picture does not need it, and a text editor is costly to make.
    void BuildMemo();
    bool MemoBuilt() const { return Memo1; }
    DeviceModeChoice SelectedDeviceMode() const;

    int SelectedDeviceClass = -1;
    QString NewestFirmwareName;
    QString FirmwareVersionDigits;
    int FirmwareFileSize = 0;

public slots:
    void OfferNewerFirmware();
    void DevOperModeGrB_rbClick();
    void SoftUpdatesListBoxClick();
    void WriteSWButtonClick();
    void WriteSelectedFirmware();
    // Selects one device-mode button (running its handler when it was not
    // selected before), or clears all three when button is null.
    void SelectDeviceModeButton(QRadioButton *button);

signals:
    // A part built after the window took its texts.
    void contentBuilt(QWidget *content);

private:
    void BuildControls();
    void UpdateEnabled();
    void SetFirmwareAccepted(bool accepted);
    bool ParseFirmwareFile(const QString &path);
    bool FindNewerFirmware(QString &name);
    // Sends the image held in the value buffer; no value when the buffer no
    // longer holds the file accepted last.
    std::optional<FirmwareOutcome> WriteBufferedFirmware();
    // After a write: renew the link, or report the failure and drop it.
    void FinishFirmwareWrite(FirmwareOutcome outcome);
    QString BasePath(const QString &name) const;

    PageContext &context_;
    bool firmwareAccepted_ = false;
    bool refillingList_ = false;

    QLabel *Label_maintabsh_header_rpu = nullptr;
    QLabel *Label_maintabsh_header_sela = nullptr;
    QGroupBox *SoftUpdateGrB2 = nullptr;
    QLabel *DevTypeLabel2 = nullptr;
    QLabel *CurrentSoftVerLabel2 = nullptr;
    QGroupBox *DevOperModeGrB = nullptr;
    QRadioButton *RPU_rb = nullptr;
    QRadioButton *RTR_rb = nullptr;
    QRadioButton *MRO_rb = nullptr;
    QGroupBox *SoftUpdatesGroupBox = nullptr;
    QListWidget *SoftUpdatesListBox = nullptr;
    QPushButton *WriteSWButton = nullptr;
    QGroupBox *SoftUpdateGrB = nullptr;
    QLabel *SoftFNameLabel2 = nullptr;
    QLabel *SoftFTypeLabel2 = nullptr;
    QLabel *SoftFSizeLabel2 = nullptr;
    QLabel *NewSoftVerLabel2 = nullptr;
    QLabel *SoftFDateLabel2 = nullptr;
    QListView *TempListB2 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
};

} // namespace rpu
