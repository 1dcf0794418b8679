#include "platform/twips.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include <cmath>

namespace vb {

int roundHalfEven(double value)
{
    return int(std::nearbyint(value)); // the default rounding mode is to even
}

namespace {
double dpiX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}
double dpiY()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}
} // namespace

double twipsPerPixelAt(double logicalDpi)
{
    return 1440.0 / logicalDpi;
}
double twipsPerPixelX()
{
    return twipsPerPixelAt(dpiX());
}
double twipsPerPixelY()
{
    return twipsPerPixelAt(dpiY());
}

int twipsToPixelsX(double twips)
{
    return roundHalfEven(twips / twipsPerPixelX());
}
int twipsToPixelsY(double twips)
{
    return roundHalfEven(twips / twipsPerPixelY());
}
int pixelsToTwipsX(double pixels)
{
    return roundHalfEven(pixels * twipsPerPixelX());
}
int pixelsToTwipsY(double pixels)
{
    return roundHalfEven(pixels * twipsPerPixelY());
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height));
}

QSize twipsSize(int width, int height)
{
    return QSize(twipsToPixelsX(width), twipsToPixelsY(height));
}

int verticalScrollBarWidthPixels()
{
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

} // namespace vb
