#include "data/sampledays.h"

#include "data/diarycolumns.h"
#include "data/itemlists.h"

#include <QDate>

#include <algorithm>

namespace diary {

namespace {
const QStringList &breakfasts()
{
    static const QStringList items{
        QStringLiteral("PORRIDGE"),
        QStringLiteral("TOAST AND JAM"),
        QStringLiteral("CORNFLAKES"),
        QStringLiteral("BACON AND EGGS"),
        QStringLiteral("MUESLI WITH YOGHURT"),
        QStringLiteral("rice"),
        QStringLiteral("FRUIT SALAD"),
        QStringLiteral("CROISSANT"),
        QStringLiteral("PANCAKES\nMAPLE SYRUP"),
    };
    return items;
}
const QStringList &meals()
{
    static const QStringList items{
        QStringLiteral("HAM SANDWICH"),    QStringLiteral("CHICKEN SALAD"),
        QStringLiteral("PASTA BOLOGNESE"), QStringLiteral("RICE"),
        QStringLiteral("FISH AND CHIPS"),  QStringLiteral("VEGETABLE SOUP"),
        QStringLiteral("STEAK AND SALAD"), QStringLiteral("CURRY AND RICE"),
        QStringLiteral("PIZZA"),           QStringLiteral("LAMB ROAST\nPEAS AND POTATOES"),
        QStringLiteral("STIR FRY"),        QStringLiteral("MEAT PIE"),
    };
    return items;
}
const QStringList &snacks()
{
    static const QStringList items{
        QStringLiteral("APPLE"),    QStringLiteral("BANANA"), QStringLiteral("CHOCOLATE"), QStringLiteral("NUTS"),
        QStringLiteral("BISCUITS"), QStringLiteral("CHIPS"),  QStringLiteral("YOGHURT"),   QStringLiteral("CHEESE"),
    };
    return items;
}
const QStringList &comments()
{
    static const QStringList items{
        QStringLiteral("FELT GOOD"),   QStringLiteral("BLOATED IN THE EVENING"), QStringLiteral("CRAMPS AFTER LUNCH"),
        QStringLiteral("SLEPT BADLY"), QStringLiteral("STRESSFUL DAY AT WORK"),  QStringLiteral("NO PROBLEMS"),
    };
    return items;
}
// A few items that really do go with a worse next day, so that a new user
// trying the insights sees what they are for. Whether a day holds one is a
// function of its date alone, so the day after knows without any state.
struct Planted
{
    const char *column;
    const char *item;
    quint32 every; // about one day in this many
    quint32 salt;
};
const Planted kPlanted[] = {
    {"SNACK4", "CHILLI CHIPS", 9, 0x9e3779b9u},
    {"BEVERAGE4", "ENERGY DRINK", 11, 0x85ebca6bu},
    {"MEDICATION9", "IBUPROFEN", 13, 0xc2b2ae35u},
};
bool holdsPlanted(const Planted &p, const QDate &date)
{
    quint32 h = quint32(date.toJulianDay()) * 2654435761u ^ p.salt;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    return h % p.every == 0;
}
} // namespace

QString SampleDays::pick(const QStringList &items)
{
    return items.at(int(m_random.bounded(quint32(items.size()))));
}

SampleDay SampleDays::day(int daysAgo)
{
    SampleDay d;
    for (const DiaryColumn &c : kDiaryColumns) {
        if (c.kind != ColumnKind::Key)
            d.insert(QLatin1String(c.name), QVariant());
    }

    // A million days reach back beyond the year 1, which no yyyy-MM-dd text
    // can hold, and SQLite's own calendar slips on some early days (it takes
    // 0300-03-01 for another day): sample days go back to 1900 at most, and
    // past that start again the day before today.
    const qint64 span = QDate(1900, 1, 1).daysTo(m_today);
    const qint64 back = span > 0 && daysAgo > 0 ? 1 + (qint64(daysAgo) - 1) % span : daysAgo;
    d[QStringLiteral("DATE")] = m_today.addDays(-back).toString(Qt::ISODate);
    // A day now and then is left unscored, as real diaries have them.
    if (m_random.bounded(40u) != 0)
        d[QStringLiteral("OVERALL SCORE")] = int(1 + m_random.bounded(10u));
    d[QStringLiteral("BMs")] = int(m_random.bounded(6u));
    // Breakfast is skipped now and then, as in real diaries.
    if (m_random.bounded(12u) != 0)
        d[QStringLiteral("BREAKFAST")] = pick(breakfasts());
    d[QStringLiteral("LUNCH")] = pick(meals());
    d[QStringLiteral("TEA")] = pick(meals());
    static const QStringList beverageColumns = columnNamesOf(ColumnKind::Beverage);
    static const QStringList medicationColumns = columnNamesOf(ColumnKind::Medication);
    static const QStringList snackColumns = columnNamesOf(ColumnKind::Snack);
    for (qsizetype i = 0; i < beverageColumns.size(); ++i) {
        // Each meal has its drink; the extras' (the fourth) now and then.
        if (i < 3 || m_random.bounded(3u) == 0)
            d[beverageColumns[i]] = pick(beverageItems());
    }
    for (qsizetype i = 0; i < medicationColumns.size(); ++i) {
        // The first medication of each meal is common, the further ones rare.
        if (m_random.bounded(i < 3 ? 2u : 8u) == 0)
            d[medicationColumns[i]] = pick(medicationItems());
    }
    for (const QString &c : snackColumns) {
        if (m_random.bounded(2u) == 0)
            d[c] = pick(snacks());
    }
    if (m_random.bounded(3u) == 0)
        d[QStringLiteral("COMMENTS")] = pick(comments());
    const QDate date = m_today.addDays(-daysAgo);
    for (const Planted &p : kPlanted) {
        // Beside what the field already holds: the snack or drink drawn for
        // the day stays, so no innocent item loses days to the planted one.
        if (holdsPlanted(p, date)) {
            const QString column = QLatin1String(p.column);
            const QString held = d.value(column).toString();
            d[column] =
                held.isEmpty() ? QString(QLatin1String(p.item)) : held + QStringLiteral(", ") + QLatin1String(p.item);
        }
        if (holdsPlanted(p, date.addDays(-1)) && !d.value(QStringLiteral("OVERALL SCORE")).isNull())
            d[QStringLiteral("OVERALL SCORE")] = std::max(1, d.value(QStringLiteral("OVERALL SCORE")).toInt() - 4);
    }
    return d;
}

} // namespace diary
