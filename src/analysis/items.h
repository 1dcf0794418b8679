#pragma once

#include "data/diarycolumns.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// What counts as one food, drink or medication in a day's texts.
namespace analysis {

// The diary's own kinds of item (data/diarycolumns.h).
using Kind = diary::ItemKind;
inline constexpr int kKindCount = diary::kItemKindCount;

// "food", "drink", "medication": the names the command line uses.
QString kindName(Kind kind);

// The columns of `records` that hold items, in the catalogue's fixed order:
// the meals, the snacks, the beverages, the medications. Field numbers below
// index it.
inline constexpr int kItemFieldCount = diary::kItemColumnCount;
const std::array<QString, kItemFieldCount> &itemFields();
Kind kindOfField(int field);

// A field splits at line breaks, commas and semicolons; each piece is trimmed
// and loses a leading dose ("2*", "2 * ", "2 x "), since the dose is not the
// item; digits that are part of a name ("5-HT4 ANTAGONIST") stay. Empty pieces
// are dropped. Nothing else splits: "TOAST AND JAM" is one food.
QStringList splitItems(const QString &text);
// Calls `take(item)` for each item of `text`, without building a list.
template <typename F> void forEachItem(const QString &text, F &&take);

// Two items are one when equal without regard to letter case, as the column
// filters group values.
inline QString itemKey(const QString &item)
{
    return item.toCaseFolded();
}

// One piece of a field, trimmed and without its dose; empty when nothing is left.
QString cleanItem(QStringView piece);

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

} // namespace analysis
