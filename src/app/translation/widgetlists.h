#pragma once
// Item lists of the window's widgets for the form translator: combo boxes
// and list boxes ("Items.Strings"), radio groups (a group box whose radio
// buttons share a QButtonGroup: "Items.Strings", in the order the buttons
// were added) and the tab captions of page controls ("Tabs.Strings", hidden
// tabs included). Texts are replaced in place; the selection stays and no
// change handler runs for it.

namespace rpu {

// Adds the handlers to the program's registry; safe to call more than once.
void RegisterWidgetListHandlers();

} // namespace rpu
