#pragma once
// The main window. Controls carry their object names so that code and tests
// find them by name. Handler definitions are split by page:
//   mainform.cpp          construction, show, close, F5, status and progress
//   mainform_layout.cpp   the controls and their geometry
//   mainform_pages.cpp    work modes, connect, disconnect, page change
//   mainform_firmware.cpp firmware list, offer, write, device-mode buttons

#include "app/appservices.h"
#include "app/dialogs.h"
#include "link/devicelink.h"
#include "link/transport.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <initializer_list>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QStringListModel;
class QTabWidget;

namespace rpu {

enum class WorkMode { Demo, Online };

inline const QString kApplicationTitle = QStringLiteral("Dorel-RPU-KSY");

// Enables or disables a set of controls at once.
inline void SetEnabled(std::initializer_list<QWidget *> widgets, bool enabled)
{
    for (QWidget *w : widgets)
        w->setEnabled(enabled);
}

class TMainForm : public QWidget, public ProgressSink {
    Q_OBJECT
public:
    explicit TMainForm(const AppServices &services, QWidget *parent = nullptr);
    ~TMainForm() override;

    // Status bar and progress bar.
    void ShowStatus(const QString &text) override;
    void SetProgress(int percent) override;
    QString StatusText() const;

    // Window state read and written by the pages.
    QString ProgramFolder;
    QString RpuFilePrefix;
    QString RtrFilePrefix;
    QString ObjectPrefix;
    QString RegistrationDateStamp;
    QString ConfCodeInfix;
    WorkMode workMode = WorkMode::Online;
    int ReleOutputCount = 0;
    int RelaySectionLength = 0;
    int SettingsFileCellCount = 0;
    QString NewestFirmwareName;
    QString FirmwareVersionDigits;
    int FirmwareFileSize = 0;
    int SelectedDeviceClass = -1;
    DeviceInfo deviceInfo;

    // The value buffer: one unsigned decimal text per line.
    QStringList TempListLines() const;
    void SetTempListLines(const QStringList &lines);
    int TempListCount() const;

public slots:
    // Work modes and pages.
    void OperModeCmBChange();
    void ConnectButtonClick();
    void DisconnectButtonClick();
    void MainPageCChange();
    void EnterLinkDownState();
    void ClearDeviceInfo();

    // Firmware page.
    void OfferNewerFirmware();
    void DevOperModeGrB_rbClick();
    void SoftUpdatesListBoxClick();
    void WriteSWButtonClick();
    void WriteSelectedFirmware();

    // Settings and backup pages (filled by their own work).
    void DefaultSettingsButtonClick();
    void ReadButtonClick();
    void WriteButtonClick();

public:
    // --- Controls (object names as shown) ---
    QTabWidget *MainPageC = nullptr;
    QWidget *MainTabSh = nullptr;
    QWidget *RegistBackupTabSh = nullptr;
    QWidget *ReleSettingsTabSh = nullptr;
    QWidget *ReleSettingsTabRPU = nullptr;
    QTabWidget *ReleSettingsPageC = nullptr;   // Rele1TabSh, Rele2TabSh, OK1TabSh
    QTabWidget *ReleSettingsRPUPageC = nullptr; // TabSheet2, TabSheet3, TabSheet4

    // Main page.
    QLabel *Label_maintabsh_header_rpu = nullptr;
    QLabel *Label_maintabsh_header_sela = nullptr;
    QGroupBox *SoftUpdateGrB2 = nullptr;
    QLabel *DevTypeLabel = nullptr;
    QLabel *DevTypeLabel2 = nullptr;
    QLabel *CurrentSoftVerLabel = nullptr;
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

    // Backup page.
    QLabel *Dev2TypeLabel2 = nullptr;
    QPushButton *RegBackupCreateButton = nullptr;
    QPushButton *RegBackupRestoreButton = nullptr;
    QPushButton *RegBackupDeleteButton = nullptr;
    QGroupBox *RPU_RTRRadioGr = nullptr;       // items "РПУ", "РТР"
    QButtonGroup *RPU_RTRRadioItems = nullptr;  // ids 0 and 1
    QLineEdit *ObjNumEdit = nullptr;
    QComboBox *ModuleNumCmB = nullptr;
    QLabel *RegFNameLabel2 = nullptr;
    QLabel *ConfCodeLabel2 = nullptr;

    // Command column.
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QGroupBox *OperModeGrB = nullptr;
    QComboBox *OperModeCmB = nullptr;
    QGroupBox *GroupBox39 = nullptr;
    QPushButton *ConnectButton = nullptr;
    QPushButton *DisconnectButton = nullptr;
    QGroupBox *GroupBox40 = nullptr;
    QPushButton *WriteButton = nullptr;
    QPushButton *ReadButton = nullptr;
    QGroupBox *GroupBox41 = nullptr;
    QPushButton *SaveButton = nullptr;
    QPushButton *LoadButton = nullptr;
    QGroupBox *GroupBox42 = nullptr;
    QPushButton *DefaultSettingsButton = nullptr;
    QPushButton *Help = nullptr;
    QLabel *LngLabel = nullptr;
    QComboBox *LangCmB = nullptr;
    QPushButton *btn_ChangeLang = nullptr;

    // Bottom.
    QStatusBar *MainStatusB = nullptr;
    QLabel *MainStatusText = nullptr;
    QProgressBar *MainProgressB = nullptr;

    // Welcome area.
    QLabel *Logo1_lb = nullptr;
    QLabel *logo2_lb = nullptr;
    QLabel *logo3_lb = nullptr;
    QLabel *logo4_lb = nullptr;
    QLabel *Logo1_SELA_lb = nullptr;
    QLabel *logo2_SELA_lb = nullptr;
    QLabel *logo4_SELA_lb = nullptr;
    QLabel *logo5_lb = nullptr;
    QLabel *Logo_Image = nullptr;
    QLabel *Label_webaddr = nullptr;
    QLabel *Label_emailaddr = nullptr;
    QPushButton *Button2 = nullptr;

    // Page helpers.
    // Makes a page active without running the page change.
    void SetActivePage(QWidget *page);
    QWidget *ActivePage() const;
    void SetPageTabVisible(QWidget *page, bool visible);
    bool IsPageTabVisible(QWidget *page) const;
    // Selects one device-mode button (running its handler when it was not
    // selected before), or clears all three when button is null.
    void SelectDeviceModeButton(QRadioButton *button);

    // Runs a handler; an error raised in it is shown in a box titled with the
    // application title, and the program goes on.
    void RunGuarded(const std::function<void()> &handler);

    const AppServices &Services() const { return services_; }
    LinkContext Link();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void BuildControls();   // C1
    void ConnectHandlers();
    void FormShow();        // S1..S4
    // InitLink for a page; fills the device labels on success.
    int InitLinkAndShow(std::uint8_t code);
    // Error box for InitLink's code r.
    void ShowInitLinkError(int result);
    // Status and error box for a failed block transfer, then the link-down state.
    void ReportTransferFailure(int message);
    // Firmware page (mainform_firmware.cpp).
    bool ParseFirmwareFile(const QString &path);
    bool FindNewerFirmware(QString &name);
    // Sends the image held in TempListB2; WriteFirmware's code.
    int WriteTempListFirmware();
public:
    QString Msg(int number) const;
private:
    // A box titled with catalogue message titleMessage.
    Dialogs::Answer Box(int titleMessage, const QString &text, Dialogs::Icon icon,
                        Dialogs::Buttons buttons = Dialogs::Buttons::Ok);

    AppServices services_;
    QStringListModel *tempListModel_ = nullptr;
    bool shown_ = false;
    bool pageChangeFromProgram_ = false;
    // Counts entries into the link-down state, so a page change can tell
    // whether a hand-over ended in it.
    int linkDownEntries_ = 0;
    // True while a transfer lets window events run: closing must wait for it.
    bool exchangeRunning_ = false;
};

} // namespace rpu
