#pragma once
// The text layout of a live window: what a language module has to translate
// (captions, hints, item lists, tab captions of every named control). Used
// to write the built-in Russian layout and to check modules against the
// window.

#include <QStringList>

class QWidget;

namespace rpu {

// "object <name>: <className>" with the translatable values of every named
// control below it, nested by named ancestors. Empty texts, and lists made
// only of numbers, are left out: there is nothing to translate in them.
// rootValues: the window's own caption too (not for a window whose caption
// the program sets).
QString DumpWindowLayout(const QWidget &window, const QString &name, const QString &className,
                         bool rootValues = true);

// Gives the window's unnamed controls that show a text a name (the nearest
// named owner's name, their class and a count): Qt reorders children when
// widgets are raised, so position is no way to find them again.
void NameTranslatableControls(QWidget &window);

// The built-in Russian layouts (main window and language dialog), compiled
// into the program, one text per window. They are written from the window
// (DumpWindowLayout) and applied when it is built, where they find nothing
// to change: the pages still set their Russian captions in code as well.
// Taking the captions out of the page code is left for when nobody is
// editing the pages.
QStringList BuiltinRussianLayouts();

} // namespace rpu
