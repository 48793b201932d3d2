#include "app/widgetkit.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QList>
#include <QLabel>
#include <QPushButton>

namespace rpu {

namespace {

// Qt takes the first family of a list that its font database holds, and
// searches the list again for every size and weight; the family it takes
// is the same each time, so it is looked up once.
QStringList ResolvedFamilies(const QStringList &families)
{
    for (const QString &family : families) {
        if (QFontDatabase::hasFamily(family))
            return {family};
    }
    return families; // none installed: Qt's own fallback decides
}

} // namespace

QFont SansFont(int pointSize)
{
    static const QStringList families = ResolvedFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
         QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    QFont font;
    font.setFamilies(families);
    font.setPointSize(pointSize);
    return font;
}

QFont SerifFont(int pointSize, bool bold)
{
    static const QStringList families = ResolvedFamilies(
        {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"),
         QStringLiteral("DejaVu Serif")});
    QFont font;
    font.setFamilies(families);
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

// Widgets made after the window join its focus chain at the end; Tab is to
// reach them where the page lies, right after it. (Qt orders only widgets
// that take the focus, so the page takes it for the moment.)
void TakePlaceInFocusChain(QWidget *page, QWidget *content)
{
    QList<QWidget *> block;
    for (QWidget *w = content->nextInFocusChain(); w != content && content->isAncestorOf(w); w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus)
            block << w;
    }
    const Qt::FocusPolicy policy = page->focusPolicy();
    page->setFocusPolicy(Qt::TabFocus);
    QWidget *previous = page;
    for (QWidget *w : block) {
        QWidget::setTabOrder(previous, w);
        previous = w;
    }
    page->setFocusPolicy(policy);
}

void SetBold(QWidget *widget)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

} // namespace rpu
