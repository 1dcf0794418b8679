#pragma once

#include <QIcon>
#include <QImage>

// The start-up and main window pictures, drawn in code at their design sizes.
namespace artwork {
QImage splashPicture(); // 677 x 537: swirling blue and green bands, yellow strokes, grey ground
QImage mainBackdrop();  // 697 x 399: light grey, pastel strokes along the left, right and bottom
QIcon mainIcon();       // 32 and 16 pixels: a figure on a snowy slope, blue sky, yellow sun
} // namespace artwork
