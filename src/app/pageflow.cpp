#include "app/pageflow.h"

#include "app/pages/backuppage.h"
#include "app/pages/commandcolumn.h"
#include "app/pages/mainpage.h"
#include "app/pages/settingspage.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "session/outcomemessages.h"

#include <QApplication>
#include <QScopedValueRollback>
#include <QTabWidget>


namespace rpu {

namespace {
constexpr int kMsgDeviceFound = msg::kDeviceFound;
constexpr int kMsgLinkBroken = msg::kLinkBroken;
constexpr int kMsgBreakNotSent = msg::kBreakNotSent;
constexpr int kMsgConnecting = msg::kLinking;
constexpr int kMsgLinkLost = msg::kLinkLost;
constexpr int kMsgLinked = msg::kLinked;
constexpr int kMsgLinkFailed = msg::kLinkFailed;
constexpr int kMsgSimulatedDevice = msg::kSimulatedDevice;

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}
} // namespace

// Drops the user's input to the window while a transfer runs.
class WindowInputLock final : public QObject {
public:
    explicit WindowInputLock(QWidget *window) : window_(window) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!IsUserInput(event->type()) || !watched->isWidgetType())
            return false;
        return Covers(static_cast<QWidget *>(watched));
    }
    bool Covers(const QWidget *widget) const { return widget == window_ || window_->isAncestorOf(widget); }

private:
    QWidget *window_;
};

PageFlow::PageFlow(DeviceSession &session, ProgressSink &status, QObject *parent)
    : QObject(parent), session_(session), status_(status)
{
}

PageFlow::~PageFlow() = default;

void PageFlow::Attach(PageContext &context, const Parts &parts)
{
    context_ = &context;
    parts_ = parts;
    connect(parts_.pages, &QTabWidget::currentChanged, this, [this] {
        if (!pageChangeFromProgram_)
            RunGuarded([this] { MainPageCChange(); });
    });
    connect(&session_, &DeviceSession::stateChanged, this, &PageFlow::CommandsChanged);
    CommandsChanged();
}

void PageFlow::RunGuarded(const std::function<void()> &handler) const
{
    if (context_)
        context_->Guarded(handler);
    else
        handler();
}

// --- The command rule, applied ---

CommandOffer PageFlow::ActiveOffer() const
{
    return PageObject(ActivePage()).Offer();
}

void PageFlow::CommandsChanged()
{
    if (!parts_.column)
        return;
    // A settings or registration transfer keeps the window's look and takes
    // its input away: greying redrew the command column and the page twice a
    // transfer, more than a read's own pause. The firmware write, long and on
    // the main page, greys the controls.
    const bool busy = session_.Busy();
    const bool greyed = busy && ActivePage() == PageId::Main;
    const CommandState state = CommandsFor(session_.Mode(), session_.State(), greyed, ActiveOffer());
    parts_.column->Apply(state);
    parts_.pages->setVisible(state.pagesShown);
    parts_.pages->setEnabled(state.pagesEnabled);
    const bool locked = busy && !greyed;
    if (locked && !inputLock_) {
        inputLock_ = std::make_unique<WindowInputLock>(parts_.pages->window());
        qApp->installEventFilter(inputLock_.get());
    } else if (!locked && inputLock_) {
        inputLock_.reset(); // removes itself from the application's filters
    }
}

bool PageFlow::TakesInput(const QWidget *widget) const
{
    return widget && widget->isEnabled() && !(inputLock_ && inputLock_->Covers(widget));
}

bool PageFlow::PagesTakeInput() const
{
    return TakesInput(parts_.pages);
}

// --- Pages ---

QWidget *PageFlow::PageWidget(PageId page) const
{
    switch (page) {
    case PageId::Main: return parts_.main;
    case PageId::Backup: return parts_.backup;
    case PageId::RelaySettings: return parts_.relay;
    case PageId::RpuSettings: return parts_.rpu;
    }
    return nullptr;
}

void PageFlow::SetActivePage(PageId page)
{
    const QScopedValueRollback<bool> fromProgram(pageChangeFromProgram_, true);
    parts_.pages->setCurrentWidget(PageWidget(page));
    CommandsChanged();
}

PageId PageFlow::ActivePage() const
{
    QWidget *current = parts_.pages->currentWidget();
    for (PageId page : {PageId::Backup, PageId::RelaySettings, PageId::RpuSettings}) {
        if (current == PageWidget(page))
            return page;
    }
    return PageId::Main;
}

Page &PageFlow::PageObject(PageId page) const
{
    switch (page) {
    case PageId::Backup: return *parts_.backup;
    case PageId::RelaySettings: return *parts_.relay;
    case PageId::RpuSettings: return *parts_.rpu;
    case PageId::Main: break;
    }
    return *parts_.main;
}

void PageFlow::SetPageTabVisible(PageId page, bool visible)
{
    const int index = parts_.pages->indexOf(PageWidget(page));
    if (index < 0)
        return;
    // Hiding the current tab moves the selection; that is not a page change.
    const QScopedValueRollback<bool> fromProgram(pageChangeFromProgram_, true);
    parts_.pages->setTabVisible(index, visible);
}

bool PageFlow::IsPageTabVisible(PageId page) const
{
    const int index = parts_.pages->indexOf(PageWidget(page));
    return index >= 0 && parts_.pages->isTabVisible(index);
}

DeviceModeChoice PageFlow::SelectedDeviceMode() const
{
    return parts_.main->SelectedDeviceMode();
}

void PageFlow::ShowStatus(const QString &text)
{
    status_.ShowStatus(text);
}

void PageFlow::SetProgress(int percent)
{
    status_.SetProgress(percent);
}

// --- Work modes, connect, disconnect ---

void PageFlow::OperModeCmBChange()
{
    switch (parts_.column->WorkModeIndex()) {
    case 0:
        session_.SetMode(WorkMode::Demo);
        session_.SetState(LinkState::Down);
        ClearDeviceInfo();
        parts_.main->DevOperModeGrB_rbClick();
        SetActivePage(PageId::Main);
        MainPageCChange();
        break;
    case 1:
        session_.SetMode(WorkMode::Online);
        session_.SetState(LinkState::Down);
        SetActivePage(PageId::Main);
        break;
    default:
        break;
    }
    CommandsChanged();
}

void PageFlow::ConnectButtonClick()
{
    const OpenOutcome outcome = session_.Open();
    if (outcome == OpenOutcome::Opened) {
        context_->Status(kMsgDeviceFound);
        SetActivePage(PageId::Main);
        MainPageCChange();
        return;
    }
    const LinkProblem problem = session_.LastLinkProblem();
    if (outcome == OpenOutcome::NoDevice && problem.fault == LinkFault::NoListener) {
        const QString text = LinkProblemText(problem, context_->catalogue());
        ShowStatus(text);
        context_->Box(kTitleWarning, text, Dialogs::Icon::Error);
    } else {
        context_->Fail(OutcomeMessage(outcome), kTitleWarning);
    }
    session_.SetState(LinkState::Down);
    CommandsChanged();
}

void PageFlow::DisconnectButtonClick()
{
    if (session_.Break())
        context_->Status(kMsgLinkBroken);
    else
        context_->Fail(kMsgBreakNotSent);
    EnterLinkDownState();
}

void PageFlow::RenewLink()
{
    DisconnectButtonClick();
    ConnectButtonClick();
}

void PageFlow::EnterLinkDownState()
{
    session_.ForgetDeviceClass();
    session_.SetState(LinkState::Down);
    parts_.backup->DisableInputs();
    ClearDeviceInfo();
    SetActivePage(PageId::Main);
    CommandsChanged();
}

void PageFlow::ClearDeviceInfo()
{
    parts_.main->ClearDeviceInfo();
    parts_.backup->ClearInputs();
}

// --- The page change ---

InitOutcome PageFlow::InitAndShow(std::uint8_t code)
{
    const InitOutcome outcome = session_.Init(code);
    if (outcome == InitOutcome::Ok) {
        QString type = context_->Msg(DeviceTypeMessage(session_.Info().deviceClass));
        // Nobody may take the simulated receiver for a real one.
        if (session_.Simulated())
            type = context_->catalogue().Format(kMsgSimulatedDevice, type);
        parts_.main->ShowDevice(type);
        parts_.backup->ShowDeviceType(type);
    }
    return outcome;
}

void PageFlow::ShowInitError(InitOutcome outcome)
{
    if (const int message = OutcomeMessage(outcome))
        context_->Box(kTitleError, context_->Msg(message), Dialogs::Icon::Error);
}

void PageFlow::MainPageCChange()
{
    const PageId page = ActivePage();

    if (session_.Mode() == WorkMode::Demo) {
        if (page == PageId::Main) {
            parts_.main->EnterDemo();
        } else {
            parts_.backup->EnterDemo();
            // A settings page shows its factory settings; the backup page has none.
            PageObject(page).Factory();
        }
        CommandsChanged();
        return;
    }

    if (!session_.Break()) {
        context_->Fail(kMsgLinkLost);
        EnterLinkDownState();
        return;
    }
    context_->Status(kMsgConnecting);
    SetProgress(0);
    session_.ForgetDeviceClass();

    InitOutcome outcome;
    if (page == PageId::Main) {
        parts_.main->EnterOnline();
        outcome = InitAndShow(kInitMainPage);
        if (outcome == InitOutcome::Ok) {
            session_.SetState(LinkState::Linked);
            parts_.main->OfferNewerFirmware();
        } else {
            ShowInitError(outcome);
        }
    } else {
        outcome = InitAndShow(kInitOtherPages);
        if (outcome == InitOutcome::Ok) {
            session_.SetState(LinkState::Linked);
            if (page == PageId::Backup)
                parts_.backup->EnterOnline();
            else
                PageObject(page).Read();
        } else {
            ShowInitError(outcome);
            SetActivePage(PageId::Main);
            MainPageCChange();
        }
    }

    if (outcome == InitOutcome::Ok) {
        // A hand-over that failed its own transfer has already shown its text
        // and left the link down; "link established" would be a false report.
        if (session_.State() == LinkState::Linked)
            context_->Status(kMsgLinked);
        CommandsChanged();
        return;
    }
    context_->Box(kTitleError, context_->Msg(kMsgLinkFailed), Dialogs::Icon::Error);
    context_->Status(kMsgLinkFailed);
    // After a failed backup or settings page the nested main-page change may
    // have dropped the link already; it stays down then.
    if (page == PageId::Main || session_.State() != LinkState::Down)
        session_.SetState(LinkState::Failed);
    CommandsChanged();
}

// --- Device and file commands of the page in view ---

void PageFlow::ReadButtonClick()
{
    PageObject(ActivePage()).Read();
}

void PageFlow::WriteButtonClick()
{
    PageObject(ActivePage()).Write();
}

void PageFlow::SaveButtonClick()
{
    PageObject(ActivePage()).Save();
}

void PageFlow::LoadButtonClick()
{
    PageObject(ActivePage()).Load();
}

void PageFlow::DefaultSettingsButtonClick()
{
    // Off a settings page the relay page takes the factory settings.
    if (!PageObject(ActivePage()).Factory())
        parts_.relay->Factory();
}

} // namespace rpu
