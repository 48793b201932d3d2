#pragma once
// "Сохранить" and "Загрузить" on a settings page: the settings file of the
// page in view. A loaded file is accepted by the operations layer, which
// range-checks the section of the page in view before the page shows any of
// it; a bad cell is refused with its line and value, never a reason to end
// the program.

#include "app/pagecontext.h"
#include "settings/settingsimage.h"

#include <QString>
#include <optional>

class QWidget;

namespace rpu {

// What the flow needs of a settings page.
class SettingsImageView {
public:
    virtual ~SettingsImageView() = default;
    virtual SettingsSection Section() const = 0;
    // Stores the page's own cells; the other cells are left as they are.
    virtual void ComposeOwnSection(SettingsImage &image) const = 0;
    // Clears the page's boxes and shows the image; shows nothing and returns
    // the offending cell when one is out of range.
    virtual std::optional<BadImageCell> ShowImage(const SettingsImage &image) = 0;
};

// The name the save dialog held from its previous use: the dialog is one for
// the whole window, so both settings pages (and backups) share it.
struct SaveDialogMemory {
    QString lastName;
};
SaveDialogMemory &WindowSaveDialogMemory();

class SettingsFileFlow {
public:
    SettingsFileFlow(PageContext &context, SettingsImageView &view, QWidget *owner = nullptr,
                     SaveDialogMemory &memory = WindowSaveDialogMemory());

    void SaveSettingsFile();
    void LoadSettingsFile();

private:
    void FileErrorBox(const QString &text);

    PageContext &context_;
    SettingsImageView &view_;
    QWidget *owner_;
    SaveDialogMemory &memory_;
};

} // namespace rpu
