#include "app/pages/settingspage.h"

#include "app/widgetkit.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace rpu {

namespace {
constexpr int kMsgFactorySet = 10014;
constexpr int kMsgSettingsRead = 10038;
} // namespace

SettingsPage::SettingsPage(PageContext &context, PageId kind, QWidget *parent)
    : QWidget(parent), context_(context), kind_(kind)
{
    const bool relay = kind == PageId::RelaySettings;
    setObjectName(relay ? QStringLiteral("ReleSettingsTabSh") : QStringLiteral("ReleSettingsTabRPU"));
    static const char *const relayTabs[3] = {"Rele1TabSh", "Rele2TabSh", "OK1TabSh"};
    static const char *const rpuTabs[3] = {"TabSheet2", "TabSheet3", "TabSheet4"};
    const char *const *tabNames = relay ? relayTabs : rpuTabs;

    outputs_ = Named(new QTabWidget(this), relay ? "ReleSettingsPageC" : "ReleSettingsRPUPageC");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(outputs_);
    const QString captions[3] = {QStringLiteral("Реле №1"), QStringLiteral("Реле №2"),
                                 QStringLiteral("Выход ОК №1")};
    for (int i = 0; i < 3; ++i)
        outputs_->addTab(Named(new QWidget(outputs_), tabNames[i]), captions[i]);
}

CommandOffer SettingsPage::Offer() const
{
    CommandOffer offer;
    offer.save = true;
    offer.load = true;
    offer.factory = true;
    if (context_.session.Mode() == WorkMode::Online) {
        offer.write = true;
        offer.read = true;
    }
    return offer;
}

void SettingsPage::ReadSettings()
{
    std::vector<int> image(kSettingsBlockCount * kBlockSize, 0);
    const BlockReadOutcome outcome =
        context_.session.ReadBlocks(kSettingsBlockCount, kSettingsFirstBlock, image);
    if (outcome != BlockReadOutcome::Ok) {
        context_.FailAndDropLink(OutcomeMessage(outcome));
        return;
    }
    // The output editors show the image once they exist.
    context_.host.SetProgress(0);
    context_.Status(kMsgSettingsRead);
}

void SettingsPage::WriteSettings()
{
    // Composed by the output editors once they exist.
}

void SettingsPage::SaveSettingsFile()
{
    // Settings files come with the file formats.
}

void SettingsPage::LoadSettingsFile()
{
    // Settings files come with the file formats.
}

void SettingsPage::DefaultSettingsButtonClick()
{
    // The output editors show the factory image once they exist.
    context_.Status(kMsgFactorySet);
}

} // namespace rpu
