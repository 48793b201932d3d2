#include "app/pages/welcomearea.h"

#include "app/widgetkit.h"

#include <QLabel>
#include <QPixmap>

namespace rpu {

namespace {

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

} // namespace

WelcomeArea::WelcomeArea(QWidget *window) : QObject(window)
{
    setObjectName(QStringLiteral("WelcomeArea"));
    general_ = {
        WelcomeLabel(window, "Logo1_lb",
                     QStringLiteral("Вас приветствует программа для настройки РПУ Вельмар-КС-И"), 32,
                     40, 16, true, true),
        WelcomeLabel(window, "logo2_lb",
                     QStringLiteral("Программа предназначена для задания режимов работы и обновления "
                                    "программного обеспечения (ПО) ретранслятора периферийного \"РПУ "
                                    "Вельмар-КС-И\" (РПУ) с заводской версией ПО dv10_0 (и выше)."),
                     78, 64, 12, false, false),
        WelcomeLabel(window, "logo3_lb",
                     QStringLiteral("В данной версии программы изменен интерфейс и логика работы. "
                                    "Введен новый режим работы РПУ \"Ретранслятор + модуль реле "
                                    "(РТР)\" для версий dv10_4 (и выше). В этом режиме работы РПУ "
                                    "поддерживается работа выходов в режиме модуля реле и "
                                    "ретранслятора одновременно. Введена новая вкладка настройки всех "
                                    "выходов РПУ в автономном режиме работы для версий dv10_4 (и "
                                    "выше)."),
                     150, 140, 12, false, false),
        WelcomeLabel(window, "logo4_lb",
                     QStringLiteral("Подключение \"РПУ Вельмар-КС-И\" к персональному компьютеру (ПК) "
                                    "осуществляется через USB-порт с помощью кабеля USB AM/BM."),
                     302, 48, 12, true, false),
    };
    QLabel *logo = MakeLabel(window, "Logo_Image", QString(), 40, 446, 120, 64);
    logo->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    edition_ = {
        WelcomeLabel(window, "Logo1_SELA_lb",
                     QStringLiteral("Вас приветствует программа Dorel-RPU-SELA"), 32, 36, 18, true,
                     true),
        WelcomeLabel(window, "logo2_SELA_lb",
                     QStringLiteral("Программа предназначена для обновления программного обеспечения "
                                    "(ПО) \"РПУ Вельмар-КС-И (SELA)\" (РПУ) с заводской версией ПО "
                                    "v4_0 (и выше)"),
                     78, 64, 12, false, false),
        WelcomeLabel(window, "logo4_SELA_lb",
                     QStringLiteral("Подключение РПУ к персональному компьютеру (ПК) осуществляется "
                                    "через USB-порт с помощью кабеля USB AM/BM"),
                     302, 48, 12, true, false),
        WelcomeLabel(window, "logo5_lb",
                     QStringLiteral("Для подключения РПУ к компьютеру следует установить режим «Работы "
                                    "с ПК» (установить перемычку F3 при выключенном питании РПУ и "
                                    "отключенном кабеле USB). Электропитание 12V на РПУ можно не "
                                    "подавать."),
                     354, 88, 12, true, false),
        logo,
        LinkLabel(window, "Label_webaddr", QStringLiteral("www.example.org"), 459, 200),
        LinkLabel(window, "Label_emailaddr", QStringLiteral("support@example.org"), 486, 200),
    };
}

void WelcomeArea::ShowEdition()
{
    for (QLabel *label : general_)
        label->hide();
    for (QLabel *label : edition_)
        label->show();
}

} // namespace rpu
