#pragma once

#include "data/diarycolumns.h"
#include "data/itemlists.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The kinds of item and the columns of a day that hold them; what one item
// is, data/itemlists says.
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

// A day's texts split into items as the user's lists do.
using diary::cleanItem;
using diary::forEachItem;
using diary::itemKey;

// The items of `text` as a list.
QStringList splitItems(const QString &text);

} // namespace analysis
