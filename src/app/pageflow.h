#pragma once
// The work modes and the page logic: connect, disconnect, the page change
// that on-line breaks and renews the link for every page, the link-down
// state, and the one place that applies the command rule to the window.

#include "app/pagecontext.h"

#include <QObject>
#include <functional>
#include <memory>

class QTabWidget;
class QWidget;

namespace rpu {

class BackupPage;
class CommandColumn;
class MainPage;
class Page;
class SettingsPage;

class WindowInputLock;

class PageFlow final : public QObject, public PageHost {
    Q_OBJECT
public:
    struct Parts {
        QTabWidget *pages = nullptr;
        MainPage *main = nullptr;
        BackupPage *backup = nullptr;
        SettingsPage *relay = nullptr;
        SettingsPage *rpu = nullptr;
        CommandColumn *column = nullptr;
    };

    // status shows texts and progress: the window's status bar.
    PageFlow(DeviceSession &session, ProgressSink &status, QObject *parent = nullptr);
    ~PageFlow() override;
    // Called once, when the context and the pages exist.
    void Attach(PageContext &context, const Parts &parts);

    void OperModeCmBChange();
    void ConnectButtonClick();
    void DisconnectButtonClick();
    void MainPageCChange();
    void ClearDeviceInfo();
    void ReadButtonClick();
    void WriteButtonClick();
    void SaveButtonClick();
    void LoadButtonClick();
    void DefaultSettingsButtonClick();

    // Makes a page active without running the page change.
    void SetActivePage(PageId page);
    PageId ActivePage() const;
    bool IsPageTabVisible(PageId page) const;
    // False while a transfer runs: the control is greyed, or the window
    // keeps its look and takes no input.
    bool TakesInput(const QWidget *widget) const;
    bool PagesTakeInput() const;

    // Runs a handler; an error raised in it is shown in a box titled with the
    // application title, and the program goes on.
    void RunGuarded(const std::function<void()> &handler) const;

    // PageHost
    void SetPageTabVisible(PageId page, bool visible) override;
    void EnterLinkDownState() override;
    void RenewLink() override;
    void CommandsChanged() override;
    DeviceModeChoice SelectedDeviceMode() const override;
    void ShowStatus(const QString &text) override;
    void SetProgress(int percent) override;

private:
    QWidget *PageWidget(PageId page) const;
    Page &PageObject(PageId page) const;
    InitOutcome InitAndShow(std::uint8_t code);
    void ShowInitError(InitOutcome outcome);
    CommandOffer ActiveOffer() const;

    DeviceSession &session_;
    ProgressSink &status_;
    PageContext *context_ = nullptr;
    Parts parts_;
    std::unique_ptr<WindowInputLock> inputLock_;
    bool pageChangeFromProgram_ = false;
};

} // namespace rpu
