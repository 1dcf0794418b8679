#pragma once

#include "analysis/items.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <array>
#include <functional>
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

enum class Verdict { TooFewDays, NoClearEffect, SeemsToAgree, SeemsToDisagree, CannotCompare, Aliased, NotJudged };
QString verdictText(Verdict verdict); // "seems to agree", ...
// "agrees", "disagrees", "no-clear-effect", "too-few-days", "cannot-compare",
// "aliased", "not-judged"
QString verdictKeyword(Verdict verdict);
inline constexpr int kVerdictCount = 7;

// Items need this many days with an outcome before they are tested.
inline constexpr int kMinimumDays = 5;
// Verdicts are given below this q.
inline constexpr double kFalseDiscoveryRate = 0.10;
// The model holds at most this many columns (intercept, time, 3 per item).
inline constexpr int kMaxModelColumns = 2500;
// Above this variance inflation an item cannot be told apart from another.
inline constexpr double kAliasInflation = 1e4;

// One calendar day of the diary (rows of one date taken together).
struct CalendarDay
{
    QDate date;
    qint64 id = -1;                // the first row's ID
    std::optional<double> score;   // mean of the scored rows
    std::optional<double> bms;     // mean of the rows that give BMs
    std::optional<double> outcome; // the score `lag` days later
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

// The model's effect of an item at one lag: the score points a day l days
// after it gains, other things equal, with its 95% interval and t test.
struct LagEffect
{
    double effect = 0;
    double se = 0;
    double low = 0;
    double high = 0;
    double p = 1;
};

// How an item was judged.
enum class Judged {
    No,          // too few days, on almost every day, or no room (see notJudged)
    Model,       // in the one regression with the others
    SecondStage, // beyond the model's room: on its own, against what the model left
};

struct ItemStats
{
    QString item; // as first met, in date order
    Kind kind = Kind::Food;
    int days = 0; // days holding it that have an outcome
    std::optional<double> withMean, withoutMean, difference, ciLow, ciHigh;
    // p and q of the adjusted effect at the chosen lag; `adjusted` is that
    // effect, adjLow..adjHigh its 95% interval.
    std::optional<double> p, q, adjusted, adjLow, adjHigh;
    std::array<std::optional<LagEffect>, 3> lagEffects; // lags 0, 1, 2
    Verdict verdict = Verdict::TooFewDays;
    Judged judged = Judged::No;
    int modelDays = 0;   // model rows with the item on their own day
    QString notJudged;   // why it has no verdict, in words, for not-judged
    QString aliasedWith; // what it cannot be told apart from, for aliased
    // The item it most often shares its days with, and the share (0-1) of its
    // days that hold both; empty when it shares none. Items on 70% of the
    // diary's days or more are never partners: they share every item's days.
    QString partner;
    Kind partnerKind = Kind::Food;
    double partnerShare = 0;
    unsigned lists = NoList;
    bool contradicts = false;       // its verdict goes against a list that holds it
    std::vector<Evidence> evidence; // every day holding it, in date order
};

// Co-occurrence is told from this share of an item's days up.
inline constexpr double kTellPartnerShare = 0.70;
// "RYE CRISPBREAD 92%"; empty below the share told.
QString partnerText(const ItemStats &s);

struct Insights
{
    int lag = 1;
    std::vector<CalendarDay> days; // in date order
    std::vector<ItemStats> items;  // by kind, then first appearance
    int rowsWithoutValidDate = 0;
    int tested = 0; // items with a p-value at the chosen lag
    // The model: its rows (scored days whose two days before are written),
    // its columns, the carry-over removed, and how the items were judged.
    int modelRows = 0;
    int modelColumns = 0;
    int splines = 0;
    double carryOver = 0;
    int inModel = 0;
    int secondStage = 0;
    int notJudged = 0;
    // Days more the diary needs before the model can judge any item; 0 when
    // it has enough.
    int moreDaysNeeded = 0;
    bool cancelled = false;
};

// Told how far the work is (0-100); returns false to stop it, and the result
// is then marked cancelled.
using InsightsProgress = std::function<bool(int percent)>;

// lag 0 (the same day), 1 (the next day, the default) or 2; others are taken as 1.
Insights computeInsights(const std::vector<DiaryDay> &rows, const OwnLists &lists, int lag = 1,
                         const InsightsProgress &progress = {});

// The stages, each on its own for tests.
// Days and items: rows by calendar day, items grouped with their evidence.
Insights dayTable(const std::vector<DiaryDay> &rows);
// A stored DATE that is a day: exactly yyyy-MM-dd, on the calendar.
std::optional<QDate> storedDay(const QVariant &stored);
// The capacity rule: the most columns a model of N rows may have.
int modelCapacity(int rows);
// Rows more a model with `splines` time columns and one item needs.
int rowsShortOfOneItem(int rows, int splines);

// For each day, the mean score of the scored days among the `window`
// calendar days that end with it; nothing where none of them is scored.
std::vector<std::optional<double>> rollingMeans(const std::vector<CalendarDay> &days, int window);

// The names of the fields an Evidence holds ("BEVERAGE1, BEVERAGE3").
QString fieldNames(quint32 fields);

} // namespace analysis
