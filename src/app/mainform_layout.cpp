// The controls of the main window and where they sit. Positions are those of
// a 794 x 570 client area; fonts name the designed family first and then
// families with Cyrillic glyphs that fontconfig can fall back on.

#include "app/mainform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStringListModel>
#include <QTabWidget>
#include <QVBoxLayout>

// Resources of a static library have to be registered by name, from the
// global namespace.
static void InitAppResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace rpu {

namespace {

constexpr int kClientWidth = 794;
constexpr int kClientHeight = 570;

const QColor kGreen(0, 128, 0);

QFont SansFont(int pointSize = 8)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    return font;
}

QFont SerifFont(int pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                      QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")});
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

template <typename W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, int x, int y, int w,
                  int h)
{
    auto *label = Named(new QLabel(text, parent), name);
    label->setGeometry(x, y, w, h);
    return label;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption,
                        const QString &hint, int x, int y, int w = 105, int h = 25)
{
    auto *button = Named(new QPushButton(caption, parent), name);
    button->setGeometry(x, y, w, h);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    button->setAutoDefault(false);
    return button;
}

QGroupBox *MakeGroup(QWidget *parent, const char *name, const QString &caption, int x, int y,
                     int w, int h)
{
    auto *group = Named(new QGroupBox(caption, parent), name);
    group->setGeometry(x, y, w, h);
    return group;
}

QLabel *WelcomeLabel(QWidget *parent, const char *name, const QString &text, int y, int h,
                     int pointSize, bool bold, bool greeting)
{
    QLabel *label = MakeLabel(parent, name, text, 40, y, 580, h);
    label->setFont(SerifFont(pointSize, bold));
    label->setWordWrap(true);
    label->setAlignment(greeting ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, greeting ? kGreen : QColor(Qt::black));
    label->setPalette(palette);
    return label;
}

QLabel *LinkLabel(QWidget *parent, const char *name, const QString &text, int y, int w)
{
    QLabel *label = MakeLabel(parent, name, text, 168, y, w, 18);
    QFont font = SansFont();
    font.setPixelSize(13);
    font.setBold(true);
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kGreen);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// A caption label and its value label on one line.
QLabel *LabelPair(QWidget *parent, const char *captionName, const QString &caption,
                  const char *valueName, int x, int y, int captionWidth, int valueWidth)
{
    MakeLabel(parent, captionName, caption, x, y, captionWidth, 17);
    return MakeLabel(parent, valueName, QString(), x + captionWidth + 4, y, valueWidth, 17);
}

// A page of the outer page control holding only an inner page control.
QTabWidget *InnerPages(QWidget *page, const char *name, const char *const (&tabNames)[3])
{
    auto *pages = Named(new QTabWidget(page), name);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pages);
    const QString captions[3] = {QStringLiteral("Реле №1"), QStringLiteral("Реле №2"),
                                 QStringLiteral("Выход ОК №1")};
    for (int i = 0; i < 3; ++i)
        pages->addTab(Named(new QWidget(pages), tabNames[i]), captions[i]);
    return pages;
}

} // namespace

void TMainForm::BuildControls()
{
    InitAppResources();

    setWindowTitle(QStringLiteral("Заголовок главного окна"));
    setWindowIcon(QIcon(QStringLiteral(":/images/icon.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(SansFont());
    setFixedSize(kClientWidth, kClientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        move(desktop.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }

    // Welcome area: on the window itself, behind the page control.
    Logo1_lb = WelcomeLabel(this, "Logo1_lb",
                            QStringLiteral("Вас приветствует программа для настройки РПУ Вельмар-КС-И"),
                            32, 40, 16, true, true);
    logo2_lb = WelcomeLabel(
        this, "logo2_lb",
        QStringLiteral("Программа предназначена для задания режимов работы и обновления программного "
                       "обеспечения (ПО) ретранслятора периферийного \"РПУ Вельмар-КС-И\" (РПУ) с "
                       "заводской версией ПО dv10_0 (и выше)."),
        78, 64, 12, false, false);
    logo3_lb = WelcomeLabel(
        this, "logo3_lb",
        QStringLiteral("В данной версии программы изменен интерфейс и логика работы. Введен новый "
                       "режим работы РПУ \"Ретранслятор + модуль реле (РТР)\" для версий dv10_4 (и "
                       "выше). В этом режиме работы РПУ поддерживается работа выходов в режиме модуля "
                       "реле и ретранслятора одновременно. Введена новая вкладка настройки всех "
                       "выходов РПУ в автономном режиме работы для версий dv10_4 (и выше)."),
        150, 140, 12, false, false);
    logo4_lb = WelcomeLabel(
        this, "logo4_lb",
        QStringLiteral("Подключение \"РПУ Вельмар-КС-И\" к персональному компьютеру (ПК) "
                       "осуществляется через USB-порт с помощью кабеля USB AM/BM."),
        302, 48, 12, true, false);
    Logo1_SELA_lb = WelcomeLabel(this, "Logo1_SELA_lb",
                                 QStringLiteral("Вас приветствует программа Dorel-RPU-SELA"), 32, 36,
                                 18, true, true);
    logo2_SELA_lb = WelcomeLabel(
        this, "logo2_SELA_lb",
        QStringLiteral("Программа предназначена для обновления программного обеспечения (ПО) \"РПУ "
                       "Вельмар-КС-И (SELA)\" (РПУ) с заводской версией ПО v4_0 (и выше)"),
        78, 64, 12, false, false);
    logo4_SELA_lb = WelcomeLabel(
        this, "logo4_SELA_lb",
        QStringLiteral("Подключение РПУ к персональному компьютеру (ПК) осуществляется через USB-порт "
                       "с помощью кабеля USB AM/BM"),
        302, 48, 12, true, false);
    logo5_lb = WelcomeLabel(
        this, "logo5_lb",
        QStringLiteral("Для подключения РПУ к компьютеру следует установить режим «Работы с ПК» "
                       "(установить перемычку F3 при выключенном питании РПУ и отключенном кабеле "
                       "USB). Электропитание 12V на РПУ можно не подавать."),
        354, 88, 12, true, false);
    Logo_Image = MakeLabel(this, "Logo_Image", QString(), 40, 446, 120, 64);
    Logo_Image->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    Label_webaddr = LinkLabel(this, "Label_webaddr", QStringLiteral("www.example.org"), 459, 200);
    Label_emailaddr =
        LinkLabel(this, "Label_emailaddr", QStringLiteral("support@example.org"), 486, 200);

    // Page control.
    MainPageC = Named(new QTabWidget(this), "MainPageC");
    MainPageC->setGeometry(0, 0, 667, 544);
    MainTabSh = Named(new QWidget(MainPageC), "MainTabSh");
    RegistBackupTabSh = Named(new QWidget(MainPageC), "RegistBackupTabSh");
    ReleSettingsTabSh = Named(new QWidget(MainPageC), "ReleSettingsTabSh");
    ReleSettingsTabRPU = Named(new QWidget(MainPageC), "ReleSettingsTabRPU");
    MainPageC->addTab(MainTabSh, QStringLiteral("Главная"));
    MainPageC->addTab(RegistBackupTabSh, QStringLiteral("Резервная копия"));
    MainPageC->addTab(ReleSettingsTabSh, QStringLiteral("Режимы реле и выхода ОК"));
    MainPageC->addTab(ReleSettingsTabRPU,
                      QStringLiteral("Режимы реле и выхода ОК (РПУ в автономном режиме)"));

    static const char *const relayTabs[3] = {"Rele1TabSh", "Rele2TabSh", "OK1TabSh"};
    static const char *const rpuTabs[3] = {"TabSheet2", "TabSheet3", "TabSheet4"};
    ReleSettingsPageC = InnerPages(ReleSettingsTabSh, "ReleSettingsPageC", relayTabs);
    ReleSettingsRPUPageC = InnerPages(ReleSettingsTabRPU, "ReleSettingsRPUPageC", rpuTabs);

    // Main page.
    QWidget *page = MainTabSh;
    Label_maintabsh_header_rpu = MakeLabel(
        page, "Label_maintabsh_header_rpu",
        QStringLiteral("Выбор режима работы, обновление или смена ПО подключенного радиоустройства"),
        8, 8, 645, 20);
    Label_maintabsh_header_sela =
        MakeLabel(page, "Label_maintabsh_header_sela",
                  QStringLiteral("Обновление ПО подключенного радиоустройства"), 8, 8, 645, 20);
    for (QLabel *header : {Label_maintabsh_header_rpu, Label_maintabsh_header_sela}) {
        QFont font = header->font();
        font.setBold(true);
        header->setFont(font);
    }
    Label_maintabsh_header_rpu->hide();

    SoftUpdateGrB2 = MakeGroup(page, "SoftUpdateGrB2", QStringLiteral("Сведения о приборе:"), 8, 34,
                               645, 72);
    DevTypeLabel = MakeLabel(SoftUpdateGrB2, "DevTypeLabel",
                             QStringLiteral("Тип подключенного прибора: "), 12, 22, 190, 17);
    DevTypeLabel2 = MakeLabel(SoftUpdateGrB2, "DevTypeLabel2", QString(), 206, 22, 425, 17);
    CurrentSoftVerLabel = MakeLabel(SoftUpdateGrB2, "CurrentSoftVerLabel",
                                    QStringLiteral("Текущая версия ПО: "), 12, 44, 190, 17);
    CurrentSoftVerLabel2 =
        MakeLabel(SoftUpdateGrB2, "CurrentSoftVerLabel2", QString(), 206, 44, 425, 17);

    DevOperModeGrB = MakeGroup(page, "DevOperModeGrB",
                               QStringLiteral("Выберите режим работы прибора: "), 8, 112, 645, 92);
    RPU_rb = Named(new QRadioButton(QStringLiteral("Радиоприемное устройство (РПУ)"), DevOperModeGrB),
                   "RPU_rb");
    RTR_rb = Named(new QRadioButton(QStringLiteral("Ретранслятор + модуль реле (РТР)"),
                                    DevOperModeGrB),
                   "RTR_rb");
    MRO_rb = Named(new QRadioButton(QStringLiteral("Модуль реле и оповещения (МРО)"), DevOperModeGrB),
                   "MRO_rb");
    RPU_rb->setGeometry(12, 20, 400, 20);
    RTR_rb->setGeometry(12, 43, 400, 20);
    MRO_rb->setGeometry(12, 66, 400, 20);

    SoftUpdatesGroupBox = MakeGroup(page, "SoftUpdatesGroupBox", QStringLiteral("Выберите файл ПО:"),
                                    8, 112, 300, 330);
    SoftUpdatesListBox = Named(new QListWidget(SoftUpdatesGroupBox), "SoftUpdatesListBox");
    SoftUpdatesListBox->setGeometry(10, 22, 280, 298);
    WriteSWButton = MakeButton(page, "WriteSWButton", QStringLiteral("Обновить ПО устройства"),
                               QString(), 8, 450, 200, 28);
    WriteSWButton->setEnabled(false);

    SoftUpdateGrB = MakeGroup(page, "SoftUpdateGrB", QStringLiteral("Сведения о файле ПО:"), 318,
                              112, 335, 148);
    SoftFNameLabel2 = LabelPair(SoftUpdateGrB, "SoftFNameLabel", QStringLiteral("Имя файла: "),
                                "SoftFNameLabel2", 10, 24, 150, 165);
    SoftFTypeLabel2 = LabelPair(SoftUpdateGrB, "SoftFTypeLabel", QStringLiteral("Тип файла: "),
                                "SoftFTypeLabel2", 10, 48, 150, 165);
    SoftFSizeLabel2 = LabelPair(SoftUpdateGrB, "SoftFSizeLabel",
                                QStringLiteral("Размер файла (байт):"), "SoftFSizeLabel2", 10, 72,
                                150, 165);
    NewSoftVerLabel2 = LabelPair(SoftUpdateGrB, "NewSoftVerLabel", QStringLiteral("Версия ПО: "),
                                 "NewSoftVerLabel2", 10, 96, 150, 165);
    SoftFDateLabel2 = LabelPair(SoftUpdateGrB, "SoftFDateLabel",
                                QStringLiteral("Дата создания файла: "), "SoftFDateLabel2", 10, 120,
                                150, 165);
    SoftUpdateGrB->hide();

    // The value buffer holds whole registration images and firmware files:
    // a plain string model with uniform rows keeps that cheap.
    TempListB2 = Named(new QListView(page), "TempListB2");
    tempListModel_ = new QStringListModel(this);
    TempListB2->setModel(tempListModel_);
    TempListB2->setUniformItemSizes(true);
    TempListB2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TempListB2->setGeometry(318, 270, 160, 200);
    TempListB2->hide();
    Memo1 = Named(new QPlainTextEdit(page), "Memo1");
    Memo1->setGeometry(490, 270, 160, 200);
    Memo1->hide();

    // Backup page.
    page = RegistBackupTabSh;
    QLabel *heading = MakeLabel(page, "RegBackupHeaderLabel",
                                QStringLiteral("Создание файла, восстановление из файла или удаление "
                                               "файла резервной копии памяти регистрации"),
                                8, 8, 645, 34);
    heading->setWordWrap(true);
    {
        QFont font = heading->font();
        font.setBold(true);
        heading->setFont(font);
    }
    Dev2TypeLabel2 = LabelPair(page, "Dev2TypeLabel", QStringLiteral("Тип подключенного прибора: "),
                               "Dev2TypeLabel2", 12, 50, 190, 420);

    RPU_RTRRadioGr = MakeGroup(page, "RPU_RTRRadioGr", QStringLiteral("Режим работы в системе:"), 12,
                               80, 300, 70);
    RPU_RTRRadioItems = new QButtonGroup(this);
    RPU_RTRRadioItems->setObjectName(QStringLiteral("RPU_RTRRadioItems"));
    const QString roles[2] = {QStringLiteral("РПУ"), QStringLiteral("РТР")};
    for (int id = 0; id < 2; ++id) {
        auto *item = new QRadioButton(roles[id], RPU_RTRRadioGr);
        item->setObjectName(id == 0 ? QStringLiteral("RPU_RTRRadioGr_RPU")
                                    : QStringLiteral("RPU_RTRRadioGr_RTR"));
        item->setGeometry(12, 20 + id * 23, 200, 20);
        RPU_RTRRadioItems->addButton(item, id);
    }
    RPU_RTRRadioGr->setEnabled(false);

    MakeLabel(page, "ObjNumLabel", QStringLiteral("Номер объекта(системы): "), 12, 166, 190, 17);
    ObjNumEdit = Named(new QLineEdit(page), "ObjNumEdit");
    ObjNumEdit->setGeometry(206, 163, 120, 22);
    ObjNumEdit->setEnabled(false);
    MakeLabel(page, "ModuleNumLabel", QStringLiteral("Адрес прибора в системе:"), 12, 196, 190, 17);
    ModuleNumCmB = Named(new QComboBox(page), "ModuleNumCmB");
    ModuleNumCmB->setEditable(true);
    ModuleNumCmB->setInsertPolicy(QComboBox::NoInsert);
    ModuleNumCmB->setMaxVisibleItems(10);
    ModuleNumCmB->setGeometry(206, 193, 120, 22);
    ModuleNumCmB->setEnabled(false);
    RegFNameLabel2 = LabelPair(page, "RegFNameLabel", QStringLiteral("Имя файла резервной копии:"),
                               "RegFNameLabel2", 12, 226, 190, 440);
    ConfCodeLabel2 = LabelPair(page, "ConfCodeLabel", QStringLiteral("Код конфигурации:"),
                               "ConfCodeLabel2", 12, 252, 190, 120);

    RegBackupCreateButton =
        MakeButton(page, "RegBackupCreateButton", QStringLiteral("Создать"), QString(), 340, 86);
    RegBackupRestoreButton = MakeButton(page, "RegBackupRestoreButton",
                                        QStringLiteral("Восстановить"), QString(), 340, 118);
    RegBackupDeleteButton =
        MakeButton(page, "RegBackupDeleteButton", QStringLiteral("Удалить"), QString(), 340, 150);
    RegBackupCreateButton->setEnabled(false);
    RegBackupRestoreButton->setEnabled(false);

    // Command column.
    constexpr int kColumnX = 670;
    constexpr int kGroupWidth = 120;
    GroupBox1 = MakeGroup(this, "GroupBox1", QStringLiteral("Порт связи"), kColumnX, 15, kGroupWidth,
                          48);
    CheckBox1 = Named(new QCheckBox(QStringLiteral("USB-порт"), GroupBox1), "CheckBox1");
    CheckBox1->setGeometry(8, 22, 105, 18);
    CheckBox1->setChecked(true);
    GroupBox1->setEnabled(false);

    OperModeGrB = MakeGroup(this, "OperModeGrB", QStringLiteral("Режим работы:"), kColumnX, 69,
                            kGroupWidth, 60);
    OperModeCmB = Named(new QComboBox(OperModeGrB), "OperModeCmB");
    OperModeCmB->addItems({QStringLiteral("демо"), QStringLiteral("on-line")});
    OperModeCmB->setGeometry(8, 24, 105, 24);

    GroupBox39 = MakeGroup(this, "GroupBox39", QStringLiteral("Связь"), kColumnX, 139, kGroupWidth, 88);
    ConnectButton = MakeButton(GroupBox39, "ConnectButton", QStringLiteral("Установить"),
                               QStringLiteral("Устанавливает связь с прибором"), 8, 22);
    DisconnectButton = MakeButton(GroupBox39, "DisconnectButton", QStringLiteral("Разорвать"),
                                  QStringLiteral("Разрывает связь с прибором"), 8, 54);
    DisconnectButton->setEnabled(false);

    GroupBox40 = MakeGroup(this, "GroupBox40", QStringLiteral("Прибор"), kColumnX, 234, kGroupWidth, 88);
    WriteButton = MakeButton(GroupBox40, "WriteButton", QStringLiteral("Записать"),
                             QStringLiteral("Записывает настройки в прибор"), 8, 22);
    ReadButton = MakeButton(GroupBox40, "ReadButton", QStringLiteral("Считать"),
                            QStringLiteral("Считывает настройки из прибора"), 8, 54);

    GroupBox41 = MakeGroup(this, "GroupBox41", QStringLiteral("Файл"), kColumnX, 329, kGroupWidth, 88);
    SaveButton = MakeButton(GroupBox41, "SaveButton", QStringLiteral("Сохранить"),
                            QStringLiteral("Записывает настройки в файл"), 8, 22);
    LoadButton = MakeButton(GroupBox41, "LoadButton", QStringLiteral("Загрузить"),
                            QStringLiteral("Считывает настройки из файла"), 8, 54);

    GroupBox42 = MakeGroup(this, "GroupBox42", QStringLiteral("Прочее"), kColumnX, 424, kGroupWidth, 88);
    DefaultSettingsButton = MakeButton(GroupBox42, "DefaultSettingsButton",
                                       QStringLiteral("Завод. настройки"),
                                       QStringLiteral("Выставление заводских настроек"), 8, 22);
    Help = MakeButton(GroupBox42, "Help", QStringLiteral("Help  "),
                      QStringLiteral("Вызов справки по программе"), 8, 54);
    for (QPushButton *button : {WriteButton, ReadButton, SaveButton, LoadButton, DefaultSettingsButton})
        button->setEnabled(false);

    // Language controls: the button covers the label and the combo box.
    LngLabel = MakeLabel(this, "LngLabel", QStringLiteral("Язык:"), 672, 520, 34, 17);
    LangCmB = Named(new QComboBox(this), "LangCmB");
    LangCmB->addItems({QStringLiteral("Russian"), QStringLiteral("English"), QStringLiteral("Turkish")});
    LangCmB->setCurrentIndex(0);
    LangCmB->setGeometry(708, 516, 82, 24);
    btn_ChangeLang = MakeButton(this, "btn_ChangeLang", QStringLiteral("Сменить язык"), QString(), 671,
                                516, 119, 25);
    btn_ChangeLang->raise();

    // Status bar with the progress bar over its right end.
    MainStatusB = Named(new QStatusBar(this), "MainStatusB");
    MainStatusB->setGeometry(2, 541, 792, 26);
    MainStatusB->setSizeGripEnabled(false);
    MainStatusText = Named(new QLabel(MainStatusB), "MainStatusText");
    MainStatusB->addWidget(MainStatusText, 1);
    MainProgressB = Named(new QProgressBar(this), "MainProgressB");
    MainProgressB->setGeometry(587, 545, 204, 20);
    MainProgressB->setRange(0, 100);
    MainProgressB->setValue(0);
    MainProgressB->setTextVisible(false);
    MainProgressB->raise();

    Button2 = MakeButton(this, "Button2", QStringLiteral("создать файл для перевода"), QString(), 420,
                         470, 180, 25);
    Button2->hide();
}

} // namespace rpu
