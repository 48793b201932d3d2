#pragma once
// Small builders for the controls of the window and its pages: every control
// gets its object name, so that code, tests and language modules find it.

#include <QColor>
#include <QFont>
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace rpu {

inline const QColor kGreen(0, 128, 0);

// The designed family first, then families with Cyrillic glyphs.
QFont SansFont(int pointSize = 8);
QFont SerifFont(int pointSize, bool bold);

template <typename W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Captions and hints are not given here: they come from the built-in layout,
// applied when the window is built, so each text is written in one place.
QLabel *MakeLabel(QWidget *parent, const char *name, int x, int y, int w, int h);
QPushButton *MakeButton(QWidget *parent, const char *name, int x, int y, int w = 105, int h = 25);
QGroupBox *MakeGroup(QWidget *parent, const char *name, int x, int y, int w, int h);
// A caption label and its value label on one line; returns the value label.
QLabel *LabelPair(QWidget *parent, const char *captionName, const char *valueName, int x, int y,
                  int captionWidth, int valueWidth);
void SetBold(QWidget *widget);
// A part built after the window takes its place in the focus chain right
// after its page, as if it had been built with it.
void TakePlaceInFocusChain(QWidget *page, QWidget *content);

} // namespace rpu
