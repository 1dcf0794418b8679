#include "entry/entryartwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace entryartwork {

QImage recordsBackground()
{
    QImage image(677, 537, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
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
    return image;
}

namespace {

QPixmap sunset(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.fillRect(QRectF(0, 0, 32, 20), QColor(255, 128, 0));   // evening sky
    p.fillRect(QRectF(0, 0, 32, 8), QColor(128, 0, 128));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(QRectF(9, 11, 14, 14)); // the sun, half under the horizon
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
    p.fillRect(QRectF(0, 0, 32, 22), QColor(0, 255, 255));  // sky
    p.fillRect(QRectF(0, 22, 32, 10), QColor(0, 0, 255));   // sea
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(QRectF(22, 2, 8, 8)); // the sun
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
    icon.addPixmap(sunset(32));
    icon.addPixmap(sunset(16));
    return icon;
}

QImage foodBackground()
{
    QImage image(752, 464, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 752, 464);
    gradient.setColorAt(0.0, QColor(0, 0, 128));
    gradient.setColorAt(1.0, QColor(255, 255, 255));
    p.fillRect(image.rect(), gradient);
    return image;
}

QIcon foodIcon()
{
    QIcon icon;
    icon.addPixmap(island(32));
    icon.addPixmap(island(16));
    return icon;
}

} // namespace entryartwork
