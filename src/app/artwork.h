#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>

// The start-up and main window pictures, drawn in code. Each picture has its
// design size in pixels and is drawn stretched to `size` (device-independent
// pixels, the control it fills) at the device pixel ratio `dpr`, so it is
// sharp on dense screens and needs no scaling when painted.
namespace artwork {
constexpr QSize kSplashDesign(677, 537);   // swirling blue and green bands, yellow strokes, grey ground
constexpr QSize kBackdropDesign(697, 399); // light grey, pastel strokes along the left, right and bottom

// Only `visible` (within `size`; all of it when empty) is drawn: the splash
// frame shows the upper left part alone. The pixmap covers `visible`.
QPixmap splashPicture(QSize size, qreal dpr, QRect visible = QRect());
// Drawn once per size and ratio in a run; copies share it.
QPixmap mainBackdrop(QSize size, qreal dpr);
QIcon mainIcon(); // 16 to 64 pixels: a figure on a snowy slope, blue sky, yellow sun

// The drawing itself, with no window system needed: what the two above show
// where the build has not already drawn that size and ratio (the build draws
// the common one, 96 dots per inch at ratio 1, with mealwise-artwork).
QImage drawSplashPicture(QSize size, qreal dpr, QRect visible);
QImage drawMainBackdrop(QSize size, qreal dpr);
} // namespace artwork
