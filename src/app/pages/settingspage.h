#pragma once
// A settings page: the relay page ("Режимы реле и выхода ОК") or the RPU page
// ("... (РПУ в автономном режиме)"), each with its three output tabs. The
// device's settings block is read into it on entry and on "Считать".

#include "app/pagecontext.h"

#include <QWidget>

class QTabWidget;

namespace rpu {

class SettingsPage final : public QWidget {
    Q_OBJECT
public:
    // kind is PageId::RelaySettings or PageId::RpuSettings.
    SettingsPage(PageContext &context, PageId kind, QWidget *parent);

    PageId Kind() const { return kind_; }
    CommandOffer Offer() const;

public slots:
    void ReadSettings();
    void WriteSettings();
    void DefaultSettingsButtonClick();
    void SaveSettingsFile();
    void LoadSettingsFile();

private:
    PageContext &context_;
    PageId kind_;
    QTabWidget *outputs_ = nullptr;
};

} // namespace rpu
