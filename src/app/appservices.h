#pragma once
// What the main window is given from outside: the seams and the program's path.

#include <QDate>
#include <QString>

namespace rpu {

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

} // namespace rpu
