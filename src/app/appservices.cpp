#include "app/appservices.h"

#include "app/dialogs.h"
#include "i18n/messagecatalogue.h"
#include "link/usblink.h"
#include "session/outcomemessages.h"

namespace rpu {

AppServices MakeAppServices(const QString &programFilePath, Dialogs &dialogs, Pacer &pacer,
                            UsbLink &link, MessageCatalogue &catalogue, QDate startDate)
{
    AppServices services;
    services.programFilePath = programFilePath;
    services.dialogs = &dialogs;
    services.pacer = &pacer;
    services.link = &link;
    services.catalogue = &catalogue;
    services.startDate = startDate;
    return services;
}

std::unique_ptr<UsbLink> MakeUsbLink(std::unique_ptr<DeviceBackend> backend, Dialogs &dialogs)
{
    return std::make_unique<UsbLink>(std::move(backend),
                                     [&dialogs](const QString &title, const QString &text) {
                                         dialogs.MessageBox(
                                             nullptr, title.isEmpty() ? QStringLiteral("Error") : title,
                                             text, Dialogs::Icon::Error, Dialogs::Buttons::Ok);
                                     });
}

std::unique_ptr<UsbLink> MakeUsbLink(std::unique_ptr<DeviceBackend> backend, Dialogs &dialogs,
                                     const MessageCatalogue &catalogue)
{
    return std::make_unique<UsbLink>(std::move(backend), UsbLink::ProblemReporter([&](const LinkProblem &problem) {
                                         dialogs.MessageBox(nullptr, catalogue.Text(10001),
                                                            LinkProblemText(problem, catalogue),
                                                            Dialogs::Icon::Error, Dialogs::Buttons::Ok);
                                     }));
}

} // namespace rpu
