#include "app/pagecontext.h"

#include "i18n/messagecatalogue.h"

#include <exception>

namespace rpu {

PageContext::PageContext(DeviceSession &session_, Dialogs *dialogs, const MessageCatalogue &catalogue,
                         ValueBuffer &buffer_, PageHost &host_, ProgramPlaces places_, QWidget *owner)
    : session(session_), buffer(buffer_), host(host_), places(std::move(places_)), dialogs_(dialogs),
      catalogue_(catalogue), owner_(owner)
{
}

QString PageContext::Msg(int number) const
{
    return catalogue_.Text(number);
}

Dialogs::Answer PageContext::Box(int titleMessage, const QString &text, Dialogs::Icon icon,
                                 Dialogs::Buttons buttons) const
{
    if (!dialogs_)
        return buttons == Dialogs::Buttons::YesNo ? Dialogs::Answer::No : Dialogs::Answer::Ok;
    return dialogs_->MessageBox(owner_, Msg(titleMessage), text, icon, buttons);
}

void PageContext::ErrorBox(const QString &text) const
{
    if (dialogs_)
        dialogs_->MessageBox(owner_, kApplicationTitle, text, Dialogs::Icon::Error,
                             Dialogs::Buttons::Ok);
}

void PageContext::Guarded(const std::function<void()> &handler) const
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
    ErrorBox(error);
}

void PageContext::Fail(int message, int titleMessage) const
{
    if (message == 0)
        return;
    Status(message);
    Box(titleMessage, Msg(message), Dialogs::Icon::Error);
}

void PageContext::FailAndDropLink(int message) const
{
    Fail(message);
    host.EnterLinkDownState();
}

} // namespace rpu
