#pragma once
// A main window on a simulated device, with every seam recorded.

#include "app/mainform.h"
#include "app/pageflow.h"
#include "app/pages/mainpage.h"
#include "session/valuebuffer.h"
#include "i18n/messagecatalogue.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"
#include "support/buslike.h"
#include "support/recording.h"

#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

namespace rpu::test {

struct FormHarness {
    // simulated = false: the device looks like a receiver on the bus.
    explicit FormHarness(int devices = 1, std::uint8_t version = 46, bool simulated = true)
        : device(version)
    {
        std::unique_ptr<DeviceBackend> backend;
        if (simulated) {
            auto simBackend = std::make_unique<SimBackend>(device, devices);
            sim = simBackend.get();
            backend = std::move(simBackend);
        } else {
            backend = std::make_unique<BusLikeBackend>(device, devices);
        }
        link = MakeUsbLink(std::move(backend), dialogs);
        wire = std::make_unique<RecordingTransport>(link.get());
        LoadMessageCatalogue(catalogue, QStringLiteral("RU"), ProgramPath());
        services = MakeAppServices(ProgramPath(), dialogs, *wire, *link, catalogue, QDate(2026, 12, 8));
        services.transport = wire.get();
        form = std::make_unique<TMainForm>(services);
    }

    QString ProgramPath() const { return folder.path() + QStringLiteral("/dorel-rpu-sela"); }
    QString Msg(int n) const { return catalogue.Text(n); }

    QTemporaryDir folder;
    SimDevice device;
    SimBackend *sim = nullptr;
    ScriptedDialogs dialogs;
    std::unique_ptr<UsbLink> link;
    std::unique_ptr<RecordingTransport> wire;
    MessageCatalogue catalogue;
    AppServices services;
    std::unique_ptr<TMainForm> form;
};

// A control of the window by its object name; the test stops when there is
// none. The settings pages are built when first needed: a control not found
// is looked for again with them built, as the user would find it on them.
template <typename T = QWidget>
T *Find(QObject &root, const char *name)
{
    T *found = root.findChild<T *>(QString::fromLatin1(name));
    if (!found) {
        auto *widget = qobject_cast<QWidget *>(&root);
        if (auto *form = widget ? qobject_cast<TMainForm *>(widget->window()) : nullptr) {
            form->BuildAllPages();
            found = root.findChild<T *>(QString::fromLatin1(name));
        }
    }
    if (!found)
        qFatal("no control named %s", name);
    return found;
}

inline QTabWidget *Pages(TMainForm &f)
{
    return Find<QTabWidget>(f, "MainPageC");
}

inline PageId PageIdOf(QWidget *page)
{
    const QString name = page->objectName();
    if (name == QLatin1String("RegistBackupTabSh"))
        return PageId::Backup;
    if (name == QLatin1String("ReleSettingsTabSh"))
        return PageId::RelaySettings;
    if (name == QLatin1String("ReleSettingsTabRPU"))
        return PageId::RpuSettings;
    return PageId::Main;
}

inline QWidget *ActivePage(TMainForm &f)
{
    return Pages(f)->currentWidget();
}
inline void SetActivePage(TMainForm &f, QWidget *page)
{
    f.Flow().SetActivePage(PageIdOf(page));
}
inline void SetPageTabVisible(TMainForm &f, QWidget *page, bool visible)
{
    f.Flow().SetPageTabVisible(PageIdOf(page), visible);
}
inline bool IsPageTabVisible(TMainForm &f, QWidget *page)
{
    return f.Flow().IsPageTabVisible(PageIdOf(page));
}
// Fills the value buffer as the lines of the hidden list would.
inline void SetBufferLines(TMainForm &f, const QStringList &lines)
{
    std::vector<std::uint32_t> values;
    for (const QString &line : lines)
        values.push_back(line.toUInt());
    f.Buffer().SetValues(std::move(values));
}

// Object names of the pages whose tabs are offered, in tab order.
inline QStringList VisibleTabs(TMainForm &f)
{
    QTabWidget *pages = Pages(f);
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i) {
        if (pages->isTabVisible(i))
            tabs << pages->widget(i)->objectName();
    }
    return tabs;
}

} // namespace rpu::test
