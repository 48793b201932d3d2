#include "app/qtpacer.h"

#include <QCoreApplication>
#include <QThread>

namespace rpu {

void QtPacer::Pause(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void QtPacer::ProcessEvents()
{
    QCoreApplication::processEvents();
}

} // namespace rpu
