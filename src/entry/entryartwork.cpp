#include "entry/entryartwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace entryartwork {

namespace {
// An image of `size` at `dpr` with the painter in the coordinates of a
// `design`-sized picture stretched over it.
QImage canvas(QSize design, QSize size, qreal dpr, QPainter &p)
{
    QImage image((QSizeF(size) * dpr).toSize(), QImage::Format_RGB32);
    p.begin(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(dpr * size.width() / design.width(), dpr * size.height() / design.height());
    return image;
}
QPixmap finish(QImage &&image, qreal dpr)
{
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}
} // namespace

QPixmap recordsBackground(QSize size, qreal dpr)
{
    QPainter p;
    QImage image = canvas(QSize(677, 537), size, dpr, p);
    image.fill(QColor(192, 192, 192));
    // Broad sweeping bands from the left edge to the bottom right, each in
    // three strokes: blue, green, yellow.
    const QColor colours[] = {QColor(40, 90, 200), QColor(40, 160, 70), QColor(240, 210, 40)};
    for (int band = 0; band < 4; ++band) {
        for (int stroke = 0; stroke < 3; ++stroke) {
            const qreal offset = band * 130 + stroke * 22;
            QPainterPath path;
            path.moveTo(-40, 40 + offset);
            path.cubicTo(180, -60 + offset, 360, 260 + offset, 720, 60 + offset);
            QPen pen(colours[stroke], 12, Qt::SolidLine, Qt::RoundCap);
            p.setPen(pen);
            p.setOpacity(0.55);
            p.drawPath(path);
        }
    }
    p.end();
    return finish(std::move(image), dpr);
}

namespace {

QPixmap sunset(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.fillRect(QRectF(0, 0, 32, 20), QColor(255, 128, 0)); // evening sky
    p.fillRect(QRectF(0, 0, 32, 8), QColor(128, 0, 128));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(QRectF(9, 11, 14, 14));                 // the sun, half under the horizon
    p.fillRect(QRectF(0, 19, 32, 13), QColor(0, 0, 128)); // the sea
    p.setPen(QPen(QColor(255, 255, 0), 1));
    p.drawLine(QLineF(11, 22, 21, 22)); // its reflection
    p.drawLine(QLineF(13, 25, 19, 25));
    p.drawLine(QLineF(15, 28, 17, 28));
    return pixmap;
}

QPixmap island(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.fillRect(QRectF(0, 0, 32, 22), QColor(0, 255, 255)); // sky
    p.fillRect(QRectF(0, 22, 32, 10), QColor(0, 0, 255));  // sea
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(QRectF(22, 2, 8, 8));  // the sun
    p.drawEllipse(QRectF(4, 19, 20, 8)); // the sand
    p.setPen(QPen(QColor(128, 64, 0), 2));
    QPainterPath trunk;
    trunk.moveTo(14, 23);
    trunk.quadTo(12, 16, 15, 9);
    p.setBrush(Qt::NoBrush);
    p.drawPath(trunk);
    p.setPen(QPen(QColor(0, 128, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF(15, 9, 8, 11));
    p.drawLine(QLineF(15, 9, 22, 11));
    p.drawLine(QLineF(15, 9, 10, 5));
    p.drawLine(QLineF(15, 9, 20, 5));
    return pixmap;
}

} // namespace

QIcon recordsIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(sunset(size));
    return icon;
}

QPixmap foodBackground(QSize size, qreal dpr)
{
    QPainter p;
    QImage image = canvas(QSize(752, 464), size, dpr, p);
    QLinearGradient gradient(0, 0, 752, 464);
    gradient.setColorAt(0.0, QColor(0, 0, 128));
    gradient.setColorAt(1.0, QColor(255, 255, 255));
    p.fillRect(QRectF(0, 0, 752, 464), gradient);
    p.end();
    return finish(std::move(image), dpr);
}

QIcon foodIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(island(size));
    return icon;
}

} // namespace entryartwork
