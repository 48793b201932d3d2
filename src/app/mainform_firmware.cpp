// Firmware list, the newer-firmware offer, the firmware write and the
// device-mode buttons.

#include "app/mainform.h"
#include "i18n/messagecatalogue.h"

#include <QGroupBox>
#include <QListWidget>
#include <QRadioButton>

namespace rpu {

void TMainForm::OfferNewerFirmware()
{
    switch (deviceInfo.deviceClass) {
    case 0: SelectDeviceModeButton(RPU_rb); break;
    case 1: SelectDeviceModeButton(MRO_rb); break;
    default: SelectDeviceModeButton(nullptr); break;
    }
    for (QWidget *w : {static_cast<QWidget *>(DevOperModeGrB), static_cast<QWidget *>(RPU_rb),
                       static_cast<QWidget *>(RTR_rb), static_cast<QWidget *>(MRO_rb),
                       static_cast<QWidget *>(SoftUpdatesListBox)})
        w->setEnabled(true);
    SoftUpdateGrB->setVisible(false);
    SetPageTabVisible(RegistBackupTabSh, false);
    SetPageTabVisible(ReleSettingsTabSh, false);
    SetPageTabVisible(ReleSettingsTabRPU, false);
    ShowStatus(Msg(10063));
}

void TMainForm::DevOperModeGrB_rbClick()
{
    struct PageSet {
        bool backup;
        bool relay;
        bool rpu;
    };
    auto apply = [this](const PageSet &pages) {
        SetPageTabVisible(RegistBackupTabSh, pages.backup);
        SetPageTabVisible(ReleSettingsTabSh, pages.relay);
        SetPageTabVisible(ReleSettingsTabRPU, pages.rpu);
    };

    if (workMode == WorkMode::Demo) {
        if (RPU_rb->isChecked())
            apply({true, false, true});
        else if (RTR_rb->isChecked())
            apply({true, true, false});
        else if (MRO_rb->isChecked())
            apply({false, true, false});
        return;
    }

    if (RPU_rb->isChecked() || RTR_rb->isChecked())
        SelectedDeviceClass = 0;
    else if (MRO_rb->isChecked())
        SelectedDeviceClass = 1;
    SoftUpdateGrB->setVisible(false);

    if (SelectedDeviceClass == deviceInfo.deviceClass) {
        const bool v104 = deviceInfo.versionByte >= 104;
        if (RPU_rb->isChecked())
            apply({true, false, v104});
        else if (RTR_rb->isChecked())
            apply({true, v104, false});
        else if (MRO_rb->isChecked())
            apply({false, true, false});
    } else {
        apply({false, false, false});
        Box(10013, Msg(10025), Dialogs::Icon::Information);
    }
}

void TMainForm::SoftUpdatesListBoxClick()
{
}

void TMainForm::WriteSWButtonClick()
{
    WriteSelectedFirmware();
}

void TMainForm::WriteSelectedFirmware()
{
}

} // namespace rpu
