#include "analysis/insights.h"

#include "analysis/model.h"
#include "analysis/stats.h"

#include <QCoreApplication>

#include <QHash>

#include <algorithm>
#include <cmath>
#include <map>
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
    case Verdict::CannotCompare:
        return QStringLiteral("cannot be compared");
    case Verdict::Aliased:
        return QStringLiteral("cannot be told apart");
    case Verdict::NotJudged:
        return QStringLiteral("not judged");
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
    case Verdict::CannotCompare:
        return QStringLiteral("cannot-compare");
    case Verdict::Aliased:
        return QStringLiteral("aliased");
    case Verdict::NotJudged:
        return QStringLiteral("not-judged");
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

std::optional<QDate> storedDay(const QVariant &stored)
{
    // The schema's rule: ten characters that SQLite reads back as themselves,
    // so yyyy-MM-dd with a dash at each place and a day on the calendar;
    // 2016/03/06 and 2016.03.07 are not days.
    if (stored.isNull())
        return std::nullopt;
    const QString text = stored.toString();
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return std::nullopt;
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    const auto number = [&](int from, int count) {
        int v = 0;
        for (int i = from; i < from + count; ++i)
            v = v * 10 + (text.at(i).unicode() - '0');
        return v;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    if (!date.isValid())
        return std::nullopt;
    return date;
}

namespace {

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

Insights dayTable(const std::vector<DiaryDay> &rows)
{
    Insights result;

    // Rows by calendar day; rows without a valid day are only counted.
    struct Dated
    {
        qint64 julian;
        size_t row;
    };
    std::vector<Dated> dated;
    dated.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (const std::optional<QDate> d = storedDay(rows[i].date))
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
    // Items, grouped by kind and key; the first form met is the one shown.
    // A diary repeats the same texts day after day, so each distinct text of
    // a kind is split and folded once and its items' places remembered.
    std::array<QHash<QString, int>, kKindCount> index;
    std::array<QHash<QString, int>, kKindCount> textItems; // into placeLists
    // The read shares a text met before, so most texts are found by where
    // they are held, before any hashing of their contents.
    struct Held
    {
        const QChar *data;
        qsizetype size;
        bool operator==(const Held &) const = default;
    };
    struct HeldHash
    {
        size_t operator()(const Held &h) const { return std::hash<const void *>{}(h.data) ^ size_t(h.size); }
    };
    std::array<std::unordered_map<Held, int, HeldHash>, kKindCount> textAt;
    std::vector<std::vector<int>> placeLists;
    std::array<std::vector<ItemStats>, kKindCount> byKind;
    for (size_t d = 0; d < result.days.size(); ++d) {
        for (size_t k = dayRows[d].first; k < dayRows[d].second; ++k) {
            const DiaryDay &r = rows[dated[k].row];
            for (int f = 0; f < kItemFieldCount; ++f) {
                const QString &text = r.fields[size_t(f)];
                if (text.isEmpty())
                    continue;
                const size_t kind = size_t(kindOfField(f));
                int list = -1;
                if (const auto seen = textAt[kind].find(Held{text.constData(), text.size()});
                    seen != textAt[kind].end()) {
                    list = seen->second;
                } else if (const auto known = textItems[kind].constFind(text); known != textItems[kind].cend()) {
                    list = *known;
                    textAt[kind].emplace(Held{text.constData(), text.size()}, list);
                } else {
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
                    list = int(placeLists.size());
                    placeLists.push_back(std::move(places));
                    textItems[kind].insert(text, list);
                    textAt[kind].emplace(Held{text.constData(), text.size()}, list);
                }
                for (const int place : placeLists[size_t(list)]) {
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

    return result;
}

int modelCapacity(int rows)
{
    return std::min(kMaxModelColumns, rows - std::max(30, rows / 4));
}

int rowsShortOfOneItem(int rows, int splines)
{
    const int needed = 1 + splines + 3;
    int n = std::max(rows, 0);
    while (modelCapacity(n) < needed)
        ++n;
    return n - rows;
}

QString partnerText(const ItemStats &s)
{
    if (s.partner.isEmpty() || s.partnerShare < kTellPartnerShare)
        return QString();
    return QStringLiteral("%1 %2%").arg(s.partner).arg(int(std::floor(s.partnerShare * 100 + 0.5)));
}

namespace {

// The calendar day `lag` days after day index d, when written.
int dayAfter(const std::vector<CalendarDay> &days, int d, int lag)
{
    const size_t at = size_t(d) + size_t(lag);
    if (at >= days.size() || days[size_t(d)].date.daysTo(days[at].date) != lag)
        return -1;
    return int(at);
}

// Each item's most frequent companion, over the days holding it, among the
// items on fewer than 70% of the diary's days.
void findPartners(Insights &in)
{
    // Each day's items, in one array with each day's start (no vector per day).
    std::vector<int> start(in.days.size() + 1, 0);
    for (const ItemStats &s : in.items) {
        for (const Evidence &e : s.evidence)
            ++start[size_t(e.day) + 1];
    }
    for (size_t d = 0; d < in.days.size(); ++d)
        start[d + 1] += start[d];
    std::vector<int> dayItems(size_t(start.back()));
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (size_t i = 0; i < in.items.size(); ++i) {
        for (const Evidence &e : in.items[i].evidence)
            dayItems[size_t(fill[size_t(e.day)]++)] = int(i);
    }
    std::vector<int> count(in.items.size(), 0);
    std::vector<int> touched;
    for (size_t i = 0; i < in.items.size(); ++i) {
        ItemStats &s = in.items[i];
        touched.clear();
        for (const Evidence &e : s.evidence) {
            for (int k = start[size_t(e.day)]; k < start[size_t(e.day) + 1]; ++k) {
                const int j = dayItems[size_t(k)];
                if (j != int(i) && count[size_t(j)]++ == 0)
                    touched.push_back(j);
            }
        }
        int best = -1;
        for (const int j : touched) {
            // An item on most days shares most of every item's days by
            // itself: telling it would say nothing.
            if (double(in.items[size_t(j)].evidence.size()) >= kTellPartnerShare * double(in.days.size()))
                continue;
            if (best < 0 || count[size_t(j)] > count[size_t(best)] ||
                (count[size_t(j)] == count[size_t(best)] && j < best))
                best = j;
        }
        if (best >= 0 && !s.evidence.empty()) {
            s.partner = in.items[size_t(best)].item;
            s.partnerKind = in.items[size_t(best)].kind;
            s.partnerShare = double(count[size_t(best)]) / double(s.evidence.size());
        }
        for (const int j : touched)
            count[size_t(j)] = 0;
    }
}

QString tr(const char *text, const char *disambiguation = nullptr, int n = -1)
{
    return QCoreApplication::translate("analysis", text, disambiguation, n);
}

// One whitened lag column of an item outside the model, as sorted (row, value).
using Column = std::vector<std::pair<int, double>>;
Column whitenedColumn(const std::vector<int> &rowsWithItem, const std::vector<int> &previous,
                      const std::vector<int> &next, double phi)
{
    Column c;
    const double first = std::sqrt(1 - phi * phi);
    for (const int r : rowsWithItem) {
        c.emplace_back(r, previous[size_t(r)] >= 0 ? 1.0 : first);
        if (next[size_t(r)] >= 0)
            c.emplace_back(next[size_t(r)], -phi);
    }
    std::sort(c.begin(), c.end());
    Column merged;
    for (const auto &[r, v] : c) {
        if (!merged.empty() && merged.back().first == r)
            merged.back().second += v;
        else
            merged.emplace_back(r, v);
    }
    return merged;
}

double dot(const Column &a, const Column &b)
{
    double sum = 0;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].first < b[j].first)
            ++i;
        else if (b[j].first < a[i].first)
            ++j;
        else
            sum += a[i++].second * b[j++].second;
    }
    return sum;
}

// The outcome of a day is the score of the calendar day `lag` days after
// it: a missing day, or one without a score, gives none.
void setOutcomes(Insights &result)
{
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
}

// The plain comparison: days with the item against the others, Welch's
// interval for the difference. Descriptive only; the verdict is the model's.
void comparePlainly(Insights &result)
{
    Moments all;
    for (const CalendarDay &d : result.days) {
        if (d.outcome) {
            all.n += 1;
            all.sum += *d.outcome;
            all.sumSquares += *d.outcome * *d.outcome;
        }
    }
    for (ItemStats &s : result.items) {
        Moments with;
        for (const Evidence &e : s.evidence) {
            if (const std::optional<double> o = result.days[size_t(e.day)].outcome) {
                with.n += 1;
                with.sum += *o;
                with.sumSquares += *o * *o;
            }
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
    }
}

// Benjamini-Hochberg over the items judged at the chosen lag; direction and
// p from the same coefficient.
void giveVerdicts(Insights &result)
{
    std::vector<size_t> tested;
    std::vector<double> pValues;
    for (size_t i = 0; i < result.items.size(); ++i) {
        ItemStats &s = result.items[i];
        const std::optional<LagEffect> &e = s.lagEffects[size_t(result.lag)];
        if (!e)
            continue;
        s.adjusted = e->effect;
        s.adjLow = e->low;
        s.adjHigh = e->high;
        if (s.verdict == Verdict::Aliased)
            continue;
        s.p = e->p;
        tested.push_back(i);
        pValues.push_back(e->p);
    }
    result.tested = int(tested.size());
    const std::vector<double> q = benjaminiHochberg(pValues);
    for (size_t t = 0; t < tested.size(); ++t) {
        ItemStats &s = result.items[tested[t]];
        s.q = q[t];
        if (q[t]<kFalseDiscoveryRate && * s.adjusted> 0)
            s.verdict = Verdict::SeemsToAgree;
        else if (q[t] < kFalseDiscoveryRate && *s.adjusted < 0)
            s.verdict = Verdict::SeemsToDisagree;
        else
            s.verdict = Verdict::NoClearEffect;
    }
}

// The user's own lists, and the verdicts that go against them.
void markOwnLists(Insights &result, const OwnLists &lists)
{
    ListIndex own;
    own.add(own.food, lists.adequateFood, Adequate);
    own.add(own.food, lists.irritableFood, Irritating);
    own.add(own.medication, lists.reliableMedication, Reliable);
    own.add(own.medication, lists.unsatisfactoryMedication, Unsatisfactory);
    for (ItemStats &s : result.items) {
        const QHash<QString, unsigned> &from = s.kind == Kind::Medication ? own.medication : own.food;
        s.lists = from.value(itemKey(s.item), NoList);
        const unsigned good = Adequate | Reliable;
        const unsigned bad = Irritating | Unsatisfactory;
        s.contradicts = (s.verdict == Verdict::SeemsToDisagree && (s.lists & good)) ||
                        (s.verdict == Verdict::SeemsToAgree && (s.lists & bad));
    }
}

// Model rows: a scored calendar day whose two days before are written, so
// that every item at lags 0, 1 and 2 is known (a day with no row makes its
// items unknown, not absent). Each row's previous and next row are its
// neighbouring days, where they are rows too.
struct ModelRows
{
    std::vector<int> rowOfDay; // -1 for a day that is no row
    std::vector<int> rowDay;
    std::vector<int> previous, next;
};

ModelRows modelRows(const std::vector<CalendarDay> &days)
{
    ModelRows m;
    const int dayCount = int(days.size());
    m.rowOfDay.assign(size_t(dayCount), -1);
    for (int d = 2; d < dayCount; ++d) {
        if (days[size_t(d)].score && dayAfter(days, d - 2, 2) == d && dayAfter(days, d - 1, 1) == d) {
            m.rowOfDay[size_t(d)] = int(m.rowDay.size());
            m.rowDay.push_back(d);
        }
    }
    const int n = int(m.rowDay.size());
    m.previous.assign(size_t(n), -1);
    m.next.assign(size_t(n), -1);
    for (int r = 0; r < n; ++r) {
        const int d = m.rowDay[size_t(r)];
        if (m.rowOfDay[size_t(d - 1)] >= 0) {
            m.previous[size_t(r)] = m.rowOfDay[size_t(d - 1)];
            m.next[size_t(m.rowOfDay[size_t(d - 1)])] = r;
        }
    }
    return m;
}

} // namespace

Insights computeInsights(const std::vector<DiaryDay> &rows, const OwnLists &lists, int lag,
                         const InsightsProgress &progress)
{
    const auto keepGoing = [&](int percent) { return !progress || progress(percent); };
    Insights result = dayTable(rows);
    result.lag = (lag == 0 || lag == 2) ? lag : 1;
    if (!keepGoing(5)) {
        result.cancelled = true;
        return result;
    }

    setOutcomes(result);
    comparePlainly(result);
    findPartners(result);

    const ModelRows model = modelRows(result.days);
    const std::vector<CalendarDay> &days = result.days;
    const int dayCount = int(days.size());
    const std::vector<int> &rowOfDay = model.rowOfDay;
    const std::vector<int> &rowDay = model.rowDay;
    const std::vector<int> &previous = model.previous;
    const std::vector<int> &next = model.next;
    const int n = int(rowDay.size());
    result.modelRows = n;
    const int span = dayCount > 0 ? int(days.front().date.daysTo(days.back().date)) + 1 : 0;
    const TimeSplines splines(span);
    result.splines = splines.count();

    // Tested items, the most frequent first, as many as the capacity allows.
    const int fixedColumns = 1 + splines.count();
    const int room = std::max(0, (modelCapacity(n) - fixedColumns) / 3);
    std::vector<int> candidates;
    for (size_t i = 0; i < result.items.size(); ++i) {
        ItemStats &s = result.items[i];
        for (const Evidence &e : s.evidence) {
            if (rowOfDay[size_t(e.day)] >= 0)
                ++s.modelDays;
        }
        // In a diary too short for any model, an item on enough days is told
        // that the diary is too short rather than that it is too rare.
        if (room == 0 && int(s.evidence.size()) >= kMinimumDays && n - s.modelDays >= kMinimumDays)
            candidates.push_back(int(i));
        else if (s.modelDays < kMinimumDays)
            s.verdict = Verdict::TooFewDays;
        else if (n - s.modelDays < kMinimumDays)
            s.verdict = Verdict::CannotCompare;
        else
            candidates.push_back(int(i));
    }
    std::stable_sort(candidates.begin(), candidates.end(), [&](int a, int b) {
        return result.items[size_t(a)].modelDays > result.items[size_t(b)].modelDays;
    });
    // Twins, items on exactly the same days, cannot be told apart by any
    // model: the first stands for both in it, and both are told so.
    std::vector<int> twinOf(result.items.size(), -1);
    {
        std::map<std::vector<int>, int> firstOnDays;
        std::vector<int> kept;
        kept.reserve(candidates.size());
        for (const int i : candidates) {
            std::vector<int> onDays;
            onDays.reserve(result.items[size_t(i)].evidence.size());
            for (const Evidence &e : result.items[size_t(i)].evidence)
                onDays.push_back(e.day);
            std::sort(onDays.begin(), onDays.end());
            const auto [at, first] = firstOnDays.emplace(std::move(onDays), i);
            if (first) {
                kept.push_back(i);
                continue;
            }
            ItemStats &twin = result.items[size_t(i)];
            twin.verdict = Verdict::Aliased;
            twin.aliasedWith = result.items[size_t(at->second)].item;
            if (twinOf[size_t(at->second)] < 0)
                twinOf[size_t(at->second)] = i;
        }
        candidates = std::move(kept);
    }
    const int modelled = std::min(int(candidates.size()), room);
    if (room == 0 && !result.items.empty())
        result.moreDaysNeeded = rowsShortOfOneItem(n, splines.count());

    // The design: intercept, splines, each modelled item at lags 0, 1, 2.
    Design design;
    design.columns = fixedColumns + 3 * modelled;
    design.variancesFrom = fixedColumns;
    design.previous = previous;
    design.y.resize(size_t(n));
    design.x.resize(size_t(n));
    // Each day's modelled items, ascending, in one array with each day's
    // start: a diary of decades has too many days for a vector each.
    std::vector<int> modelledStart(size_t(dayCount) + 1, 0);
    for (int m = 0; m < modelled; ++m) {
        for (const Evidence &e : result.items[size_t(candidates[size_t(m)])].evidence)
            ++modelledStart[size_t(e.day) + 1];
    }
    for (size_t d = 0; d < size_t(dayCount); ++d)
        modelledStart[d + 1] += modelledStart[d];
    std::vector<int> dayModelled(size_t(modelledStart.back()));
    {
        std::vector<int> fill(modelledStart.begin(), modelledStart.end() - 1);
        for (int m = 0; m < modelled; ++m) {
            for (const Evidence &e : result.items[size_t(candidates[size_t(m)])].evidence)
                dayModelled[size_t(fill[size_t(e.day)]++)] = m;
        }
    }
    const qint64 firstJulian = dayCount > 0 ? days.front().date.toJulianDay() : 0;
    for (int r = 0; r < n; ++r) {
        const int d = rowDay[size_t(r)];
        design.y[size_t(r)] = *days[size_t(d)].score;
        SparseRow &row = design.x[size_t(r)];
        // Item m at lag l is column fixedColumns + 3m + l: the three days'
        // ascending lists merged give the row's columns in order.
        std::array<int, 3> at{}, stop{};
        size_t items = 0;
        for (int l = 0; l < 3; ++l) {
            at[size_t(l)] = modelledStart[size_t(d - l)];
            stop[size_t(l)] = modelledStart[size_t(d - l) + 1];
            items += size_t(stop[size_t(l)] - at[size_t(l)]);
        }
        row.reserve(1 + 4 + items);
        row.push_back({0, 1.0});
        splines.append(double(days[size_t(d)].date.toJulianDay() - firstJulian), 1, row);
        while (true) {
            int best = -1, bestColumn = 0;
            for (int l = 0; l < 3; ++l) {
                if (at[size_t(l)] == stop[size_t(l)])
                    continue;
                const int column = fixedColumns + 3 * dayModelled[size_t(at[size_t(l)])] + l;
                if (best < 0 || column < bestColumn) {
                    best = l;
                    bestColumn = column;
                }
            }
            if (best < 0)
                break;
            ++at[size_t(best)];
            row.push_back({bestColumn, 1.0});
        }
    }
    if (!keepGoing(10)) {
        result.cancelled = true;
        return result;
    }

    ModelFit fit;
    if (modelled > 0)
        fit = fitModel(design, [&](int percent) { return keepGoing(10 + percent * 5 / 10); });
    if (fit.cancelled) {
        result.cancelled = true;
        return result;
    }
    // Items that with others of their kind fill every day (a breakfast that
    // is always one of a few) add up to the intercept: alone, each would be
    // measured against a day without any of them, which the diary never has.
    // Fitted again, such columns are measured against the rest of their set.
    // Twins were set aside above, so what stays inseparable after this is
    // told as such.
    if (fit.ok) {
        std::vector<int> peered;
        for (int j = fixedColumns; j < design.columns; ++j) {
            if (fit.inflation(j) > kAliasInflation)
                peered.push_back(j);
        }
        if (!peered.empty()) {
            ModelFit again = fitModel(
                design, [&](int percent) { return keepGoing(60 + percent * 3 / 10); }, peered);
            if (again.cancelled) {
                result.cancelled = true;
                return result;
            }
            if (again.ok)
                fit = std::move(again);
        }
    }
    result.modelColumns = modelled > 0 ? design.columns : 0;
    result.carryOver = fit.phi;

    // Judge: the model's items from their coefficients, the rest on their own.
    const auto columnName = [&](int column, int self) {
        if (column < fixedColumns)
            return tr("the slow changes over the months");
        const int m = (column - fixedColumns) / 3;
        if (m == self)
            return tr("itself on the days around it");
        return result.items[size_t(candidates[size_t(m)])].item;
    };
    std::optional<Eigen::VectorXd> allVariances; // worked out for the first item that needs them
    for (int c = 0; c < int(candidates.size()); ++c) {
        ItemStats &s = result.items[size_t(candidates[size_t(c)])];
        if (modelled == 0 || (c < modelled && !fit.ok)) {
            s.verdict = Verdict::NotJudged;
            s.notJudged = result.moreDaysNeeded > 0
                              ? tr("The diary is too short for the model: it needs %n more scored day(s).", nullptr,
                                   result.moreDaysNeeded)
                              : tr("The model could not be fitted to this diary.");
            ++result.notJudged;
            continue;
        }
        if (c < modelled) {
            s.judged = Judged::Model;
            ++result.inModel;
            for (int l = 0; l < 3; ++l) {
                // A column that cannot be told apart from others has no
                // effect of its own to show.
                const int j = fixedColumns + 3 * c + l;
                if (fit.inflation(j) > kAliasInflation)
                    continue;
                const CoefficientTest t = tTest(fit.beta[j], fit.s2 * fit.inverseDiagonal[j], fit.df);
                s.lagEffects[size_t(l)] = LagEffect{t.estimate, t.se, t.low, t.high, t.p};
            }
            const int chosen = fixedColumns + 3 * c + result.lag;
            if (const int twin = twinOf[size_t(candidates[size_t(c)])]; twin >= 0) {
                // Its effects are the pair's together.
                s.lagEffects = {};
                s.verdict = Verdict::Aliased;
                s.aliasedWith = result.items[size_t(twin)].item;
                continue;
            }
            if (fit.inflation(chosen) > kAliasInflation) {
                // Name the column whose estimate moves most with this one.
                const Eigen::VectorXd row = fit.inverseRow(chosen);
                if (!allVariances)
                    allVariances = fit.fullInverseDiagonal();
                int best = -1;
                double strongest = -1;
                for (int k = 1; k < design.columns; ++k) {
                    if (k == chosen)
                        continue;
                    const double r = std::abs(row[k]) / std::sqrt((*allVariances)[chosen] * (*allVariances)[k]);
                    if (r > strongest) {
                        strongest = r;
                        best = k;
                    }
                }
                s.verdict = Verdict::Aliased;
                s.aliasedWith = best >= 0 ? columnName(best, c) : tr("your other items");
            }
            continue;
        }
        // Beyond the model's room: the whitened residuals regressed on the
        // item's own three whitened lag columns.
        const int df = fit.df - 3;
        std::array<Column, 3> z;
        for (int l = 0; l < 3; ++l) {
            std::vector<int> at;
            for (const Evidence &e : s.evidence) {
                const int d = dayAfter(days, e.day, l);
                if (d >= 0 && rowOfDay[size_t(d)] >= 0)
                    at.push_back(rowOfDay[size_t(d)]);
            }
            z[size_t(l)] = whitenedColumn(at, previous, next, fit.phi);
        }
        Eigen::Matrix3d zz;
        Eigen::Vector3d ze;
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b)
                zz(a, b) = dot(z[size_t(a)], z[size_t(b)]);
            double sum = 0;
            for (const auto &[r, v] : z[size_t(a)])
                sum += v * fit.residuals[size_t(r)];
            ze[a] = sum;
        }
        const Eigen::LDLT<Eigen::Matrix3d> ldlt(zz);
        const Eigen::Matrix3d inverse = ldlt.solve(Eigen::Matrix3d::Identity());
        bool separable = ldlt.info() == Eigen::Success && inverse.allFinite() && df >= 1;
        for (int l = 0; separable && l < 3; ++l)
            separable = inverse(l, l) * zz(l, l) < kAliasInflation;
        if (!separable) {
            s.verdict = Verdict::NotJudged;
            s.notJudged = tr("Too few days to tell it apart from your other items.");
            ++result.notJudged;
            continue;
        }
        const Eigen::Vector3d gamma = inverse * ze;
        const double s2 = std::max(0.0, fit.residualSquares - gamma.dot(ze)) / df;
        s.judged = Judged::SecondStage;
        ++result.secondStage;
        for (int l = 0; l < 3; ++l) {
            const CoefficientTest t = tTest(gamma[l], s2 * inverse(l, l), df);
            s.lagEffects[size_t(l)] = LagEffect{t.estimate, t.se, t.low, t.high, t.p};
        }
    }
    if (!keepGoing(95)) {
        result.cancelled = true;
        return result;
    }

    giveVerdicts(result);

    markOwnLists(result, lists);
    keepGoing(100);
    return result;
}

} // namespace analysis
