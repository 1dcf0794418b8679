#include "app/placement.h"

#include <QLocale>

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

QRect resolve(const Stored &stored, const QSize &designOuter, const QList<QRect> &screens, const QRect &primary)
{
    auto value = [](const std::optional<QString> &text, double fallback) {
        if (!text)
            return fallback;
        return readTwips(*text).value_or(fallback);
    };
    const int left = int(std::lround(value(stored.left, kDefaultLeft)));
    const int top = int(std::lround(value(stored.top, kDefaultTop)));
    // A window narrower than its design hides "Show filters" where the user
    // cannot widen it, so a missing size takes the designed one.
    const int width = std::max(1, int(std::lround(value(stored.width, designOuter.width()))));
    const int height = std::max(1, int(std::lround(value(stored.height, designOuter.height()))));
    QRect rect(left, top, width, height);

    bool onScreen = screens.isEmpty();
    for (const QRect &screen : screens) {
        if (screen.intersects(rect)) {
            onScreen = true;
            break;
        }
    }
    if (!onScreen)
        rect.moveCenter(primary.center());
    return rect;
}

} // namespace placement
