#pragma once

#include <QIcon>
#include <QImage>

// The entry windows' pictures, drawn in code at their design sizes.
namespace entryartwork {
QImage recordsBackground(); // 677 x 537: curved blue, green and yellow stripes on a grey ground
QIcon recordsIcon();        // 32 and 16 pixels: a sun setting over the sea
QImage foodBackground();    // 752 x 464: deep blue at the top left shading to white at the bottom right
QIcon foodIcon();           // 32 and 16 pixels: an island with a palm tree under the sun
} // namespace entryartwork
