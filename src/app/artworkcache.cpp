// The pictures as the windows take them: drawn by the build where it could
// (the common size and ratio; see mealwise-artwork), else drawn now.
#include "app/artwork.h"

#include <QPainter>

#include <cmath>

namespace artworkcache {
// Written by mealwise-artwork at build time: RGB32 pixels and what they show.
struct Picture
{
    const unsigned char *pixels;
    int width, height;          // device pixels
    int sizeW, sizeH;           // the control, device-independent pixels
    int visX, visY, visW, visH; // the part drawn
};
extern const Picture splash;
extern const Picture backdrop;
} // namespace artworkcache

namespace artwork {

namespace {
QPixmap fromBuild(const artworkcache::Picture &p, QSize size, qreal dpr, QRect visible)
{
    if (dpr != 1.0 || size != QSize(p.sizeW, p.sizeH) || visible != QRect(p.visX, p.visY, p.visW, p.visH))
        return {};
    // The pixels stay where the build put them; the pixmap takes a copy.
    const QImage image(p.pixels, p.width, p.height, p.width * 4, QImage::Format_RGB32);
    return QPixmap::fromImage(image);
}
QPixmap toPixmap(QImage &&image)
{
    const qreal dpr = image.devicePixelRatio();
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}
} // namespace

QPixmap splashPicture(QSize size, qreal dpr, QRect visible)
{
    if (visible.isEmpty())
        visible = QRect(QPoint(0, 0), size);
    QPixmap built = fromBuild(artworkcache::splash, size, dpr, visible);
    return built.isNull() ? toPixmap(drawSplashPicture(size, dpr, visible)) : built;
}

QPixmap mainBackdrop(QSize size, qreal dpr)
{
    static QSize drawnSize;
    static qreal drawnDpr = 0;
    static QPixmap drawn;
    if (!drawn.isNull() && drawnSize == size && drawnDpr == dpr)
        return drawn;
    const QRect all(QPoint(0, 0), size);
    drawn = fromBuild(artworkcache::backdrop, size, dpr, all);
    if (drawn.isNull())
        drawn = toPixmap(drawMainBackdrop(size, dpr));
    drawnSize = size;
    drawnDpr = dpr;
    return drawn;
}

namespace {
QPixmap iconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(QColor(0, 0, 255));
    QPainter p(&image);
    const double s = size / 32.0;
    p.fillRect(QRectF(0, 0, size, size), QColor(0, 0, 255));
    p.setBrush(QColor(255, 255, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24 * s, 7 * s), 4.5 * s, 4.5 * s);
    QPolygonF slope;
    slope << QPointF(0, 14 * s) << QPointF(size, 30 * s) << QPointF(size, size) << QPointF(0, size);
    p.setBrush(QColor(255, 255, 255));
    p.drawPolygon(slope);
    p.setPen(QPen(QColor(0, 0, 0), std::max(1.0, 1.5 * s)));
    p.setBrush(QColor(255, 0, 0));
    p.drawEllipse(QPointF(12 * s, 13 * s), 2 * s, 2 * s);
    p.drawLine(QPointF(12 * s, 15 * s), QPointF(14 * s, 21 * s));
    p.drawLine(QPointF(14 * s, 21 * s), QPointF(11 * s, 25 * s));
    p.drawLine(QPointF(14 * s, 21 * s), QPointF(17 * s, 24 * s));
    p.drawLine(QPointF(7 * s, 22 * s), QPointF(21 * s, 27 * s));
    return QPixmap::fromImage(image);
}
} // namespace

QIcon mainIcon()
{
    // The design's 32 and 16 pixels, and their doubles and 1.5-fold for
    // dense screens, each drawn at its own size rather than scaled.
    static const QIcon icon = [] {
        QIcon drawn;
        for (int size : {16, 24, 32, 48, 64})
            drawn.addPixmap(iconImage(size));
        return drawn;
    }();
    return icon;
}

} // namespace artwork
