#include "app/editors/settingspages.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace rpu {

namespace {

constexpr SettingsSection SectionOf(int bindingCount)
{
    return bindingCount == kRelayPartitions ? SettingsSection::Relay : SettingsSection::Rpu;
}

RelaySection ReadSectionOf(const SettingsImage &image, const RelaySection *)
{
    return ReadRelaySection(image);
}

RpuSection ReadSectionOf(const SettingsImage &image, const RpuSection *)
{
    return ReadRpuSection(image);
}

} // namespace

template <typename Editor, int B>
OutputTabsPage<Editor, B>::OutputTabsPage(const char *tabsName,
                                          const std::array<const char *, kReleOutputCount> &tabNames,
                                          const MessageCatalogue &catalogue, const QLocale &locale,
                                          QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QLatin1String(tabsName));
    layout->addWidget(tabs_);
    for (int n = 1; n <= kReleOutputCount; ++n) {
        auto *editor = new Editor(n, catalogue, locale, tabs_);
        editor->setObjectName(QLatin1String(tabNames[n - 1]));
        tabs_->addTab(editor, QString());
        editors_[n - 1] = editor;
    }
}

template <typename Editor, int B>
std::optional<BadImageCell> OutputTabsPage<Editor, B>::ShowImage(const SettingsImage &image)
{
    if (std::optional<BadImageCell> bad = FindBadCell(image, SectionOf(B)))
        return bad;
    ShowSection(ReadSectionOf(image, static_cast<const Section *>(nullptr)));
    return std::nullopt;
}

template <typename Editor, int B>
void OutputTabsPage<Editor, B>::ComposeInto(SettingsImage &image) const
{
    if constexpr (SectionOf(B) == SettingsSection::Relay)
        WriteRelaySection(Value(), image);
    else
        WriteRpuSection(Value(), image);
}

template <typename Editor, int B>
void OutputTabsPage<Editor, B>::ShowFactorySettings()
{
    ShowSection(ReadSectionOf(FactorySettingsImage(), static_cast<const Section *>(nullptr)));
}

template <typename Editor, int B>
typename OutputTabsPage<Editor, B>::Section OutputTabsPage<Editor, B>::Value() const
{
    Section section;
    for (int i = 0; i < kReleOutputCount; ++i)
        section.outputs[i] = editors_[i]->Value();
    return section;
}

template <typename Editor, int B>
void OutputTabsPage<Editor, B>::ShowSection(const Section &section)
{
    for (int i = 0; i < kReleOutputCount; ++i)
        editors_[i]->Show(section.outputs[i]);
}

template class OutputTabsPage<RelayOutputEditor, kRelayPartitions>;
template class OutputTabsPage<RpuOutputEditor, kRpuSources>;

RelaySettingsPage::RelaySettingsPage(const MessageCatalogue &catalogue, const QLocale &locale,
                                     QWidget *parent)
    : OutputTabsPage("ReleOKPageC", {"Rele1TabSh", "Rele2TabSh", "OK1TabSh"}, catalogue, locale, parent)
{
}

void RelaySettingsPage::SetSounderDurationCondition(const std::function<bool()> &allowed)
{
    for (RelayOutputEditor *editor : editors_)
        editor->SetSounderDurationCondition(allowed);
}

RpuSettingsPage::RpuSettingsPage(const MessageCatalogue &catalogue, const QLocale &locale, QWidget *parent)
    : OutputTabsPage("ReleOKPageCRPU", {"TabSheet2", "TabSheet3", "TabSheet4"}, catalogue, locale, parent)
{
}

} // namespace rpu
