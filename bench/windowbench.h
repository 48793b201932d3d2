#pragma once
// The main window shown on a simulated receiver, for the benchmarks that time
// what the user sees. The pacer is the program's own (it really sleeps); it
// adds up the pauses the protocol asks for (the floor of a transfer) and the
// time spent letting window events run. Paints of the window's parts are
// counted, so a bench shows what each transfer repaints.

#include "benchkit.h"

#include "app/appservices.h"
#include "app/mainform.h"
#include "app/qtpacer.h"
#include "i18n/messagecatalogue.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QTemporaryDir>
#include <QWindow>

#include <functional>
#include <memory>

namespace rpu::bench {

class CountingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override
    {
        floorMs += milliseconds;
        ++pauses;
        QElapsedTimer t;
        t.start();
        real.Pause(milliseconds);
        pausedNs += t.nsecsElapsed();
    }
    void ProcessEvents() override
    {
        ++eventCalls;
        QElapsedTimer t;
        t.start();
        real.ProcessEvents();
        eventsNs += t.nsecsElapsed();
    }
    void Reset()
    {
        floorMs = pauses = eventCalls = pausedNs = eventsNs = 0;
        roundsBefore = real.Rounds();
    }
    // Event rounds the program's pacer ran since the reset.
    qint64 Rounds() const { return real.Rounds() - roundsBefore; }
    qint64 floorMs = 0;
    qint64 pauses = 0;
    qint64 eventCalls = 0;
    qint64 pausedNs = 0; // what the pauses really took
    qint64 eventsNs = 0; // window events let run meanwhile
    qint64 roundsBefore = 0;
    QtPacer real;
};

// Counts the paint events of named widgets.
class PaintCounter final : public QObject {
public:
    void Watch(QWidget *widget)
    {
        if (widget)
            widget->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched->objectName()];
        return false;
    }
    QString Summary() const
    {
        QStringList parts;
        for (auto it = counts.begin(); it != counts.end(); ++it)
            parts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        parts.sort();
        return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
    }
    QHash<QString, int> counts;
};

struct ShownWindow {
    explicit ShownWindow(std::uint8_t version, QuietDialogs::Answer yesNo = Dialogs::Answer::No)
        : device(version), link(std::make_unique<SimBackend>(device, 1),
                                [this](const QString &, const QString &) { ++dialogs.errors; }),
          dialogs(yesNo)
    {
        const QString programPath = folder.path() + QStringLiteral("/dorel-rpu-sela");
        LoadMessageCatalogue(catalogue, QStringLiteral("RU"), programPath);
        form = std::make_unique<TMainForm>(MakeAppServices(programPath, dialogs, pacer, link, catalogue));
        for (const char *name : {"MainPageC", "MainStatusB", "MainStatusText", "MainProgressB"})
            paints.Watch(form->findChild<QWidget *>(QLatin1String(name)));
    }

    QString Folder() const { return folder.path(); }

    // Shown and drawn once; false when the window never became visible.
    bool Show()
    {
        form->show();
        QElapsedTimer t;
        t.start();
        while (!(form->windowHandle() && form->windowHandle()->isExposed()) && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        Drawn();
        // What the window does once drawn (the settings pages are built
        // then) is over before the user's first click.
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return form->windowHandle() && form->windowHandle()->isExposed();
    }

    // Lets the window draw what is pending, as the event loop would next.
    static void Drawn() { QCoreApplication::processEvents(); }

    // Wall milliseconds of what() and the drawing it leaves behind.
    double Timed(const std::function<void()> &what)
    {
        paints.counts.clear();
        pacer.Reset();
        QElapsedTimer t;
        t.start();
        what();
        Drawn();
        return double(t.nsecsElapsed()) / 1e6;
    }

    QTemporaryDir folder;
    SimDevice device;
    UsbLink link;
    CountingPacer pacer;
    QuietDialogs dialogs;
    MessageCatalogue catalogue;
    std::unique_ptr<TMainForm> form;
    PaintCounter paints;
};

// The platform the window benches draw on, for their first line.
inline QString PlatformLine()
{
    return QStringLiteral("platform: %1").arg(QGuiApplication::platformName());
}

} // namespace rpu::bench
