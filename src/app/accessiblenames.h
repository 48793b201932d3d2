#pragma once
// Names that screen readers read for the window's inputs.

class QWidget;

namespace rpu {

// An input with no buddy label and no name of its own, lying in a captioned
// group box, is named by the group's caption (without mnemonic and colon).
// Run again after a language change: names given here follow the captions.
void NameInputsByGroups(QWidget *root);

} // namespace rpu
