#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

// The main window's stored placement: four texts holding twips, each read
// with the user's number format, falling back to the default of its key when
// it is missing or does not read as a number.
namespace placement {

inline constexpr char kSection[] = "Settings";
inline constexpr char kLeft[] = "MainLeft";
inline constexpr char kTop[] = "MainTop";
inline constexpr char kWidth[] = "MainWidth";
inline constexpr char kHeight[] = "MainHeight";
inline constexpr int kDefaultLeft = 1000;
inline constexpr int kDefaultTop = 1000;

// A number of twips from a stored text: the user's number format first, then
// the C format; nothing for text that is not a finite number in range.
std::optional<double> readTwips(const QString &text);
// How a value is written: a whole number of twips in the user's number format.
QString writeTwips(int twips);

struct Stored
{
    std::optional<QString> left, top, width, height; // nullopt: the key is missing
};

// An outer rectangle in twips, rounded half to even. `designOuter` is the
// outer size that gives the window its designed client area, used when a size
// key is missing, unreadable, or 0 or less; a size larger than the whole
// desktop (the screens together) is cut to it. The window stays where it was
// stored when a usable part of it, `usable` across and down (100 pixels and a
// title bar's height), lies on one of `screens` (available areas in twips);
// otherwise it is centred on `primary`. Either way it is then kept on that
// screen as vb::fitOnScreen says.
QRect resolve(const Stored &stored, const QSize &designOuter, const QList<QRect> &screens, const QRect &primary,
              const QSize &usable = QSize(1, 1));

} // namespace placement
