#pragma once

#include "data/itemlists.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The kinds of item and the columns of a day that hold them; what one item
// is, data/itemlists says.
namespace analysis {

enum class Kind { Food = 0, Drink = 1, Medication = 2 };
inline constexpr int kKindCount = 3;

// "food", "drink", "medication": the names the command line uses.
QString kindName(Kind kind);

// The columns of `records` that hold items, in this fixed order: the meals,
// the snacks, the beverages, the medications. Field numbers below index it.
inline constexpr int kItemFieldCount = 20;
const std::array<QString, kItemFieldCount> &itemFields();
Kind kindOfField(int field);

// A day's texts split into items as the user's lists do.
using diary::cleanItem;
using diary::forEachItem;
using diary::itemKey;

// The items of `text` as a list.
QStringList splitItems(const QString &text);

} // namespace analysis
