#include "app/widgetkit.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace rpu {

QFont SansFont(int pointSize)
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

QLabel *MakeLabel(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *label = Named(new QLabel(parent), name);
    label->setGeometry(x, y, w, h);
    return label;
}

QPushButton *MakeButton(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *button = Named(new QPushButton(parent), name);
    button->setGeometry(x, y, w, h);
    // Enter presses the focused button, as Space does; outside a dialog a
    // button does that only when it is an auto-default one.
    button->setAutoDefault(true);
    return button;
}

QGroupBox *MakeGroup(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *group = Named(new QGroupBox(parent), name);
    group->setGeometry(x, y, w, h);
    return group;
}

QLabel *LabelPair(QWidget *parent, const char *captionName, const char *valueName, int x, int y,
                  int captionWidth, int valueWidth)
{
    MakeLabel(parent, captionName, x, y, captionWidth, 17);
    return MakeLabel(parent, valueName, x + captionWidth + 4, y, valueWidth, 17);
}

void SetBold(QWidget *widget)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

} // namespace rpu
