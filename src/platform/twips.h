#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Screen lengths in twips (1/1440 inch), as the windows' designs give them.
namespace vb {

// Nearest whole number, a half going to the even neighbour.
int roundHalfEven(double value);

// Twips per device-independent pixel at a logical DPI: 1440 / dpi (96 gives
// 15). High-density scaling keeps the logical DPI, so a twip stays the same
// number of device-independent pixels at any device pixel ratio.
double twipsPerPixelAt(double logicalDpi);
// The same at the primary screen's logical DPI, across and down.
double twipsPerPixelX();
double twipsPerPixelY();

int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
int pixelsToTwipsX(double pixels);
int pixelsToTwipsY(double pixels);

// A design rectangle (left, top, width, height in twips) in pixels.
QRect twipsRect(int left, int top, int width, int height);
QSize twipsSize(int width, int height);

// The system's width of a vertical scroll bar, in pixels (SM_CXVSCROLL).
int verticalScrollBarWidthPixels();

} // namespace vb
