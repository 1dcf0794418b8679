#include "app/artwork.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace artwork {

namespace {
// A canvas of `visible` device-independent pixels at `dpr`, with the
// painter in design coordinates of a picture stretched over `size`.
struct Canvas
{
    QImage image;
    QRectF designVisible; // the part of the design that shows

    Canvas(QSize design, QSize size, qreal dpr, QRect visible, const QColor &ground)
    {
        if (visible.isEmpty())
            visible = QRect(QPoint(0, 0), size);
        image = QImage((QSizeF(visible.size()) * dpr).toSize(), QImage::Format_RGB32);
        image.fill(ground);
        const qreal sx = qreal(size.width()) / design.width();
        const qreal sy = qreal(size.height()) / design.height();
        designVisible = QRectF(visible.x() / sx, visible.y() / sy, visible.width() / sx, visible.height() / sy);
        m_transform.scale(dpr, dpr);
        m_transform.translate(-visible.x(), -visible.y());
        m_transform.scale(sx, sy);
    }
    void begin(QPainter &p) const
    {
        p.begin(const_cast<QImage *>(&image));
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(m_transform);
    }
    QImage finish(qreal dpr)
    {
        image.setDevicePixelRatio(dpr);
        return std::move(image);
    }

private:
    QTransform m_transform;
};
} // namespace

QImage drawSplashPicture(QSize size, qreal dpr, QRect visible)
{
    Canvas canvas(kSplashDesign, size, dpr, visible, QColor(128, 128, 128));
    const QRectF shown = canvas.designVisible.adjusted(-20, -20, 20, 20); // pens reach this far
    QPainter p;
    canvas.begin(p);
    const QColor bands[] = {QColor(30, 80, 200), QColor(40, 160, 90), QColor(60, 120, 220), QColor(20, 130, 60)};
    for (int i = 0; i < 14; ++i) {
        const double base = 40 + i * 38;
        // A band swings at most 65 pixels about its base line.
        if (base - 65 > shown.bottom() || base + 65 < shown.top())
            continue;
        QPainterPath path;
        const double phase = i * 0.45;
        path.moveTo(-20, base);
        for (int x = 0; x <= 700 && x - 10 <= shown.right(); x += 10)
            path.lineTo(x, base + 45 * std::sin(x / 90.0 + phase) + 20 * std::cos(x / 37.0 + i));
        p.setPen(QPen(bands[i % 4], 16, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(path);
    }
    p.setPen(QPen(QColor(240, 220, 40), 4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 9; ++i) {
        if (std::min({30 + i * 70, 80 + i * 60, 10 + i * 75, 90 + i * 66}) > shown.right())
            continue;
        QPainterPath path;
        path.moveTo(30 + i * 70, 500);
        path.cubicTo(80 + i * 60, 380, 10 + i * 75, 200, 90 + i * 66, 30);
        p.drawPath(path);
    }
    p.end();
    return canvas.finish(dpr);
}

QImage drawMainBackdrop(QSize size, qreal dpr)
{
    Canvas canvas(kBackdropDesign, size, dpr, QRect(), QColor(226, 226, 226));
    QPainter p;
    canvas.begin(p);
    const QColor pastels[] = {QColor(255, 246, 170), QColor(255, 200, 220), QColor(215, 195, 240)};
    for (int i = 0; i < 12; ++i) {
        p.setPen(QPen(pastels[i % 3], 6, Qt::SolidLine, Qt::RoundCap));
        QPainterPath left;
        left.moveTo(4 + i * 3, 10 + i * 8);
        left.cubicTo(30 + i * 2, 120, -10 + i * 4, 260, 20 + i * 3, 390);
        p.drawPath(left);
        QPainterPath right;
        right.moveTo(692 - i * 3, 10 + i * 8);
        right.cubicTo(660 - i * 2, 140, 700 - i * 4, 250, 670 - i * 3, 390);
        p.drawPath(right);
        QPainterPath bottom;
        bottom.moveTo(10, 392 - i * 3);
        bottom.cubicTo(220, 360 - i * 2, 470, 400 - i * 3, 690, 370 - i * 2);
        p.drawPath(bottom);
    }
    p.end();
    return canvas.finish(dpr);
}

} // namespace artwork
