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
// The same for a part built later: the names come out as in a whole pass.
void NameTranslatableControls(QWidget &window, QWidget &part);

// The built-in Russian layouts (main window and language dialog), compiled
// into the program, one text per window. They are the one source of the
// windows' captions, hints and item texts: the code builds the controls
// without texts, and the layout is applied when a window is built.
QStringList BuiltinRussianLayouts();

// Applies the built-in layout of the window's class; returns the
// translator's error text, empty when all went well.
QString ApplyBuiltinLayout(QWidget &window);

} // namespace rpu
