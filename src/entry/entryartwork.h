#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The entry windows' pictures, drawn in code. A background is drawn from its
// design size in pixels stretched to `size` (device-independent pixels, the
// control it fills) at the device pixel ratio `dpr`: sharp on dense screens,
// and painted without scaling.
namespace entryartwork {
QPixmap recordsBackground(QSize size, qreal dpr); // design 677 x 537: curved blue, green and yellow stripes on grey
QIcon recordsIcon();                              // 16 to 64 pixels: a sun setting over the sea
QPixmap foodBackground(QSize size, qreal dpr);    // design 752 x 464: deep blue at the top left shading to white
QIcon foodIcon();                                 // 16 to 64 pixels: an island with a palm tree under the sun
} // namespace entryartwork
