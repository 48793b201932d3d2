#pragma once
// What the main window is given from outside: the seams and the program's path.

#include <QDate>
#include <QString>

#include <memory>

namespace rpu {

class DeviceBackend;
class Dialogs;
class Pacer;
class UsbLink;
class Transport;
class MessageCatalogue;

struct AppServices {
    QString programFilePath;      // full path of the program's own file
    Dialogs *dialogs = nullptr;
    Pacer *pacer = nullptr;
    UsbLink *link = nullptr;
    // What the exchanges talk through; null means the link itself. Tests put
    // a recorder here.
    Transport *transport = nullptr;
    MessageCatalogue *catalogue = nullptr;
    QDate startDate;              // the day the program started
};

// One wiring for the program, the benchmarks and the tests: the window's
// services over a link, its pauses, its dialogs and its texts.
AppServices MakeAppServices(const QString &programFilePath, Dialogs &dialogs, Pacer &pacer,
                            UsbLink &link, MessageCatalogue &catalogue,
                            QDate startDate = QDate::currentDate());

// The link over a backend; a pipe that cannot be opened is shown in a box
// titled "Error" that no window owns.
std::unique_ptr<UsbLink> MakeUsbLink(std::unique_ptr<DeviceBackend> backend, Dialogs &dialogs);
// The same, a device that cannot be opened worded from the catalogue.
std::unique_ptr<UsbLink> MakeUsbLink(std::unique_ptr<DeviceBackend> backend, Dialogs &dialogs,
                                     const MessageCatalogue &catalogue);

} // namespace rpu
