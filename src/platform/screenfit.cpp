#include "platform/screenfit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace vb {

QRect fitOnScreen(const QRect &outer, const QRect &available)
{
    if (available.isEmpty())
        return outer;
    QRect r = outer;
    // Where it does not fit, the far edge gives way, never the title bar.
    const int maxLeft = available.left() + available.width() - r.width();
    const int maxTop = available.top() + available.height() - r.height();
    r.moveLeft(std::max(available.left(), std::min(r.left(), maxLeft)));
    r.moveTop(std::max(available.top(), std::min(r.top(), maxTop)));
    return r;
}

QMargins frameMargins(const QRect &outer, const QRect &client)
{
    return QMargins(client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
                    outer.bottom() - client.bottom());
}

QMargins frameMargins(const QWidget *window)
{
    return frameMargins(window->frameGeometry(), window->geometry());
}

QSize clientSizeWithin(const QSize &outer, const QMargins &frame)
{
    return QSize(std::max(1, outer.width() - frame.left() - frame.right()),
                 std::max(1, outer.height() - frame.top() - frame.bottom()));
}

int titleBarHeightPixels(const QWidget *window)
{
    if (window) {
        const int top = frameMargins(window).top();
        if (top > 0)
            return top;
    }
    return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!window || !screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect outer = window->frameGeometry();
    if (frameMargins(window).isNull() && !(window->windowFlags() & Qt::FramelessWindowHint))
        outer.setHeight(outer.height() + titleBarHeightPixels(window));
    outer.moveCenter(area.center());
    // A top-level window's position is that of its frame.
    window->move(fitOnScreen(outer, area).topLeft());
}

} // namespace vb
