#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The fixed item lists that the daily record window's drop-down lists offer.
namespace diary {
const QStringList &numberItems();     // "1" .. "10"
const QStringList &beverageItems();   // 13 drinks
const QStringList &medicationItems(); // 14 medications

// What counts as one food, drink or medication in a day's texts and in the
// user's four lists. A field splits at line breaks, commas and semicolons;
// each piece is trimmed and loses a leading dose ("2*", "2 * ", "2 x "),
// since the dose is not the item; digits that are part of a name ("5-HT4
// ANTAGONIST") stay. Empty pieces are dropped. Nothing else splits: "TOAST
// AND JAM" is one food. Calls `take(item)` for each item of `text`.
template <typename F> void forEachItem(const QString &text, F &&take);

// Two items are one when equal without regard to letter case, as the column
// filters group values.
inline QString itemKey(const QString &item)
{
    return item.toCaseFolded();
}

// One piece of a field, trimmed and without its dose; empty when nothing is left.
QString cleanItem(QStringView piece);

// The user's four lists (adequate and irritating foods, reliable and
// unsatisfactory medications) are the columns of the diary's one food and
// medication row, an item a line, each at most this long.
inline constexpr qsizetype kListCapacity = 255;

enum class ListAddition {
    Added,
    Already, // an item of the list is the item already
    TooLong, // the list would no longer fit its column
    NoList,  // the diary has no food and medication row
    Failed,  // the diary could not be read or written: see `error`
};

struct ListWithItem
{
    ListAddition outcome;
    QString text; // the list with the item; when not Added, as it was
};
// `list` with `item` on a line of its own at its end.
ListWithItem listWithItem(const QString &list, const QString &item);

struct ListWrite
{
    ListAddition outcome;
    QString error; // for Failed, in words for the user
};
// Adds `item` to the list in column `field` of the diary at `path`.
ListWrite addToList(const QString &path, const QString &field, const QString &item);

template <typename F> void forEachItem(const QString &text, F &&take)
{
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n) {
            const QChar c = text.at(i);
            if (c != QLatin1Char('\n') && c != QLatin1Char('\r') && c != QLatin1Char(',') && c != QLatin1Char(';'))
                continue;
        }
        if (i > start) {
            const QString item = cleanItem(QStringView(text).mid(start, i - start));
            if (!item.isEmpty())
                take(item);
        }
        start = i + 1;
    }
}

} // namespace diary
