#include "app/appservices.h"

#include "app/dialogs.h"
#include "link/usblink.h"

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

} // namespace rpu
