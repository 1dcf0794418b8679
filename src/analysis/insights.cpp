#include "analysis/insights.h"

#include "analysis/ridge.h"
#include "analysis/stats.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace analysis {

QString listNames(unsigned lists)
{
    QStringList names;
    if (lists & Adequate)
        names << QStringLiteral("adequate");
    if (lists & Irritating)
        names << QStringLiteral("irritating");
    if (lists & Reliable)
        names << QStringLiteral("reliable");
    if (lists & Unsatisfactory)
        names << QStringLiteral("unsatisfactory");
    return names.join(QLatin1Char('+'));
}

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::TooFewDays:
        return QStringLiteral("too few days");
    case Verdict::SeemsToAgree:
        return QStringLiteral("seems to agree");
    case Verdict::SeemsToDisagree:
        return QStringLiteral("seems to disagree");
    case Verdict::NoClearEffect:
        break;
    }
    return QStringLiteral("no clear effect");
}

QString verdictKeyword(Verdict verdict)
{
    switch (verdict) {
    case Verdict::TooFewDays:
        return QStringLiteral("too-few-days");
    case Verdict::SeemsToAgree:
        return QStringLiteral("agrees");
    case Verdict::SeemsToDisagree:
        return QStringLiteral("disagrees");
    case Verdict::NoClearEffect:
        break;
    }
    return QStringLiteral("no-clear-effect");
}

QString fieldNames(quint32 fields)
{
    QStringList names;
    for (int f = 0; f < kItemFieldCount; ++f) {
        if (fields & (1u << f))
            names << itemFields()[size_t(f)];
    }
    return names.join(QStringLiteral(", "));
}

std::vector<std::optional<double>> rollingMeans(const std::vector<CalendarDay> &days, int window)
{
    std::vector<std::optional<double>> means(days.size());
    double sum = 0;
    int count = 0;
    size_t first = 0;
    for (size_t i = 0; i < days.size(); ++i) {
        if (days[i].score) {
            sum += *days[i].score;
            ++count;
        }
        // Drop the days that fell out of the window.
        while (days[first].date.daysTo(days[i].date) >= window) {
            if (days[first].score) {
                sum -= *days[first].score;
                --count;
            }
            ++first;
        }
        if (count > 0)
            means[i] = sum / count;
    }
    return means;
}

namespace {

std::optional<QDate> dayOf(const QVariant &stored)
{
    if (stored.isNull())
        return std::nullopt;
    const QString text = stored.toString();
    if (text.size() != 10)
        return std::nullopt;
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<double> numberOf(const QVariant &stored)
{
    if (stored.isNull())
        return std::nullopt;
    // Numbers as SQLite gives them need no round trip through text.
    switch (stored.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double: {
        const double v = stored.toDouble();
        if (!std::isfinite(v))
            return std::nullopt;
        return v;
    }
    default:
        break;
    }
    bool ok = false;
    const double v = stored.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Items of the user's lists, by kind group (foods and drinks share the food
// lists) and key.
struct ListIndex
{
    QHash<QString, unsigned> food;
    QHash<QString, unsigned> medication;
    void add(QHash<QString, unsigned> &into, const QString &text, unsigned list)
    {
        forEachItem(text, [&](const QString &item) { into[itemKey(item)] |= list; });
    }
};

} // namespace

Insights computeInsights(const std::vector<DiaryDay> &rows, const OwnLists &lists, int lag)
{
    Insights result;
    result.lag = (lag == 0 || lag == 2) ? lag : 1;

    // Rows by calendar day; rows without a valid day are only counted.
    struct Dated
    {
        qint64 julian;
        size_t row;
    };
    std::vector<Dated> dated;
    dated.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (const std::optional<QDate> d = dayOf(rows[i].date))
            dated.push_back({d->toJulianDay(), i});
        else
            ++result.rowsWithoutValidDate;
    }
    std::stable_sort(dated.begin(), dated.end(), [](const Dated &a, const Dated &b) { return a.julian < b.julian; });

    // Calendar days, with the rows of each.
    std::vector<std::pair<size_t, size_t>> dayRows; // [first, last) into dated
    for (size_t i = 0; i < dated.size();) {
        size_t j = i;
        double scoreSum = 0, bmsSum = 0;
        int scored = 0, bmsGiven = 0;
        while (j < dated.size() && dated[j].julian == dated[i].julian) {
            const DiaryDay &r = rows[dated[j].row];
            if (const std::optional<double> s = numberOf(r.score)) {
                scoreSum += *s;
                ++scored;
            }
            if (const std::optional<double> b = numberOf(r.bms)) {
                bmsSum += *b;
                ++bmsGiven;
            }
            ++j;
        }
        CalendarDay day;
        day.date = QDate::fromJulianDay(dated[i].julian);
        day.id = rows[dated[i].row].id;
        if (scored > 0)
            day.score = scoreSum / scored;
        if (bmsGiven > 0)
            day.bms = bmsSum / bmsGiven;
        result.days.push_back(day);
        dayRows.emplace_back(i, j);
        i = j;
    }
    // The outcome of a day is the score of the calendar day `lag` days after
    // it: a missing day, or one without a score, gives none.
    for (size_t i = 0; i < result.days.size(); ++i) {
        const qint64 target = result.days[i].date.toJulianDay() + result.lag;
        for (size_t k = i; k < result.days.size() && k <= i + size_t(result.lag); ++k) {
            if (result.days[k].date.toJulianDay() == target) {
                result.days[i].outcome = result.days[k].score;
                result.days[i].outcomeBms = result.days[k].bms;
                break;
            }
        }
    }

    // Items, grouped by kind and key; the first form met is the one shown.
    // A diary repeats the same texts day after day, so each distinct text of
    // a kind is split and folded once and its items' places remembered.
    std::array<QHash<QString, int>, kKindCount> index;
    std::array<QHash<QString, std::vector<int>>, kKindCount> textItems;
    std::array<std::vector<ItemStats>, kKindCount> byKind;
    for (size_t d = 0; d < result.days.size(); ++d) {
        for (size_t k = dayRows[d].first; k < dayRows[d].second; ++k) {
            const DiaryDay &r = rows[dated[k].row];
            for (int f = 0; f < kItemFieldCount; ++f) {
                const QString &text = r.fields[size_t(f)];
                if (text.isEmpty())
                    continue;
                const size_t kind = size_t(kindOfField(f));
                auto known = textItems[kind].find(text);
                if (known == textItems[kind].end()) {
                    std::vector<int> places;
                    forEachItem(text, [&](const QString &item) {
                        const QString key = itemKey(item);
                        auto it = index[kind].find(key);
                        if (it == index[kind].end()) {
                            it = index[kind].insert(key, int(byKind[kind].size()));
                            ItemStats s;
                            s.item = item;
                            s.kind = Kind(kind);
                            byKind[kind].push_back(std::move(s));
                        }
                        places.push_back(*it);
                    });
                    known = textItems[kind].insert(text, std::move(places));
                }
                for (const int place : *known) {
                    std::vector<Evidence> &ev = byKind[kind][size_t(place)].evidence;
                    if (ev.empty() || ev.back().day != int(d))
                        ev.push_back({int(d), 0u, r.id});
                    ev.back().fields |= 1u << f;
                }
            }
        }
    }
    for (std::vector<ItemStats> &v : byKind) {
        for (ItemStats &s : v)
            result.items.push_back(std::move(s));
    }

    // The outcomes, their ranks, and each day's place among them.
    std::vector<double> outcomes;
    std::vector<int> outcomeIndex(result.days.size(), -1);
    Moments all;
    for (size_t d = 0; d < result.days.size(); ++d) {
        if (const std::optional<double> o = result.days[d].outcome) {
            outcomeIndex[d] = int(outcomes.size());
            outcomes.push_back(*o);
            all.n += 1;
            all.sum += *o;
            all.sumSquares += *o * *o;
        }
    }
    const Ranks ranks = midRanks(outcomes);

    // Per item: with against without, Welch's interval for the difference.
    //
    // The p-value is Mann-Whitney's rather than Welch's t: a score is a
    // judgement on a scale of 1 to 10, clipped at both ends and full of ties,
    // not a measurement, and a rank test asks only whether days with the item
    // tend to be scored lower or higher. The interval stays Welch's, since a
    // user reads a difference of means in score points.
    std::vector<size_t> tested;
    std::vector<double> pValues;
    for (size_t i = 0; i < result.items.size(); ++i) {
        ItemStats &s = result.items[i];
        Moments with;
        double rankSum = 0;
        for (const Evidence &e : s.evidence) {
            const int o = outcomeIndex[size_t(e.day)];
            if (o < 0)
                continue;
            const double v = outcomes[size_t(o)];
            with.n += 1;
            with.sum += v;
            with.sumSquares += v * v;
            rankSum += ranks.rank[size_t(o)];
        }
        const Moments without{all.n - with.n, all.sum - with.sum, all.sumSquares - with.sumSquares};
        s.days = int(with.n);
        if (with.n >= 1)
            s.withMean = with.mean();
        if (without.n >= 1)
            s.withoutMean = without.mean();
        if (s.withMean && s.withoutMean)
            s.difference = *s.withMean - *s.withoutMean;
        if (const std::optional<Interval> ci = welchInterval(with, without)) {
            s.ciLow = ci->low;
            s.ciHigh = ci->high;
        }
        if (s.days >= kMinimumDays && without.n >= 1) {
            const UTest test = mannWhitney(rankSum, with.n, all.n, ranks.tieTerm);
            s.u = test.u;
            s.p = test.p;
            tested.push_back(i);
            pValues.push_back(test.p);
        }
    }
    result.tested = int(tested.size());
    // Benjamini-Hochberg's bound needs independent or positively dependent
    // tests, and items share days. Simulated diaries with no effect at all
    // (a year, about 40 items) give a verdict in about 8% of diaries, within
    // the 10% promised, so the stricter Benjamini-Yekutieli factor, which
    // would cost a real effect much of its power, is not applied.
    const std::vector<double> q = benjaminiHochberg(pValues);
    for (size_t t = 0; t < tested.size(); ++t)
        result.items[tested[t]].q = q[t];

    // Adjusted effects: one ridge regression over the tested items.
    if (!tested.empty()) {
        std::vector<int> column(result.items.size(), -1);
        for (size_t t = 0; t < tested.size(); ++t)
            column[tested[t]] = int(t);
        std::vector<std::vector<int>> design(outcomes.size());
        for (size_t i = 0; i < result.items.size(); ++i) {
            if (column[i] < 0)
                continue;
            for (const Evidence &e : result.items[i].evidence) {
                const int o = outcomeIndex[size_t(e.day)];
                if (o >= 0)
                    design[size_t(o)].push_back(column[i]);
            }
        }
        const RidgeFit fit = ridgeByLeaveOneOut(design, outcomes, int(tested.size()));
        if (fit.ok) {
            result.penalty = fit.lambda;
            for (size_t t = 0; t < tested.size(); ++t)
                result.items[tested[t]].adjusted = fit.effect[t];
        }
    }

    // Verdicts and the user's own lists.
    ListIndex own;
    own.add(own.food, lists.adequateFood, Adequate);
    own.add(own.food, lists.irritableFood, Irritating);
    own.add(own.medication, lists.reliableMedication, Reliable);
    own.add(own.medication, lists.unsatisfactoryMedication, Unsatisfactory);
    for (ItemStats &s : result.items) {
        if (s.days < kMinimumDays)
            s.verdict = Verdict::TooFewDays;
        else if (s.q && *s.q < kFalseDiscoveryRate && s.difference && *s.difference < 0)
            s.verdict = Verdict::SeemsToDisagree;
        else if (s.q && *s.q < kFalseDiscoveryRate && s.difference && *s.difference > 0)
            s.verdict = Verdict::SeemsToAgree;
        else
            s.verdict = Verdict::NoClearEffect;
        const QHash<QString, unsigned> &from = s.kind == Kind::Medication ? own.medication : own.food;
        s.lists = from.value(itemKey(s.item), NoList);
        const unsigned good = Adequate | Reliable;
        const unsigned bad = Irritating | Unsatisfactory;
        s.contradicts = (s.verdict == Verdict::SeemsToDisagree && (s.lists & good))
                        || (s.verdict == Verdict::SeemsToAgree && (s.lists & bad));
    }
    return result;
}

} // namespace analysis
