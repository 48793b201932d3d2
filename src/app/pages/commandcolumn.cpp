#include "app/pages/commandcolumn.h"

#include "app/widgetkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace rpu {

namespace {
constexpr int kGroupWidth = 120;
// The column's left edge in the window; the layout gives window positions.
constexpr int kColumnX = 670;
} // namespace

CommandColumn::CommandColumn(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CommandColumn"));
    setGeometry(kColumnX, 0, 794 - kColumnX, 545);

    QGroupBox *port = MakeGroup(this, "GroupBox1", 0, 15, kGroupWidth, 48);
    auto *usb = Named(new QCheckBox(port), "CheckBox1");
    usb->setGeometry(8, 22, 105, 18);
    usb->setChecked(true);
    port->setEnabled(false);

    QGroupBox *mode = MakeGroup(this, "OperModeGrB", 0, 69, kGroupWidth, 60);
    OperModeCmB = Named(new QComboBox(mode), "OperModeCmB");
    OperModeCmB->addItems(QStringList(2)); // "демо", "on-line"
    OperModeCmB->setGeometry(8, 24, 105, 24);

    const struct {
        const char *group;
        int top;
        QPushButton **first, **second;
        const char *firstName, *secondName;
    } pairs[] = {
        {"GroupBox39", 139, &ConnectButton, &DisconnectButton, "ConnectButton", "DisconnectButton"},
        {"GroupBox40", 234, &WriteButton, &ReadButton, "WriteButton", "ReadButton"},
        {"GroupBox41", 329, &SaveButton, &LoadButton, "SaveButton", "LoadButton"},
        {"GroupBox42", 424, &DefaultSettingsButton, &Help, "DefaultSettingsButton", "Help"},
    };
    for (const auto &p : pairs) {
        QGroupBox *group = MakeGroup(this, p.group, 0, p.top, kGroupWidth, 88);
        *p.first = MakeButton(group, p.firstName, 8, 22);
        *p.second = MakeButton(group, p.secondName, 8, 54);
    }

    // Language controls: the button covers the label and the combo box.
    MakeLabel(this, "LngLabel", 2, 520, 34, 17);
    auto *languages = Named(new QComboBox(this), "LangCmB");
    languages->addItems(QStringList(3)); // Russian, English, Turkish
    languages->setCurrentIndex(0);
    languages->setGeometry(38, 516, 82, 24);
    // Covered by the button, which is how the language is changed: never
    // reached by Tab nor read out by a screen reader.
    languages->setFocusPolicy(Qt::NoFocus);
    languages->hide();
    btn_ChangeLang = MakeButton(this, "btn_ChangeLang", 1, 516, 119, 25);
    btn_ChangeLang->raise();

    connect(OperModeCmB, &QComboBox::activated, this, &CommandColumn::workModeChosen);
    connect(ConnectButton, &QPushButton::clicked, this, &CommandColumn::connectClicked);
    connect(DisconnectButton, &QPushButton::clicked, this, &CommandColumn::disconnectClicked);
    connect(WriteButton, &QPushButton::clicked, this, &CommandColumn::writeClicked);
    connect(ReadButton, &QPushButton::clicked, this, &CommandColumn::readClicked);
    connect(SaveButton, &QPushButton::clicked, this, &CommandColumn::saveClicked);
    connect(LoadButton, &QPushButton::clicked, this, &CommandColumn::loadClicked);
    connect(DefaultSettingsButton, &QPushButton::clicked, this, &CommandColumn::factoryClicked);
    connect(Help, &QPushButton::clicked, this, &CommandColumn::helpClicked);
    connect(btn_ChangeLang, &QPushButton::clicked, this, &CommandColumn::languageClicked);
}

void CommandColumn::Apply(const CommandState &state)
{
    OperModeCmB->setEnabled(state.workMode);
    ConnectButton->setEnabled(state.connect);
    DisconnectButton->setEnabled(state.disconnect);
    WriteButton->setEnabled(state.device.write);
    ReadButton->setEnabled(state.device.read);
    SaveButton->setEnabled(state.device.save);
    LoadButton->setEnabled(state.device.load);
    DefaultSettingsButton->setEnabled(state.device.factory);
    btn_ChangeLang->setEnabled(state.language);
}

int CommandColumn::WorkModeIndex() const
{
    return OperModeCmB->currentIndex();
}

void CommandColumn::SetWorkModeIndex(int index)
{
    OperModeCmB->setCurrentIndex(index);
}

} // namespace rpu
