#pragma once
// The main window: builds the pages, the command column, the welcome area and
// the status bar, and wires them to one device session. The logic lives in
// the session, the page flow and the pages; the handlers here are the entry
// points by which the rest of the program and the tests reach them.

#include "app/appservices.h"
#include "app/pagecontext.h"
#include "link/transport.h"

#include <QWidget>
#include <memory>

class QLabel;
class QMargins;
class QRect;
class QScrollArea;
class QStatusBar;
class QProgressBar;
class QTabWidget;

namespace rpu {

class BackupPage;
class CommandColumn;
class MainPage;
class PageFlow;
class ProgressThrottle;
class SettingsPage;
class ValueBuffer;
class WelcomeArea;

class TMainForm : public QWidget, public ProgressSink {
    Q_OBJECT
public:
    explicit TMainForm(const AppServices &services, QWidget *parent = nullptr);
    ~TMainForm() override;

    // Status bar and progress bar, at once; a transfer's progress comes
    // through a throttle.
    void ShowStatus(const QString &text) override;
    void SetProgress(int percent) override;
    // The latest text, also while a transfer holds it back for a moment.
    QString StatusText() const;
    // The latest percentage; the bar shows it from the next event round.
    int Progress() const { return barValue_; }
    // Fits the window to a screen's available area and the frame drawn
    // around it: the designed size, or less with the client scrolling.
    void FitInto(const QRect &available, const QMargins &frame);
    // After the texts of a language are in place: the caption (marked when
    // the device is simulated) and the names of inputs captioned by groups.
    void ShowWindowTexts();
    // What the first picture of the window does not need (the backup and
    // settings pages' controls, the memo), built now where it is not yet (it
    // is built when first needed, or once the window has been drawn); for
    // what walks the whole window.
    void BuildAllPages();

    DeviceSession &Session() { return *session_; }
    ValueBuffer &Buffer() { return *buffer_; }
    PageFlow &Flow() { return *flow_; }
    MainPage &Main() { return *main_; }
    const ProgramPlaces &Places() const { return context_->places; }

    void OperModeCmBChange();
    void ConnectButtonClick();
    void DisconnectButtonClick();
    void MainPageCChange();
    void EnterLinkDownState();
    void ReadButtonClick();
    void WriteButtonClick();
    void SaveButtonClick();
    void LoadButtonClick();
    void DefaultSettingsButtonClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildWindow();
    void FitToScreen();
    void ConnectCommands();
    void FormShow();
    void PagePartBuilt(QWidget *part);
    void SetBarValue(int percent);
    void PresentBarValue();
    void BuildNextPageWhenIdle();

    AppServices services_;
    DeviceSession *session_ = nullptr;
    ValueBuffer *buffer_ = nullptr;
    PageFlow *flow_ = nullptr;
    std::unique_ptr<PageContext> context_;
    QTabWidget *pages_ = nullptr;
    MainPage *main_ = nullptr;
    BackupPage *backup_ = nullptr;
    SettingsPage *relay_ = nullptr;
    SettingsPage *rpu_ = nullptr;
    CommandColumn *column_ = nullptr;
    WelcomeArea *welcome_ = nullptr;
    QScrollArea *scroll_ = nullptr;
    QStatusBar *statusBar_ = nullptr;
    QLabel *statusText_ = nullptr;
    QProgressBar *progress_ = nullptr;
    int barValue_ = 0;
    bool barValuePending_ = false;
    ProgressThrottle *throttle_ = nullptr;
    bool shown_ = false;
    // A close was asked during an exchange: it happens when that is over.
    bool closeWhenIdle_ = false;
};

} // namespace rpu
