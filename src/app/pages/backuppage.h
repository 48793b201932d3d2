#pragma once
// The backup page ("Резервная копия"): the registration memory of the device
// read into the value buffer and written back from it.

#include "app/pagecontext.h"
#include "app/pages/page.h"
#include "files/backupname.h"
#include "files/textlines.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rpu {

class BackupPage final : public QWidget, public Page {
    Q_OBJECT
public:
    BackupPage(PageContext &context, QWidget *parent);

    // The controls are built when first needed (shown, or a command of the
    // page) or after the window's first paint; contentBuilt() says when.
    void BuildContent();
    bool ContentBuilt() const { return content_; }

    CommandOffer Offer() const override { return offer_; }
    void Read() override { ReadRegistration(); }
    void Write() override { WriteRegistration(); }
    void Save() override { SaveRegistrationFile(); }
    void Load() override { LoadRegistrationFile(); }

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
    void DeleteRegistrationFile();
    // "Создать", "Восстановить" and "Удалить", told apart by the button's name.
    void RegBackupCreateButtonClick(const QString &buttonName);
    // The role chosen: the address list and the inputs follow it.
    void RPU_RTRRadioGrClick();
    // The address check when the focus leaves the address.
    void ModuleNumCmBExit();

signals:
    void contentBuilt(QWidget *content);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void BuildControls(QWidget *page);
    void ConnectControls();
    void SetOffer(const CommandOffer &offer);
    void ChangeOffer(bool CommandOffer::*command, bool on);
    void UpdateEnabled();
    RegistrationRole Role() const;
    void SelectRole(RegistrationRole role);
    void ClearFileFields();
    void SetInputsEnabled(bool enabled);
    // The status, the open dialog of loading and deleting, and the status of
    // a cancel; empty when cancelled.
    QString AskBackupPath(int statusMessage, int titleMessage, int cancelMessage);
    void FileErrorBox(const FileError &error, const QString &fileName) const;

    PageContext &context_;
    CommandOffer offer_;
    // "Создать" and "Восстановить", as the page entry leaves them.
    bool backupCommands_ = false;
    bool checkingModuleNumber_ = false;

    QWidget *content_ = nullptr;
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
