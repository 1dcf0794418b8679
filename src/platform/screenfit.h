#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Keeping windows where the user can reach them on small screens.
namespace vb {

// Where a window's outer rectangle goes on a screen's available area: its
// top-left corner, and with it the title bar, inside the area; all of it
// inside where the area is large enough to hold it. The size is kept.
QRect fitOnScreen(const QRect &outer, const QRect &available);

// The height of a window manager's title bar in pixels: the window's own
// frame where the window manager has framed it, else the style's estimate.
int titleBarHeightPixels(const QWidget *window);

// Moves a top-level window that is about to be shown to the centre of the
// primary screen's available area, kept on it as fitOnScreen says. Before
// the window manager has framed the window its frame is estimated: a title
// bar above, no border.
void centreOnScreen(QWidget *window);

} // namespace vb
