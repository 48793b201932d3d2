#include "app/mainform.h"

#include "app/accessiblenames.h"
#include "app/languageswitch.h"
#include "app/pageflow.h"
#include "app/progressthrottle.h"
#include "app/pages/backuppage.h"
#include "app/pages/commandcolumn.h"
#include "app/pages/mainpage.h"
#include "app/pages/settingspage.h"
#include "app/pages/welcomearea.h"
#include "app/screenfit.h"
#include "app/widgetkit.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "link/usblink.h"
#include "session/valuebuffer.h"

#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

// Resources of a static library have to be registered by name, from the
// global namespace.
static void InitAppResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace rpu {

namespace {

constexpr int kClientWidth = 794;
constexpr int kClientHeight = 570;
constexpr int kMsgCaption = msg::kWindowCaption;
constexpr int kMsgQuit = msg::kQuitQuestion;
// About two frames: smooth to the eye, a small share of a transfer.
constexpr int kProgressIntervalMs = 25;
constexpr int kStatusTop = 544;
constexpr int kMsgSimulated = msg::kSimulatedDevice;
constexpr int kMsgClosesAfterExchange = msg::kClosesAfterExchange;
constexpr int kClosePollMs = 100;

QString RegistrationDateStampOf(const QDate &date)
{
    // Fixed digits, not the short date format: its separators ("/") would end
    // up in backup file names.
    return QLatin1Char('_') + date.toString(QStringLiteral("ddMMyy")) + QLatin1Char('_');
}

// The folders go beside a portable program, whatever directory it was
// started from, and to the user's data folder for an installed one.
ProgramPlaces MakePlaces(const AppServices &services)
{
    ProgramPlaces places;
    places.Folders = ProgramFoldersOf(services.programFilePath);
    places.ProgramFolder = places.Folders.programFolder;
    places.Folders.demoFirmware = services.link && services.link->Simulated();
    MakeWorkingFolders(places.Folders);
    QDir::setCurrent(places.Folders.dataFolder);
    // The stamp keeps the start date for the whole run.
    const QDate start = services.startDate.isValid() ? services.startDate : QDate::currentDate();
    places.RegistrationDateStamp = RegistrationDateStampOf(start);
    return places;
}

} // namespace

TMainForm::TMainForm(const AppServices &services, QWidget *parent)
    : QWidget(parent), services_(services)
{
    Transport &transport =
        services_.transport ? *services_.transport : static_cast<Transport &>(*services_.link);
    session_ = new DeviceSession(services_.link, transport, *services_.pacer, *services_.catalogue, this);
    buffer_ = new ValueBuffer(this);
    flow_ = new PageFlow(*session_, *this, this);
    context_ = std::make_unique<PageContext>(*session_, services_.dialogs, *services_.catalogue,
                                             *buffer_, *flow_, MakePlaces(services_), this);
    BuildWindow();
    flow_->Attach(*context_, {pages_, main_, backup_, relay_, rpu_, column_});
    ConnectCommands();

    // Starts on-line, on the main page, with only "Главная" offered.
    column_->SetWorkModeIndex(1);
    flow_->RunGuarded([this] { flow_->OperModeCmBChange(); });
    flow_->ClearDeviceInfo();
    for (PageId page : {PageId::Backup, PageId::RelaySettings, PageId::RpuSettings})
        flow_->SetPageTabVisible(page, false);
    InstallLanguageAndHelp(*this, services_);
}

TMainForm::~TMainForm()
{
    // The column and the pages reach the flow, the session and the context:
    // they go while those still exist.
    delete column_;
    delete pages_;
}

void TMainForm::BuildWindow()
{
    InitAppResources();
    setWindowTitle(QStringLiteral("Заголовок главного окна"));
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(SansFont());

    // Everything but the status bar lies on a client of the designed size,
    // which scrolls when the screen is smaller than the window. Both are
    // unnamed: the stored layouts see the controls where they always were.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    // Not a stop of its own for Tab: it scrolls to the control that gets the focus.
    scroll_->setFocusPolicy(Qt::NoFocus);
    auto *client = new QWidget;
    client->setFixedSize(kClientWidth, kClientHeight);
    scroll_->setWidget(client);

    // Behind the page control, so that it is seen while no page is.
    welcome_ = new WelcomeArea(client);

    pages_ = Named(new QTabWidget(client), "MainPageC");
    pages_->setGeometry(0, 0, 667, 544);
    pages_->installEventFilter(this);
    main_ = new MainPage(*context_, pages_);
    backup_ = new BackupPage(*context_, pages_);
    relay_ = new SettingsPage(*context_, PageId::RelaySettings, pages_);
    rpu_ = new SettingsPage(*context_, PageId::RpuSettings, pages_);
    relay_->SetSibling(rpu_);
    for (SettingsPage *page : {relay_, rpu_})
        connect(page, &SettingsPage::contentBuilt, this, &TMainForm::PagePartBuilt);
    connect(main_, &MainPage::contentBuilt, this, &TMainForm::PagePartBuilt);
    connect(backup_, &BackupPage::contentBuilt, this, &TMainForm::PagePartBuilt);
    for (QWidget *page : std::initializer_list<QWidget *>{main_, backup_, relay_, rpu_})
        pages_->addTab(page, QString());

    column_ = new CommandColumn(client);

    // Status bar with the progress bar over its right end. Below the page
    // control, not over its bottom edge, and opaque: a new status text then
    // repaints the bar alone, not the pages behind it.
    auto *statusBar = Named(new QStatusBar(this), "MainStatusB");
    statusBar_ = statusBar;
    statusBar->setGeometry(2, kStatusTop, 792, 26);
    statusBar->setSizeGripEnabled(false);
    statusText_ = Named(new QLabel(statusBar), "MainStatusText");
    statusBar->addWidget(statusText_, 1);
    progress_ = Named(new QProgressBar(this), "MainProgressB");
    progress_->setGeometry(587, 547, 204, 20);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->raise();
    for (QWidget *bar : std::initializer_list<QWidget *>{statusBar, statusText_, progress_})
        bar->setAutoFillBackground(true);
    // Drawn with every paint of the window: the first one starts building
    // the hidden settings pages.
    statusBar->installEventFilter(this);
    // A transfer's progress reaches the bars at most once per interval.
    throttle_ = new ProgressThrottle([this](int percent) { SetBarValue(percent); },
                                     [this](const QString &text) { statusText_->setText(text); },
                                     kProgressIntervalMs, this);

    // Kept for the translators' tools; never shown.
    MakeButton(client, "Button2", 420, 470, 180, 25)->hide();

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QMargins frame = GuessedFrame();
    FitInto(available, frame);
    if (screen)
        move(PlaceClient(size(), available, frame).topLeft() - QPoint(frame.left(), frame.top()));
}

void TMainForm::FitInto(const QRect &available, const QMargins &frame)
{
    const QSize window = FitClientSize({kClientWidth, kClientHeight}, available, frame,
                                       style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    setFixedSize(window);
    // The status strip keeps its place at the bottom edge; the client
    // scrolls above it when the window is cut down.
    const bool fits = window == QSize(kClientWidth, kClientHeight);
    scroll_->setGeometry(0, 0, window.width(), fits ? kClientHeight : window.height() - (kClientHeight - kStatusTop));
    const int dx = window.width() - kClientWidth;
    const int dy = window.height() - kClientHeight;
    statusBar_->setGeometry(2, kStatusTop + dy, 792 + dx, 26);
    // Of fixed size, a new text repaints the label alone; a label that may
    // grow has the bar laid out anew, its text measured, for every text.
    statusText_->setFixedSize(790 + dx, 21);
    progress_->setGeometry(587 + dx, 547 + dy, 204, 20);
}

void TMainForm::FitToScreen()
{
    const QScreen *shownOn = screen();
    if (!shownOn || !windowHandle())
        return;
    QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull())
        frame = GuessedFrame();
    FitInto(shownOn->availableGeometry(), frame);
    // Moved only when its frame leaves the screen: a window the user placed stays.
    const QRect available = shownOn->availableGeometry();
    if (!available.contains(frameGeometry()))
        move(PlaceClient(size(), available, frame).topLeft() - QPoint(frame.left(), frame.top()));
}

void TMainForm::ConnectCommands()
{
    PageFlow *flow = flow_;
    auto guarded = [flow](void (PageFlow::*handler)()) {
        return [flow, handler] { flow->RunGuarded([flow, handler] { (flow->*handler)(); }); };
    };
    connect(column_, &CommandColumn::workModeChosen, this, guarded(&PageFlow::OperModeCmBChange));
    connect(column_, &CommandColumn::connectClicked, this, guarded(&PageFlow::ConnectButtonClick));
    connect(column_, &CommandColumn::disconnectClicked, this,
            guarded(&PageFlow::DisconnectButtonClick));
    connect(column_, &CommandColumn::writeClicked, this, guarded(&PageFlow::WriteButtonClick));
    connect(column_, &CommandColumn::readClicked, this, guarded(&PageFlow::ReadButtonClick));
    connect(column_, &CommandColumn::saveClicked, this, guarded(&PageFlow::SaveButtonClick));
    connect(column_, &CommandColumn::loadClicked, this, guarded(&PageFlow::LoadButtonClick));
    connect(column_, &CommandColumn::factoryClicked, this,
            guarded(&PageFlow::DefaultSettingsButtonClick));
    connect(session_, &DeviceSession::progressChanged, throttle_, &ProgressThrottle::SetProgress);
    connect(session_, &DeviceSession::statusChanged, throttle_, &ProgressThrottle::ShowStatus);
}

// --- Entry points ---

void TMainForm::OperModeCmBChange() { flow_->OperModeCmBChange(); }
void TMainForm::ConnectButtonClick() { flow_->ConnectButtonClick(); }
void TMainForm::DisconnectButtonClick() { flow_->DisconnectButtonClick(); }
void TMainForm::MainPageCChange() { flow_->MainPageCChange(); }
void TMainForm::EnterLinkDownState() { flow_->EnterLinkDownState(); }
void TMainForm::ReadButtonClick() { flow_->ReadButtonClick(); }
void TMainForm::WriteButtonClick() { flow_->WriteButtonClick(); }
void TMainForm::SaveButtonClick() { flow_->SaveButtonClick(); }
void TMainForm::LoadButtonClick() { flow_->LoadButtonClick(); }
void TMainForm::DefaultSettingsButtonClick() { flow_->DefaultSettingsButtonClick(); }

// --- Status and progress ---

// Texts and values set here win over whatever a transfer still holds back.
void TMainForm::ShowStatus(const QString &text)
{
    throttle_->DropStatus();
    statusText_->setText(text);
}

void TMainForm::SetProgress(int percent)
{
    throttle_->DropProgress();
    SetBarValue(percent);
}

// The bar takes the latest value when window events next run, so a
// transfer that leaves it where it was drawn (every read) redraws nothing.
void TMainForm::SetBarValue(int percent)
{
    barValue_ = qBound(0, percent, 100);
    if (!std::exchange(barValuePending_, true))
        QMetaObject::invokeMethod(this, &TMainForm::PresentBarValue, Qt::QueuedConnection);
}

// QProgressBar repaints at once on a new value, and a repaint at once
// flushes apart from the rest of the round's drawing: drawn with it instead.
void TMainForm::PresentBarValue()
{
    barValuePending_ = false;
    if (progress_->value() == barValue_)
        return;
    progress_->setUpdatesEnabled(false);
    progress_->setValue(barValue_);
    progress_->setUpdatesEnabled(true);
}

QString TMainForm::StatusText() const
{
    return throttle_->HeldStatus().value_or(statusText_->text());
}

// --- Window events ---

void TMainForm::showEvent(QShowEvent *event)
{
    if (!shown_) {
        shown_ = true;
        flow_->RunGuarded([this] { FormShow(); });
        // The frame is known once the window is on the screen; the screen
        // may change (another monitor, another scale).
        if (QWindow *window = windowHandle()) {
            connect(window, &QWindow::screenChanged, this, &TMainForm::FitToScreen);
            QTimer::singleShot(0, this, &TMainForm::FitToScreen);
        }
    }
    QWidget::showEvent(event);
}

void TMainForm::FormShow()
{
    for (PageId page : {PageId::Backup, PageId::RelaySettings, PageId::RpuSettings})
        flow_->SetPageTabVisible(page, false);
    flow_->CommandsChanged();
    ShowWindowTexts();
    welcome_->ShowEdition();
}

void TMainForm::ShowWindowTexts()
{
    const QString caption = context_->Msg(kMsgCaption);
    setWindowTitle(session_->Simulated() ? services_.catalogue->Format(kMsgSimulated, caption) : caption);
    NameInputsByGroups(this);
}

// --- The settings pages, built late ---

void TMainForm::BuildAllPages()
{
    main_->BuildMemo();
    backup_->BuildContent();
    relay_->BuildContent();
    rpu_->BuildContent();
}

// A part built after the window took its texts: named, translated and given
// its readers' names as the rest was at start.
void TMainForm::PagePartBuilt(QWidget *part)
{
    if (LanguageSwitch *languages = LanguageSwitchOf(*this))
        languages->TranslateBuiltPart(*part);
    NameInputsByGroups(part);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pages_ && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        welcome_->SetCovered(!pages_->isHidden());
    if (watched == statusBar_ && event->type() == QEvent::Paint) {
        statusBar_->removeEventFilter(this);
        // Queued behind the paint in progress, so the window is on the screen first.
        QTimer::singleShot(0, this, &TMainForm::BuildNextPageWhenIdle);
    }
    return QWidget::eventFilter(watched, event);
}

// One part per event round: input and paints are not held up for all.
void TMainForm::BuildNextPageWhenIdle()
{
    if (!main_->MemoBuilt() || !backup_->ContentBuilt()) {
        main_->BuildMemo();
        backup_->BuildContent();
        QTimer::singleShot(0, this, &TMainForm::BuildNextPageWhenIdle);
        return;
    }
    for (SettingsPage *page : {relay_, rpu_}) {
        if (!page->ContentBuilt()) {
            page->BuildContent();
            QTimer::singleShot(0, this, &TMainForm::BuildNextPageWhenIdle);
            return;
        }
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // Closing the pipes under a running transfer would cut the device off
    // half-written: the window says so and closes once the work is over.
    if (closeWhenIdle_ && !session_->Busy() && !QApplication::activeModalWidget()) {
        session_->Close();
        event->accept();
        return;
    }
    if (session_->Busy()) {
        event->ignore();
        ShowStatus(context_->Msg(kMsgClosesAfterExchange));
        if (!closeWhenIdle_) {
            closeWhenIdle_ = true;
            // Polled: the handler that runs the exchange may still show its
            // outcome in a box after the session is idle again.
            auto *poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [this, poll] {
                if (session_->Busy() || QApplication::activeModalWidget())
                    return;
                poll->deleteLater();
                close();
            });
            poll->start(kClosePollMs);
        }
        return;
    }
    bool close = false;
    flow_->RunGuarded([&] {
        close = context_->Box(kTitleSystem, context_->Msg(kMsgQuit), Dialogs::Icon::Question,
                              Dialogs::Buttons::YesNo)
                == Dialogs::Answer::Yes;
        // No break frame at exit: the device drops the link by itself.
        if (close)
            session_->Close();
    });
    if (!close) {
        event->ignore();
        return;
    }
    // A language chosen in the same event round is recorded still.
    if (LanguageSwitch *languages = LanguageSwitchOf(*this))
        languages->WritePendingRecords();
    event->accept();
}

void TMainForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F5) {
        QWidget::keyPressEvent(event);
        return;
    }
    main_->ToggleAuxiliary();
    event->accept();
}

} // namespace rpu
