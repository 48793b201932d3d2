#include "app/pages/settingspage.h"

#include "app/editors/settingspages.h"

#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace rpu {

namespace {
constexpr int kMsgFactorySet = 10014;
constexpr int kMsgSettingsRead = 10038;
constexpr int kMsgWritingSettings = 10047;
constexpr int kMsgSettingsWritten = 10048;

// No event handling and nothing saved after the fatal data error.
void EndProgramAtOnce(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
} // namespace

SettingsPage::SettingsPage(PageContext &context, PageId kind, QWidget *parent)
    : QWidget(parent), context_(context), kind_(kind), end_(EndProgramAtOnce)
{
    const bool relay = kind == PageId::RelaySettings;
    setObjectName(relay ? QStringLiteral("ReleSettingsTabSh") : QStringLiteral("ReleSettingsTabRPU"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    const QLocale locale; // the user's decimal separator in the time lists
    if (relay) {
        relay_ = new RelaySettingsPage(context_.catalogue(), locale, this);
        relay_->SetSounderDurationCondition([this] { return SounderDurationOffered(); });
        layout->addWidget(relay_);
    } else {
        rpu_ = new RpuSettingsPage(context_.catalogue(), locale, this);
        layout->addWidget(rpu_);
    }
}

SettingsSection SettingsPage::Section() const
{
    return relay_ ? SettingsSection::Relay : SettingsSection::Rpu;
}

void SettingsPage::SetSibling(SettingsPage *sibling)
{
    sibling_ = sibling;
    if (sibling && sibling->sibling_ != this)
        sibling->SetSibling(this);
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

// "Звуковой" offers its duration in demo, for a receiver in the RTR device
// mode and for the relay and notification module.
bool SettingsPage::SounderDurationOffered() const
{
    if (context_.session.Mode() == WorkMode::Demo)
        return true;
    const int deviceClass = context_.session.Info().deviceClass;
    return (deviceClass == 0 && context_.host.SelectedDeviceMode() == DeviceModeChoice::Rtr)
        || deviceClass == 1;
}

void SettingsPage::ComposeOwnSection(SettingsImage &image) const
{
    if (relay_)
        relay_->ComposeInto(image);
    else
        rpu_->ComposeInto(image);
}

std::optional<BadImageCell> SettingsPage::ShowImage(const SettingsImage &image)
{
    return relay_ ? relay_->ShowImage(image) : rpu_->ShowImage(image);
}

void SettingsPage::AbortOnBadImageByte(const BadImageCell &cell)
{
    context_.Box(kTitleError, BadImageByteText(context_.catalogue(), cell), Dialogs::Icon::Error);
    context_.session.Close();
    end_(1);
}

void SettingsPage::ReadSettings()
{
    std::vector<int> cells(kSettingsBlockCount * kBlockSize, 0);
    const BlockReadOutcome outcome =
        context_.session.ReadBlocks(kSettingsBlockCount, kSettingsFirstBlock, cells);
    // A read that failed late (CRC) would otherwise leave the bar full.
    context_.host.SetProgress(0);
    if (outcome != BlockReadOutcome::Ok) {
        context_.FailAndDropLink(OutcomeMessage(outcome));
        return;
    }
    SettingsImage image{};
    for (int i = 0; i < kSettingsImageCells; ++i)
        image[i] = quint32(cells[i]) & 0xFF;
    if (const std::optional<BadImageCell> bad = ShowImage(image)) {
        AbortOnBadImageByte(*bad);
        return;
    }
    context_.Status(kMsgSettingsRead);
}

void SettingsPage::WriteSettings()
{
    context_.Status(kMsgWritingSettings);
    // Both sections always travel: the one in view and the sibling's as its
    // controls stand.
    SettingsImage image{};
    ComposeOwnSection(image);
    if (sibling_)
        sibling_->ComposeOwnSection(image);
    std::vector<int> cells(image.begin(), image.end());
    const BlockWriteOutcome outcome =
        context_.session.WriteBlocks(kSettingsBlockCount, kSettingsFirstBlock, cells);
    context_.host.SetProgress(0);
    if (outcome != BlockWriteOutcome::Ok) {
        context_.FailAndDropLink(OutcomeMessage(outcome));
        return;
    }
    context_.Status(kMsgSettingsWritten);
    context_.Box(kTitleSystem, context_.Msg(kMsgSettingsWritten), Dialogs::Icon::Information);
}

void SettingsPage::SaveSettingsFile()
{
    files_.SaveSettingsFile();
}

void SettingsPage::LoadSettingsFile()
{
    files_.LoadSettingsFile();
}

void SettingsPage::DefaultSettingsButtonClick()
{
    if (relay_)
        relay_->ShowFactorySettings();
    else
        rpu_->ShowFactorySettings();
    context_.Status(kMsgFactorySet);
}

} // namespace rpu
