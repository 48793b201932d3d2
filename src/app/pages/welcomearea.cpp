#include "app/pages/welcomearea.h"

#include "app/widgetkit.h"

#include <QLabel>
#include <QPixmap>

namespace rpu {

namespace {

QLabel *WelcomeLabel(QWidget *parent, const char *name, int y, int h, int pointSize, bool bold,
                     bool greeting)
{
    QLabel *label = MakeLabel(parent, name, 40, y, 580, h);
    label->setFont(SerifFont(pointSize, bold));
    label->setWordWrap(true);
    label->setAlignment(greeting ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, greeting ? kGreen : QColor(Qt::black));
    label->setPalette(palette);
    return label;
}

QLabel *LinkLabel(QWidget *parent, const char *name, int y, int w)
{
    QLabel *label = MakeLabel(parent, name, 168, y, w, 18);
    QFont font = SansFont();
    font.setPixelSize(13);
    font.setBold(true);
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kGreen);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    // Reached by Tab and opened with Enter or Space (HelpAndLinks), with a
    // frame that shows the focus.
    label->setFocusPolicy(Qt::StrongFocus);
    label->setStyleSheet(QStringLiteral("QLabel:focus { border: 1px dotted; }"));
    return label;
}

} // namespace

WelcomeArea::WelcomeArea(QWidget *window) : QObject(window)
{
    setObjectName(QStringLiteral("WelcomeArea"));
    general_ = {
        WelcomeLabel(window, "Logo1_lb", 32, 40, 16, true, true),
        WelcomeLabel(window, "logo2_lb", 78, 64, 12, false, false),
        WelcomeLabel(window, "logo3_lb", 150, 140, 12, false, false),
        WelcomeLabel(window, "logo4_lb", 302, 48, 12, true, false),
    };
    QLabel *logo = MakeLabel(window, "Logo_Image", 40, 446, 120, 64);
    logo->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    edition_ = {
        WelcomeLabel(window, "Logo1_SELA_lb", 32, 36, 18, true, true),
        WelcomeLabel(window, "logo2_SELA_lb", 78, 64, 12, false, false),
        WelcomeLabel(window, "logo4_SELA_lb", 302, 48, 12, true, false),
        WelcomeLabel(window, "logo5_lb", 354, 88, 12, true, false),
        logo,
        LinkLabel(window, "Label_webaddr", 459, 200),
        LinkLabel(window, "Label_emailaddr", 486, 200),
    };
}

void WelcomeArea::ShowEdition()
{
    editionShown_ = true;
    ShowTexts();
}

void WelcomeArea::SetCovered(bool covered)
{
    covered_ = covered;
    if (editionShown_)
        ShowTexts();
}

void WelcomeArea::ShowTexts()
{
    for (QLabel *label : general_)
        label->hide();
    for (QLabel *label : edition_)
        label->setVisible(!covered_);
}

} // namespace rpu
