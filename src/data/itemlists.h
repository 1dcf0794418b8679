#pragma once

#include <QStringList>

// The fixed item lists that the daily record window's drop-down lists offer.
namespace diary {
const QStringList &numberItems();     // "1" .. "10"
const QStringList &beverageItems();   // 13 drinks
const QStringList &medicationItems(); // 14 medications
} // namespace diary
