#pragma once
// Simulated diaries as people keep them, for the insights' promises: habits
// that repeat for a few days, a mood that carries over, slow drifts, seasonal
// foods, rare items and very many items. Header-only, shared by the test and
// the full-size run of scripts/stress.
#include "analysis/insights.h"
#include "analysis/items.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <random>

namespace sim {

struct Shape
{
    int days = 365;
    bool runs = false;       // each field keeps its value for 3-4 days
    double phi = 0;          // AR(1) carry-over of the scores
    bool skewed = false;     // scores bunched high with a long low tail
    double trend = 0;        // points gained over two years
    bool summerFood = false; // SUMMER BERRIES on half the days of June to August
    int rareItems = 0;       // items on 5-15 days each
    int manyItems = 0;       // the fields drawn from this many distinct items
    // PLANTED (a drink in runs, on about a fifth of the days) moves the next
    // day's score by this much; INNOCENT shares `innocentShare` of its days
    // with it (0: no INNOCENT).
    double plantedEffect = 0;
    bool planted = false;
    double innocentShare = 0;
};

inline QString name(const char *prefix, int i)
{
    return QLatin1String(prefix) + QString::number(i).rightJustified(4, QLatin1Char('0'));
}

inline std::vector<analysis::DiaryDay> diary(const Shape &shape, std::mt19937 &rng)
{
    using analysis::Kind;
    std::uniform_real_distribution<double> unit(0, 1);
    std::normal_distribution<double> normal(0, 1);
    const int n = shape.days;
    std::vector<analysis::DiaryDay> rows(static_cast<size_t>(n));
    // Pools per kind: about 40 items, or `manyItems` split 2:1:1.
    const int foods = shape.manyItems ? shape.manyItems / 2 : 20;
    const int drinks = shape.manyItems ? shape.manyItems / 4 : 10;
    const int meds = shape.manyItems ? shape.manyItems - foods - drinks : 10;
    const auto draw = [&](int pool) {
        // Many items: a long tail (item i about 1/sqrt(i) as often as the first).
        const double u = unit(rng);
        return std::min(pool - 1, int(pool * (shape.manyItems ? u * u : u)));
    };
    std::array<QString, analysis::kItemFieldCount> current;
    std::array<int, analysis::kItemFieldCount> left{};
    for (int d = 0; d < n; ++d) {
        analysis::DiaryDay &r = rows[size_t(d)];
        r.id = d + 1;
        r.date = QDate(2020, 1, 1).addDays(d).toString(Qt::ISODate);
        for (int f = 0; f < analysis::kItemFieldCount; ++f) {
            if (left[size_t(f)] <= 0) {
                const Kind kind = analysis::kindOfField(f);
                const double chance = f < 3 ? 1.0 : kind == Kind::Medication ? 0.15 : 0.6;
                current[size_t(f)].clear();
                if (unit(rng) < chance) {
                    current[size_t(f)] = kind == Kind::Food    ? name("F", draw(foods))
                                         : kind == Kind::Drink ? name("D", draw(drinks))
                                                               : name("M", draw(meds));
                }
                left[size_t(f)] = shape.runs ? 3 + int(rng() % 2u) : 1;
            }
            --left[size_t(f)];
            r.fields[size_t(f)] = current[size_t(f)];
        }
    }
    const auto add = [&](int d, int field, const QString &item) {
        QString &text = rows[size_t(d)].fields[size_t(field)];
        text = text.isEmpty() ? item : text + QStringLiteral(", ") + item;
    };
    constexpr int kSnack4 = 6, kBeverage4 = 10;
    if (shape.summerFood) {
        for (int d = 0; d < n; ++d) {
            const int month = QDate(2020, 1, 1).addDays(d).month();
            if (month >= 6 && month <= 8 && unit(rng) < 0.5)
                add(d, kSnack4, QStringLiteral("SUMMER BERRIES"));
        }
    }
    for (int i = 0; i < shape.rareItems; ++i) {
        const int times = 5 + int(rng() % 11u);
        for (int t = 0; t < times; ++t)
            add(int(rng() % quint32(n)), kSnack4, name("RARE", i));
    }
    std::vector<bool> planted(static_cast<size_t>(n), false);
    if (shape.planted) {
        // Runs of 3-4 days starting on about one day in twenty.
        for (int d = 0; d < n; ++d) {
            if (unit(rng) < 0.06) {
                const int len = 3 + int(rng() % 2u);
                for (int k = 0; k < len && d + k < n; ++k)
                    planted[size_t(d) + size_t(k)] = true;
                d += len;
            }
        }
        for (int d = 0; d < n; ++d) {
            if (planted[size_t(d)])
                add(d, kBeverage4, QStringLiteral("PLANTED"));
        }
        if (shape.innocentShare > 0) {
            // With PLANTED on most of its days, alone on the rest.
            int with = 0, plantedDays = 0;
            for (int d = 0; d < n; ++d)
                plantedDays += planted[size_t(d)] ? 1 : 0;
            const double alone =
                0.85 * plantedDays * (1 - shape.innocentShare) / shape.innocentShare / std::max(1, n - plantedDays);
            for (int d = 0; d < n; ++d) {
                if (planted[size_t(d)] ? unit(rng) < 0.85 : unit(rng) < alone) {
                    add(d, kSnack4, QStringLiteral("INNOCENT"));
                    with += planted[size_t(d)] ? 1 : 0;
                }
            }
        }
    }
    // Scores: a latent AR(1) of unit spread 2 about 6, the drift, the planted
    // effect on the next day; rounded and clipped to 1-10.
    double latent = 0;
    for (int d = 0; d < n; ++d) {
        latent = shape.phi * latent + std::sqrt(1 - shape.phi * shape.phi) * normal(rng);
        double s = shape.skewed ? 8.5 - std::gamma_distribution<double>(2.0, 1.2)(rng) + 0.8 * latent : 6 + 2 * latent;
        s += shape.trend * d / 730.0;
        if (d > 0 && planted[size_t(d - 1)])
            s += shape.plantedEffect;
        rows[size_t(d)].score = std::clamp(std::round(s), 1.0, 10.0);
    }
    return rows;
}

// Whether any item of the diary has a "seems to ..." verdict.
inline bool anyVerdict(const analysis::Insights &in)
{
    for (const analysis::ItemStats &s : in.items) {
        if (s.verdict == analysis::Verdict::SeemsToAgree || s.verdict == analysis::Verdict::SeemsToDisagree)
            return true;
    }
    return false;
}

inline const analysis::ItemStats *item(const analysis::Insights &in, const QString &name)
{
    for (const analysis::ItemStats &s : in.items) {
        if (s.item == name)
            return &s;
    }
    return nullptr;
}

} // namespace sim
