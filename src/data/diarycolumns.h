#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstddef>

// The columns of `records`, once: each one's name as stored, what it holds and
// where the overview grid shows it. Every list of columns the windows, the
// keeping, the insights and the conversion use is taken from this table.
namespace diary {

// What a column holds. The kinds are in the order the report and the insights
// take their fields in: the day, its meals, snacks, beverages and medications,
// the comments; the key last, since neither shows it.
enum class ColumnKind { Date, Score, Count, Meal, Snack, Beverage, Medication, Comments, Key };

// What the insights count an item of a column as.
enum class ItemKind { Food = 0, Drink = 1, Medication = 2 };
inline constexpr int kItemKindCount = 3;

constexpr bool holdsItems(ColumnKind kind)
{
    return kind == ColumnKind::Meal || kind == ColumnKind::Snack || kind == ColumnKind::Beverage ||
           kind == ColumnKind::Medication;
}

// A meal's or a snack's items are foods.
constexpr ItemKind itemKindOf(ColumnKind kind)
{
    if (kind == ColumnKind::Beverage)
        return ItemKind::Drink;
    if (kind == ColumnKind::Medication)
        return ItemKind::Medication;
    return ItemKind::Food;
}

struct DiaryColumn
{
    const char *name; // as stored
    ColumnKind kind;
    int gridPlace; // from 0 in `Diary Query`: the grid shows the view's columns in its order, by meal
};

// In the order of `records` as a new diary has it. That order is what the
// daily record window's select gives the row set, and what the export writes.
// clang-format off
inline constexpr DiaryColumn kDiaryColumns[] = {
    {"BEVERAGE1", ColumnKind::Beverage, 4},
    {"BEVERAGE2", ColumnKind::Beverage, 10},
    {"BEVERAGE3", ColumnKind::Beverage, 16},
    {"BEVERAGE4", ColumnKind::Beverage, 21},
    {"BMs", ColumnKind::Count, 2},
    {"BREAKFAST", ColumnKind::Meal, 3},
    {"COMMENTS", ColumnKind::Comments, 23},
    {"DATE", ColumnKind::Date, 0},
    {"ID", ColumnKind::Key, 24},
    {"LUNCH", ColumnKind::Meal, 9},
    {"MEDICATION1", ColumnKind::Medication, 5},
    {"MEDICATION2", ColumnKind::Medication, 11},
    {"MEDICATION3", ColumnKind::Medication, 17},
    {"OVERALL SCORE", ColumnKind::Score, 1},
    {"SNACK1", ColumnKind::Snack, 8},
    {"SNACK2", ColumnKind::Snack, 14},
    {"SNACK3", ColumnKind::Snack, 20},
    {"SNACK4", ColumnKind::Snack, 22},
    {"TEA", ColumnKind::Meal, 15},
    {"MEDICATION4", ColumnKind::Medication, 6},
    {"MEDICATION5", ColumnKind::Medication, 7},
    {"MEDICATION6", ColumnKind::Medication, 12},
    {"MEDICATION7", ColumnKind::Medication, 13},
    {"MEDICATION8", ColumnKind::Medication, 18},
    {"MEDICATION9", ColumnKind::Medication, 19},
};
// clang-format on
inline constexpr int kColumnCount = int(std::size(kDiaryColumns));

inline constexpr int kItemColumnCount = [] {
    int n = 0;
    for (const DiaryColumn &c : kDiaryColumns)
        n += holdsItems(c.kind) ? 1 : 0;
    return n;
}();

// The item columns as indexes into kDiaryColumns, by kind, each kind in the
// table's order: BREAKFAST, LUNCH, TEA, SNACK1..4, BEVERAGE1..4,
// MEDICATION1..9. The insights number their fields so, and list them so.
inline constexpr std::array<int, kItemColumnCount> kItemColumns = [] {
    std::array<int, kItemColumnCount> out{};
    std::size_t n = 0;
    for (const ColumnKind kind : {ColumnKind::Meal, ColumnKind::Snack, ColumnKind::Beverage, ColumnKind::Medication}) {
        for (int i = 0; i < kColumnCount; ++i) {
            if (kDiaryColumns[i].kind == kind)
                out[n++] = i;
        }
    }
    return out;
}();

// The column named `name` exactly; null for another name.
const DiaryColumn *findColumn(QStringView name);

// A name as SQL takes it: bracketed where it is more than one word.
QString sqlName(const char *name);

// The names of the columns of `kind`, in the table's order (SNACK1 to SNACK4).
QStringList columnNamesOf(ColumnKind kind);

// The item columns in kItemColumns' order.
const QStringList &itemFieldNames();

// What "New day like this one" takes from the day it starts from: its meals,
// snacks, beverages and medications; the day gets today's date and a score,
// count and comments of its own.
const QStringList &copiedFieldNames();

// What the report reads of a day: all but the key, by kind (the day, the
// items in kItemColumns' order, the comments).
const QStringList &reportFieldNames();

} // namespace diary
