#pragma once
// What a page may use: the device session, the dialogs, the catalogue, the
// value buffer, the status bar and the few things it asks of the window
// around it. Pages never see the main window itself.

#include "app/dialogs.h"
#include "files/programfolders.h"
#include "files/settingsfile.h"
#include "i18n/messageids.h"
#include "session/commandrule.h"
#include "session/devicesession.h"
#include "session/outcomemessages.h"

#include <QString>
#include <functional>

class QWidget;

namespace rpu {

class MessageCatalogue;
class ValueBuffer;

enum class PageId { Main, Backup, RelaySettings, RpuSettings };

inline constexpr int kTitleError = msg::kTitleError;
inline constexpr int kTitleWarning = msg::kTitleWarning;
inline constexpr int kTitleSystem = msg::kTitleSystem;

inline const QString kApplicationTitle = QStringLiteral("Dorel-RPU-KSY");

// Implemented by the window; the pages call it for what lies outside them.
class PageHost {
public:
    virtual ~PageHost() = default;
    virtual void SetPageTabVisible(PageId page, bool visible) = 0;
    virtual void EnterLinkDownState() = 0;
    // "Разорвать" and then "Установить": the link renewed after a firmware write.
    virtual void RenewLink() = 0;
    // A page's offer of commands changed.
    virtual void CommandsChanged() = 0;
    // The device-mode button selected on the main page (never shown in this
    // edition, but set from the device class and read by the other pages).
    virtual DeviceModeChoice SelectedDeviceMode() const = 0;
    virtual void ShowStatus(const QString &text) = 0;
    virtual void SetProgress(int percent) = 0;
};

// Where the program keeps its files and how it names them, fixed at start.
struct ProgramPlaces {
    QString ProgramFolder;          // the program's own folder, no trailing separator
    ProgramFolders Folders;         // where "reg", "base", "conf", the INI and the shipped files are
    QString RegistrationDateStamp;  // "_ddMMyy_" of the start date
    QString RpuFilePrefix = QStringLiteral("ksy_rpu_");
    QString RtrFilePrefix = QStringLiteral("ksy_rtr_");
    QString ObjectPrefix = QStringLiteral("object_");
    QString ConfCodeInfix = QStringLiteral("_conf_");
    int ReleOutputCount = 3;
    int RelaySectionLength = 45;
    int SettingsFileCellCount = 96;
};

class PageContext {
public:
    PageContext(DeviceSession &session, Dialogs *dialogs, const MessageCatalogue &catalogue,
                ValueBuffer &buffer, PageHost &host, ProgramPlaces places, QWidget *owner);

    DeviceSession &session;
    ValueBuffer &buffer;
    PageHost &host;
    const ProgramPlaces places;

    QString Msg(int number) const;
    // Modal box titled with catalogue message titleMessage, owned by the window.
    Dialogs::Answer Box(int titleMessage, const QString &text, Dialogs::Icon icon,
                        Dialogs::Buttons buttons = Dialogs::Buttons::Ok) const;
    // A box titled with the application title: errors raised inside a handler.
    void ErrorBox(const QString &text) const;
    // Runs a handler; an error raised in it is shown by ErrorBox, and the
    // program goes on.
    void Guarded(const std::function<void()> &handler) const;
    void Status(int message) const { host.ShowStatus(Msg(message)); }
    // Status and an error box with the same text (nothing for message 0).
    void Fail(int message, int titleMessage = kTitleError) const;
    // The text of a failed exchange, then the link-down state.
    void FailAndDropLink(int message) const;

    Dialogs *dialogs() const { return dialogs_; }
    const MessageCatalogue &catalogue() const { return catalogue_; }

private:
    Dialogs *dialogs_;
    const MessageCatalogue &catalogue_;
    QWidget *owner_;
};


} // namespace rpu
