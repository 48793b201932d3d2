#pragma once
// Keyboard actions on controls that have no such signal of their own.

#include <functional>

class QWidget;

namespace rpu {

// Runs action when Enter or Return is pressed while widget has the focus;
// the key goes no further.
void CallOnEnter(QWidget *widget, std::function<void()> action);

} // namespace rpu
