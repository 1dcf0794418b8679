#pragma once

#include "analysis/items.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>
#include <vector>

// Which foods, drinks and medications go with better or worse days: a list of
// diary days in, a table of item statistics out. No window code, no clock.
namespace analysis {

// One row of `records` as read, values as stored.
struct DiaryDay
{
    qint64 id = -1;
    QVariant date;  // yyyy-MM-dd; anything else is not a day and is left out
    QVariant score; // OVERALL SCORE
    QVariant bms;
    std::array<QString, kItemFieldCount> fields; // in itemFields() order
};

// The four lists of the food and medication row.
struct OwnLists
{
    QString adequateFood;
    QString irritableFood;
    QString reliableMedication;
    QString unsatisfactoryMedication;
};

enum List : unsigned { NoList = 0, Adequate = 1, Irritating = 2, Reliable = 4, Unsatisfactory = 8 };
// "adequate", "irritating+reliable", ... in that order; empty for none.
QString listNames(unsigned lists);

enum class Verdict { TooFewDays, NoClearEffect, SeemsToAgree, SeemsToDisagree };
QString verdictText(Verdict verdict);    // "seems to agree", ...
QString verdictKeyword(Verdict verdict); // "agrees", "disagrees", "no-clear-effect", "too-few-days"

// Items need this many days with an outcome before they are tested.
inline constexpr int kMinimumDays = 5;
// Verdicts are given below this q.
inline constexpr double kFalseDiscoveryRate = 0.10;

// One calendar day of the diary (rows of one date taken together).
struct CalendarDay
{
    QDate date;
    qint64 id = -1; // the first row's ID
    std::optional<double> score;    // mean of the scored rows
    std::optional<double> bms;      // mean of the rows that give BMs
    std::optional<double> outcome;  // the score `lag` days later
    std::optional<double> outcomeBms;
};

// A day that holds an item: which day (index into Insights::days), which of
// itemFields() held it (bits), and the ID of the row that held it.
struct Evidence
{
    int day = 0;
    quint32 fields = 0;
    qint64 id = -1;
};

struct ItemStats
{
    QString item; // as first met, in date order
    Kind kind = Kind::Food;
    int days = 0; // days holding it that have an outcome
    std::optional<double> withMean, withoutMean, difference, ciLow, ciHigh;
    std::optional<double> u, p, q, adjusted;
    Verdict verdict = Verdict::TooFewDays;
    unsigned lists = NoList;
    bool contradicts = false; // its verdict goes against a list that holds it
    std::vector<Evidence> evidence; // every day holding it, in date order
};

struct Insights
{
    int lag = 1;
    std::vector<CalendarDay> days; // in date order
    std::vector<ItemStats> items;  // by kind, then first appearance
    int rowsWithoutValidDate = 0;
    int tested = 0;       // items with a p-value
    double penalty = 0;   // the ridge penalty chosen
};

// lag 0 (the same day), 1 (the next day, the default) or 2; others are taken as 1.
Insights computeInsights(const std::vector<DiaryDay> &rows, const OwnLists &lists, int lag = 1);

// For each day, the mean score of the scored days among the `window`
// calendar days that end with it; nothing where none of them is scored.
std::vector<std::optional<double>> rollingMeans(const std::vector<CalendarDay> &days, int window);

// The names of the fields an Evidence holds ("BEVERAGE1, BEVERAGE3").
QString fieldNames(quint32 fields);

} // namespace analysis
