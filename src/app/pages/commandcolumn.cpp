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

    QGroupBox *port = MakeGroup(this, "GroupBox1", QStringLiteral("Порт связи"), 0, 15, kGroupWidth, 48);
    auto *usb = Named(new QCheckBox(QStringLiteral("USB-порт"), port), "CheckBox1");
    usb->setGeometry(8, 22, 105, 18);
    usb->setChecked(true);
    port->setEnabled(false);

    QGroupBox *mode = MakeGroup(this, "OperModeGrB", QStringLiteral("Режим работы:"), 0, 69, kGroupWidth, 60);
    OperModeCmB = Named(new QComboBox(mode), "OperModeCmB");
    OperModeCmB->addItems({QStringLiteral("демо"), QStringLiteral("on-line")});
    OperModeCmB->setGeometry(8, 24, 105, 24);

    struct Pair {
        const char *group;
        QString caption;
        int top;
        QPushButton **first;
        const char *firstName;
        QString firstCaption;
        QString firstHint;
        QPushButton **second;
        const char *secondName;
        QString secondCaption;
        QString secondHint;
    };
    const Pair pairs[] = {
        {"GroupBox39", QStringLiteral("Связь"), 139, &ConnectButton, "ConnectButton",
         QStringLiteral("Установить"), QStringLiteral("Устанавливает связь с прибором"),
         &DisconnectButton, "DisconnectButton", QStringLiteral("Разорвать"),
         QStringLiteral("Разрывает связь с прибором")},
        {"GroupBox40", QStringLiteral("Прибор"), 234, &WriteButton, "WriteButton",
         QStringLiteral("Записать"), QStringLiteral("Записывает настройки в прибор"), &ReadButton,
         "ReadButton", QStringLiteral("Считать"), QStringLiteral("Считывает настройки из прибора")},
        {"GroupBox41", QStringLiteral("Файл"), 329, &SaveButton, "SaveButton",
         QStringLiteral("Сохранить"), QStringLiteral("Записывает настройки в файл"), &LoadButton,
         "LoadButton", QStringLiteral("Загрузить"), QStringLiteral("Считывает настройки из файла")},
        {"GroupBox42", QStringLiteral("Прочее"), 424, &DefaultSettingsButton,
         "DefaultSettingsButton", QStringLiteral("Завод. настройки"),
         QStringLiteral("Выставление заводских настроек"), &Help, "Help", QStringLiteral("Help  "),
         QStringLiteral("Вызов справки по программе")},
    };
    for (const Pair &p : pairs) {
        QGroupBox *group = MakeGroup(this, p.group, p.caption, 0, p.top, kGroupWidth, 88);
        *p.first = MakeButton(group, p.firstName, p.firstCaption, p.firstHint, 8, 22);
        *p.second = MakeButton(group, p.secondName, p.secondCaption, p.secondHint, 8, 54);
    }

    // Language controls: the button covers the label and the combo box.
    MakeLabel(this, "LngLabel", QStringLiteral("Язык:"), 2, 520, 34, 17);
    auto *languages = Named(new QComboBox(this), "LangCmB");
    languages->addItems({QStringLiteral("Russian"), QStringLiteral("English"), QStringLiteral("Turkish")});
    languages->setCurrentIndex(0);
    languages->setGeometry(38, 516, 82, 24);
    btn_ChangeLang = MakeButton(this, "btn_ChangeLang", QStringLiteral("Сменить язык"), QString(), 1,
                                516, 119, 25);
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
