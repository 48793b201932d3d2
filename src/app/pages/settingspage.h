#pragma once
// A settings page: the relay page ("Режимы реле и выхода ОК") or the RPU page
// ("... (РПУ в автономном режиме)"), each with its three output tabs. The
// device's settings block is read into it on entry and on "Считать"; a write
// carries both pages' sections, so each page knows its sibling.
//
// The page's controls (most of the window's widgets) are built when first
// needed: shown, composed, filled, or asked for by BuildContent().

#include "app/pagecontext.h"
#include "app/pages/page.h"
#include "app/pages/settingsfileflow.h"
#include "settings/settingsimage.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace rpu {

class RelaySettingsPage;
class RpuSettingsPage;

class SettingsPage final : public QWidget, public SettingsImageView, public Page {
    Q_OBJECT
public:
    // kind is PageId::RelaySettings or PageId::RpuSettings.
    SettingsPage(PageContext &context, PageId kind, QWidget *parent);

    PageId Kind() const { return kind_; }
    SettingsSection Section() const override;
    CommandOffer Offer() const override;
    void Read() override { ReadSettings(); }
    void Write() override { WriteSettings(); }
    void Save() override { SaveSettingsFile(); }
    void Load() override { LoadSettingsFile(); }
    bool Factory() override
    {
        DefaultSettingsButtonClick();
        return true;
    }

    // The other settings page; set on both sides.
    void SetSibling(SettingsPage *sibling);

    // Builds the controls now when they are not there yet; contentBuilt()
    // follows, so the window can name and translate them.
    void BuildContent();
    bool ContentBuilt() const { return relay_ || rpu_; }

    // Stores only this page's cells.
    void ComposeOwnSection(SettingsImage &image) const override;
    // Shows the page's section; shows nothing and returns the first cell out
    // of range instead.
    std::optional<BadImageCell> ShowImage(const SettingsImage &image) override;

    // The fatal data error: error box with the cell, pipes closed, program
    // ended with exit code 1.
    void AbortOnBadImageByte(const BadImageCell &cell);
    // How the program ends after the fatal data error; tests observe it.
    using ProgramEnd = std::function<void(int exitCode)>;
    void SetProgramEnd(ProgramEnd end) { end_ = std::move(end); }

signals:
    void contentBuilt(QWidget *content);

public slots:
    void ReadSettings();
    void WriteSettings();
    void DefaultSettingsButtonClick();
    void SaveSettingsFile();
    void LoadSettingsFile();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool SounderDurationOffered() const;
    RelaySettingsPage &Relay() const;
    RpuSettingsPage &Rpu() const;

    PageContext &context_;
    PageId kind_;
    RelaySettingsPage *relay_ = nullptr; // one of the two editors, by kind
    RpuSettingsPage *rpu_ = nullptr;
    SettingsPage *sibling_ = nullptr;
    SettingsFileFlow files_{context_, *this, this};
    ProgramEnd end_;
};

} // namespace rpu
