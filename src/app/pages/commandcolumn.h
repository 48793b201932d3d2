#pragma once
// The command column on the right of the window: port, work mode, link,
// device and file commands, factory settings, help and the language button.
// It shows a CommandState and reports clicks; it decides nothing itself.

#include "session/commandrule.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace rpu {

class CommandColumn final : public QWidget {
    Q_OBJECT
public:
    explicit CommandColumn(QWidget *parent);

    void Apply(const CommandState &state);
    // 0 "демо", 1 "on-line".
    int WorkModeIndex() const;
    void SetWorkModeIndex(int index);

signals:
    void workModeChosen();
    void connectClicked();
    void disconnectClicked();
    void writeClicked();
    void readClicked();
    void saveClicked();
    void loadClicked();
    void factoryClicked();
    void helpClicked();
    void languageClicked();

private:
    QComboBox *OperModeCmB = nullptr;
    QPushButton *ConnectButton = nullptr;
    QPushButton *DisconnectButton = nullptr;
    QPushButton *WriteButton = nullptr;
    QPushButton *ReadButton = nullptr;
    QPushButton *SaveButton = nullptr;
    QPushButton *LoadButton = nullptr;
    QPushButton *DefaultSettingsButton = nullptr;
    QPushButton *Help = nullptr;
    QPushButton *btn_ChangeLang = nullptr;
};

} // namespace rpu
