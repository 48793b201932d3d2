#include "app/pages/settingspage.h"

#include "app/editors/settingspages.h"
#include "app/widgetkit.h"
#include "i18n/messageids.h"
#include "ops/settingsops.h"

#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace rpu {

namespace {
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
}

void SettingsPage::BuildContent()
{
    if (ContentBuilt())
        return;
    const QLocale locale; // the user's decimal separator in the time lists, as of now
    QWidget *content = nullptr;
    if (kind_ == PageId::RelaySettings) {
        relay_ = new RelaySettingsPage(context_.catalogue(), locale, this);
        relay_->SetSounderDurationCondition([this] { return SounderDurationOffered(); });
        content = relay_;
    } else {
        rpu_ = new RpuSettingsPage(context_.catalogue(), locale, this);
        content = rpu_;
    }
    layout()->addWidget(content);
    TakePlaceInFocusChain(this, content);
    emit contentBuilt(content);
    // Built from the page's own show: Qt has shown the children already.
    if (isVisible()) {
        content->show();
        layout()->activate();
    }
}

RelaySettingsPage &SettingsPage::Relay() const
{
    const_cast<SettingsPage *>(this)->BuildContent();
    return *relay_;
}

RpuSettingsPage &SettingsPage::Rpu() const
{
    const_cast<SettingsPage *>(this)->BuildContent();
    return *rpu_;
}

void SettingsPage::showEvent(QShowEvent *event)
{
    BuildContent();
    QWidget::showEvent(event);
}

SettingsSection SettingsPage::Section() const
{
    return kind_ == PageId::RelaySettings ? SettingsSection::Relay : SettingsSection::Rpu;
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
    if (kind_ == PageId::RelaySettings)
        Relay().ComposeInto(image);
    else
        Rpu().ComposeInto(image);
}

std::optional<BadImageCell> SettingsPage::ShowImage(const SettingsImage &image)
{
    return kind_ == PageId::RelaySettings ? Relay().ShowImage(image) : Rpu().ShowImage(image);
}

void SettingsPage::AbortOnBadImageByte(const BadImageCell &cell)
{
    context_.Box(kTitleError, BadImageByteText(context_.catalogue(), cell), Dialogs::Icon::Error);
    context_.session.Close();
    end_(1);
}

void SettingsPage::ReadSettings()
{
    // Only the page in view shows the block, so only its section must be in range.
    const ops::SettingsReadVerdict read =
        ops::ReadSettings(context_.session, ops::SectionSet::Only(Section()), ops::Entry::AsEntered);
    // A read that failed late (CRC) would otherwise leave the bar full.
    context_.host.SetProgress(0);
    if (!read.ok()) {
        context_.FailAndDropLink(read.message);
        return;
    }
    if (!read.faults.empty()) {
        AbortOnBadImageByte(read.faults.front().cell);
        return;
    }
    if (const std::optional<BadImageCell> bad = ShowImage(read.image)) {
        AbortOnBadImageByte(*bad);
        return;
    }
    context_.Status(msg::kSettingsRead);
}

void SettingsPage::WriteSettings()
{
    context_.Status(msg::kWritingSettings);
    // Both sections always travel: the one in view and the sibling's as its
    // controls stand.
    SettingsImage image{};
    ComposeOwnSection(image);
    if (sibling_)
        sibling_->ComposeOwnSection(image);
    const ops::SettingsWriteVerdict verdict = ops::WriteSettings(
        context_.session, image, ops::SectionSet::Both(), ops::Entry::AsEntered, ops::ReadBack::No);
    context_.host.SetProgress(0);
    if (!verdict.ok()) {
        // The editors compose cells in range; a refusal sent nothing.
        if (verdict.refused)
            context_.Fail(msg::kDataNotWritten);
        else
            context_.FailAndDropLink(verdict.message ? verdict.message : verdict.write.message);
        return;
    }
    context_.Status(msg::kSettingsWritten);
    context_.Box(kTitleSystem, context_.Msg(msg::kSettingsWritten), Dialogs::Icon::Information);
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
    if (kind_ == PageId::RelaySettings)
        Relay().ShowFactorySettings();
    else
        Rpu().ShowFactorySettings();
    context_.Status(msg::kFactorySet);
}

} // namespace rpu
