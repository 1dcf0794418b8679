#include "app/placement.h"

#include "platform/screenfit.h"
#include "platform/twips.h"

#include <QLocale>

#include <algorithm>

#include <cmath>
#include <limits>

namespace placement {

std::optional<double> readTwips(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    float value = QLocale().toFloat(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toFloat(trimmed, &ok);
    // Beyond this a window edge means nothing on any screen, and converting
    // it to a whole number would overflow.
    constexpr double kLimit = 1.0e8;
    if (!ok || !std::isfinite(value) || std::fabs(value) > kLimit)
        return std::nullopt;
    return double(value);
}

QString writeTwips(int twips)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(twips);
}

QRect resolve(const Stored &stored, const QSize &designOuter, const QList<QRect> &screens, const QRect &primary,
              const QSize &usable)
{
    auto value = [](const std::optional<QString> &text, double fallback) {
        if (!text)
            return fallback;
        return readTwips(*text).value_or(fallback);
    };
    const int left = vb::roundHalfEven(value(stored.left, kDefaultLeft));
    const int top = vb::roundHalfEven(value(stored.top, kDefaultTop));
    // A missing size takes the designed one, since a window narrower than its
    // design hides "Show filters" where the user cannot widen it; a size of
    // nothing or less makes no usable window and is taken as missing.
    auto size = [&](const std::optional<QString> &text, int fallback) {
        const int v = vb::roundHalfEven(value(text, fallback));
        return v > 0 ? v : fallback;
    };
    int width = size(stored.width, designOuter.width());
    int height = size(stored.height, designOuter.height());
    QRect desktop;
    for (const QRect &screen : screens)
        desktop |= screen;
    if (!desktop.isEmpty()) {
        width = std::min(width, desktop.width());
        height = std::min(height, desktop.height());
    }
    QRect rect(left, top, width, height);
    if (screens.isEmpty())
        return rect;

    // The screen that shows most of a usable part of it.
    const QRect *home = nullptr;
    qint64 best = 0;
    for (const QRect &screen : screens) {
        const QRect part = screen & rect;
        const qint64 area = qint64(part.width()) * part.height();
        if (part.width() >= usable.width() && part.height() >= usable.height() && area > best) {
            best = area;
            home = &screen;
        }
    }
    if (!home) {
        rect.moveCenter(primary.center());
        return vb::fitOnScreen(rect, primary);
    }
    return vb::fitOnScreen(rect, *home);
}

} // namespace placement
