#pragma once
// The two settings pages' contents: an inner tab control with one output
// editor per output. The window places them into its pages and runs the
// device transfers; these only show and compose their section.
//
// A device write composes both pages into one zeroed image; a read, a file
// load or the factory settings show an image on the active page only, and a
// returned bad cell ends the program with BadImageByteText.

#include "app/editors/outputeditor.h"

#include <QWidget>

#include <array>
#include <optional>

class QTabWidget;

namespace rpu {

class MessageCatalogue;

template <typename Editor, int BindingCount>
class OutputTabsPage : public QWidget {
public:
    using Section = SectionSettings<BindingCount>;

    // Shows the page's section, or nothing when one of its cells is out of
    // range; the caller then ends the program with that cell.
    std::optional<BadImageCell> ShowImage(const SettingsImage &image);
    // Stores the page's section into its cells.
    void ComposeInto(SettingsImage &image) const;
    void ShowFactorySettings();

    Section Value() const;
    void ShowSection(const Section &section);

    Editor *OutputEditorOf(int n) const { return editors_[n - 1]; }
    QTabWidget *Tabs() const { return tabs_; }

protected:
    OutputTabsPage(const char *tabsName, const std::array<const char *, kReleOutputCount> &tabNames,
                   const MessageCatalogue &catalogue, const QLocale &locale, QWidget *parent);

    std::array<Editor *, kReleOutputCount> editors_{};
    QTabWidget *tabs_ = nullptr;
};

// Relay section (RTR and MRO device modes): tab control ReleOKPageC.
class RelaySettingsPage final : public OutputTabsPage<RelayOutputEditor, kRelayPartitions> {
public:
    RelaySettingsPage(const MessageCatalogue &catalogue, const QLocale &locale, QWidget *parent = nullptr);
    void SetSounderDurationCondition(const std::function<bool()> &allowed);
};

// RPU section (autonomous receiver): tab control ReleOKPageCRPU.
class RpuSettingsPage final : public OutputTabsPage<RpuOutputEditor, kRpuSources> {
public:
    RpuSettingsPage(const MessageCatalogue &catalogue, const QLocale &locale, QWidget *parent = nullptr);
};

} // namespace rpu
