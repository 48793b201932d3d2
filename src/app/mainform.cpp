// Construction, show, close, F5, the status and progress bars, and the
// wiring of every control to its handler.

#include "app/mainform.h"

#include "i18n/messagecatalogue.h"
#include "link/usblink.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QStringListModel>
#include <QTabWidget>

#include <exception>

namespace rpu {

namespace {
const QStringList kWorkingFolders = {QStringLiteral("reg"), QStringLiteral("base"),
                                     QStringLiteral("conf")};

QString RegistrationDateStampOf(const QDate &date)
{
    // Fixed digits, not the short date format: its separators ("/") would end
    // up in backup file names.
    return QLatin1Char('_') + date.toString(QStringLiteral("ddMMyy")) + QLatin1Char('_');
}
} // namespace

TMainForm::TMainForm(const AppServices &services, QWidget *parent)
    : QWidget(parent), services_(services)
{
    // C1
    BuildControls();
    ConnectHandlers();

    // C2
    ProgramFolder.clear();
    RpuFilePrefix.clear();
    RtrFilePrefix.clear();
    ObjectPrefix.clear();
    RegistrationDateStamp.clear();
    ConfCodeInfix.clear();
    NewestFirmwareName.clear();
    FirmwareVersionDigits.clear();

    // C3
    OperModeCmB->setCurrentIndex(1);
    RunGuarded([this] { OperModeCmBChange(); });
    // C4, C5
    workMode = WorkMode::Online;
    SetActivePage(MainTabSh);
    // C6
    ObjNumEdit->clear();
    ModuleNumCmB->clear();
    ModuleNumCmB->clearEditText();
    // C7
    DevTypeLabel2->clear();
    CurrentSoftVerLabel2->clear();
    // C8
    DevOperModeGrB->hide();
    Label_maintabsh_header_rpu->hide();
    Label_maintabsh_header_sela->show();
    // C9
    SetPageTabVisible(RegistBackupTabSh, false);
    SetPageTabVisible(ReleSettingsTabSh, false);
    SetPageTabVisible(ReleSettingsTabRPU, false);

    // C10, C11: the folders go beside the program, whatever directory the
    // program was started from.
    const QString folder = QDir::cleanPath(QFileInfo(services_.programFilePath).absolutePath());
    const QDir programDir(folder);
    for (const QString &name : kWorkingFolders) {
        if (!QFileInfo(programDir, name).isDir())
            programDir.mkdir(name); // a failure shows later, in the file operations
    }
    QDir::setCurrent(folder);
    ProgramFolder = folder;

    // C12
    ReleOutputCount = 3;
    RelaySectionLength = 45;
    SettingsFileCellCount = 96;

    // C13: the stamp keeps the start date for the whole run.
    const QDate start = services_.startDate.isValid() ? services_.startDate : QDate::currentDate();
    RegistrationDateStamp = RegistrationDateStampOf(start);

    // C14
    RpuFilePrefix = QStringLiteral("ksy_rpu_");
    RtrFilePrefix = QStringLiteral("ksy_rtr_");
    ObjectPrefix = QStringLiteral("object_");
    ConfCodeInfix = QStringLiteral("_conf_");
}

TMainForm::~TMainForm() = default;

void TMainForm::ConnectHandlers()
{
    auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };

    connect(OperModeCmB, &QComboBox::activated, this, guarded(&TMainForm::OperModeCmBChange));
    connect(ConnectButton, &QPushButton::clicked, this, guarded(&TMainForm::ConnectButtonClick));
    connect(DisconnectButton, &QPushButton::clicked, this,
            guarded(&TMainForm::DisconnectButtonClick));
    connect(MainPageC, &QTabWidget::currentChanged, this, [this] {
        if (!pageChangeFromProgram_)
            RunGuarded([this] { MainPageCChange(); });
    });
    for (QRadioButton *button : {RPU_rb, RTR_rb, MRO_rb}) {
        connect(button, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                RunGuarded([this] { DevOperModeGrB_rbClick(); });
        });
    }
    connect(SoftUpdatesListBox, &QListWidget::itemClicked, this,
            guarded(&TMainForm::SoftUpdatesListBoxClick));
    connect(WriteSWButton, &QPushButton::clicked, this, guarded(&TMainForm::WriteSWButtonClick));
    connect(WriteButton, &QPushButton::clicked, this, guarded(&TMainForm::WriteButtonClick));
    connect(ReadButton, &QPushButton::clicked, this, guarded(&TMainForm::ReadButtonClick));
    connect(DefaultSettingsButton, &QPushButton::clicked, this,
            guarded(&TMainForm::DefaultSettingsButtonClick));
}

// --- Status and progress ---

void TMainForm::ShowStatus(const QString &text)
{
    MainStatusText->setText(text);
}

void TMainForm::SetProgress(int percent)
{
    MainProgressB->setValue(qBound(0, percent, 100));
}

QString TMainForm::StatusText() const
{
    return MainStatusText->text();
}

// --- Value buffer ---

QStringList TMainForm::TempListLines() const
{
    return tempListModel_->stringList();
}

void TMainForm::SetTempListLines(const QStringList &lines)
{
    tempListModel_->setStringList(lines);
}

int TMainForm::TempListCount() const
{
    return tempListModel_->rowCount();
}

// --- Pages ---

void TMainForm::SetActivePage(QWidget *page)
{
    const QScopedValueRollback<bool> fromProgram(pageChangeFromProgram_, true);
    MainPageC->setCurrentWidget(page);
}

QWidget *TMainForm::ActivePage() const
{
    return MainPageC->currentWidget();
}

void TMainForm::SetPageTabVisible(QWidget *page, bool visible)
{
    const int index = MainPageC->indexOf(page);
    if (index < 0)
        return;
    // Hiding the current tab moves the selection; that is not a page change.
    const QScopedValueRollback<bool> fromProgram(pageChangeFromProgram_, true);
    MainPageC->setTabVisible(index, visible);
}

bool TMainForm::IsPageTabVisible(QWidget *page) const
{
    const int index = MainPageC->indexOf(page);
    return index >= 0 && MainPageC->isTabVisible(index);
}

void TMainForm::SelectDeviceModeButton(QRadioButton *button)
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

// --- Errors and messages ---

void TMainForm::RunGuarded(const std::function<void()> &handler)
{
    QString error;
    try {
        handler();
        return;
    } catch (const std::exception &e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    if (services_.dialogs)
        services_.dialogs->MessageBox(this, kApplicationTitle, error, Dialogs::Icon::Error,
                                      Dialogs::Buttons::Ok);
}

QString TMainForm::Msg(int number) const
{
    return services_.catalogue ? services_.catalogue->Text(number) : QString();
}

Dialogs::Answer TMainForm::Box(int titleMessage, const QString &text, Dialogs::Icon icon,
                               Dialogs::Buttons buttons)
{
    if (!services_.dialogs)
        return buttons == Dialogs::Buttons::YesNo ? Dialogs::Answer::No : Dialogs::Answer::Ok;
    return services_.dialogs->MessageBox(this, Msg(titleMessage), text, icon, buttons);
}

LinkContext TMainForm::Link()
{
    Transport &transport =
        services_.transport ? *services_.transport : static_cast<Transport &>(*services_.link);
    return LinkContext{transport, *services_.pacer, *this, *services_.catalogue};
}

// --- Window events ---

void TMainForm::showEvent(QShowEvent *event)
{
    if (!shown_) {
        shown_ = true;
        RunGuarded([this] { FormShow(); });
    }
    QWidget::showEvent(event);
}

void TMainForm::FormShow()
{
    // S1, S2
    MainPageC->hide();
    SetPageTabVisible(RegistBackupTabSh, false);
    SetPageTabVisible(ReleSettingsTabSh, false);
    SetPageTabVisible(ReleSettingsTabRPU, false);
    // S3
    setWindowTitle(Msg(10087));
    // S4
    for (QLabel *label : {Logo1_lb, logo2_lb, logo3_lb, logo4_lb})
        label->hide();
    for (QLabel *label : {Logo1_SELA_lb, logo2_SELA_lb, logo4_SELA_lb, logo5_lb, Logo_Image,
                          Label_webaddr, Label_emailaddr})
        label->show();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // Closing the pipes under a running transfer would cut the device off
    // half-written; the close can be asked again once it is over.
    if (exchangeRunning_) {
        event->ignore();
        return;
    }
    bool close = false;
    RunGuarded([&] {
        close = Box(10013, Msg(10012), Dialogs::Icon::Question, Dialogs::Buttons::YesNo)
                == Dialogs::Answer::Yes;
        // No break frame at exit: the device drops the link by itself.
        if (close && services_.link)
            services_.link->CloseUsbDevice();
    });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TMainForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F5) {
        QWidget::keyPressEvent(event);
        return;
    }
    TempListB2->setVisible(TempListB2->isHidden());
    Memo1->setVisible(Memo1->isHidden());
    event->accept();
}

} // namespace rpu
