#pragma once
// The window on a screen smaller than itself: it keeps its designed size
// where that fits, else it shrinks to the screen and its content scrolls,
// with the status bar kept at its bottom edge.

#include <QMargins>
#include <QRect>
#include <QSize>

namespace rpu {

// The client size for a screen's available area and the window frame the
// system draws around it: the designed size, cut down to what fits. A side
// that is cut gets a scroll bar (scrollBarExtent wide), which the other side
// makes room for where the screen allows.
QSize FitClientSize(QSize designed, const QRect &available, const QMargins &frame,
                    int scrollBarExtent = 0);

// Where a client rectangle of that size goes: centred on the available
// area, its frame kept inside it.
QRect PlaceClient(QSize client, const QRect &available, const QMargins &frame);

// The frame around the window where it is not known yet (before it is
// shown, or not reported): a title bar and thin borders, or none on the
// platforms that draw no frames (offscreen, minimal).
QMargins GuessedFrame();

} // namespace rpu
