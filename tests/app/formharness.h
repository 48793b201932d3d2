#pragma once
// A main window on a simulated device, with every seam recorded.

#include "app/mainform.h"
#include "i18n/messagecatalogue.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"
#include "support/recording.h"

#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

namespace rpu::test {

struct FormHarness {
    explicit FormHarness(int devices = 1, std::uint8_t version = 46)
        : device(version)
    {
        auto backend = std::make_unique<SimBackend>(device, devices);
        sim = backend.get();
        link = std::make_unique<UsbLink>(std::move(backend), [this](const QString &title, const QString &text) {
            dialogs.MessageBox(nullptr, title, text, Dialogs::Icon::Error, Dialogs::Buttons::Ok);
        });
        wire = std::make_unique<RecordingTransport>(link.get());
        LoadMessageCatalogue(catalogue, QStringLiteral("RU"), ProgramPath());
        services.programFilePath = ProgramPath();
        services.dialogs = &dialogs;
        services.pacer = wire.get();
        services.link = link.get();
        services.transport = wire.get();
        services.catalogue = &catalogue;
        services.startDate = QDate(2026, 12, 8);
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

// Object names of the pages whose tabs are offered, in tab order.
inline QStringList VisibleTabs(TMainForm &f)
{
    QStringList tabs;
    for (int i = 0; i < f.MainPageC->count(); ++i) {
        if (f.MainPageC->isTabVisible(i))
            tabs << f.MainPageC->widget(i)->objectName();
    }
    return tabs;
}

} // namespace rpu::test
