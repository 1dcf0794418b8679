#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// Keeping windows where the user can reach them on small screens.
namespace vb {

// Where a window's outer rectangle goes on a screen's available area: its
// top-left corner, and with it the title bar, inside the area; all of it
// inside where the area is large enough to hold it. The size is kept.
QRect fitOnScreen(const QRect &outer, const QRect &available);

// How far a window's outer rectangle (its frame, title bar included) reaches
// beyond its client rectangle on each side; null before a window manager has
// framed the window, and always where there is none.
QMargins frameMargins(const QRect &outer, const QRect &client);
// The same for a top-level window, from its frame and client geometry.
QMargins frameMargins(const QWidget *window);
// The client size that an outer size leaves inside `frame` (with any band
// such as a menu bar added to it), at least a pixel each way.
QSize clientSizeWithin(const QSize &outer, const QMargins &frame);

// The height of a window manager's title bar in pixels: the window's own
// frame where the window manager has framed it, else the style's estimate.
int titleBarHeightPixels(const QWidget *window);

// Moves a top-level window that is about to be shown to the centre of the
// primary screen's available area, kept on it as fitOnScreen says. Before
// the window manager has framed the window its frame is estimated: a title
// bar above, no border.
void centreOnScreen(QWidget *window);

} // namespace vb
