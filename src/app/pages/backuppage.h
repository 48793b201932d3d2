#pragma once
// The backup page ("Резервная копия"): the registration memory of the device
// read into the value buffer and written back from it.

#include "app/pagecontext.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rpu {

class BackupPage final : public QWidget {
    Q_OBJECT
public:
    BackupPage(PageContext &context, QWidget *parent);

    CommandOffer Offer() const { return offer_; }

    void ShowDeviceType(const QString &typeText);
    // Empties the file and code labels, the role selection and the inputs.
    void ClearInputs();
    // The inputs that only a file operation enables, disabled.
    void DisableInputs();
    // Entering the page on-line after a good answer, and in demo mode.
    void EnterOnline();
    void EnterDemo();

public slots:
    // "Считать" and "Записать" on this page: the registration memory.
    void ReadRegistration();
    void WriteRegistration();
    // "Сохранить" and "Загрузить" on this page: backup files.
    void SaveRegistrationFile();
    void LoadRegistrationFile();

private:
    void BuildControls();
    void SetOffer(const CommandOffer &offer);
    void UpdateEnabled();

    PageContext &context_;
    CommandOffer offer_;
    // "Создать" and "Восстановить", as the page entry leaves them.
    bool backupCommands_ = false;

    QLabel *Dev2TypeLabel2 = nullptr;
    QPushButton *RegBackupCreateButton = nullptr;
    QPushButton *RegBackupRestoreButton = nullptr;
    QPushButton *RegBackupDeleteButton = nullptr;
    QGroupBox *RPU_RTRRadioGr = nullptr;
    QButtonGroup *RPU_RTRRadioItems = nullptr;
    QLineEdit *ObjNumEdit = nullptr;
    QComboBox *ModuleNumCmB = nullptr;
    QLabel *RegFNameLabel2 = nullptr;
    QLabel *ConfCodeLabel2 = nullptr;
};

} // namespace rpu
