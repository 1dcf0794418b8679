#include "analysis/stats.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace analysis {

double Moments::variance() const
{
    if (n < 2)
        return 0;
    const double v = (sumSquares - sum * sum / n) / (n - 1);
    return v > 0 ? v : 0;
}

std::optional<Interval> welchInterval(const Moments &a, const Moments &b, double level)
{
    if (a.n < 2 || b.n < 2)
        return std::nullopt;
    const double va = a.variance() / a.n;
    const double vb = b.variance() / b.n;
    const double se2 = va + vb;
    if (!(se2 > 0))
        return std::nullopt;
    // Welch-Satterthwaite degrees of freedom.
    const double df = se2 * se2 / (va * va / (a.n - 1) + vb * vb / (b.n - 1));
    const boost::math::students_t dist(df);
    const double t = boost::math::quantile(dist, 0.5 + level / 2);
    const double d = a.mean() - b.mean();
    const double half = t * std::sqrt(se2);
    return Interval{d - half, d + half};
}

Ranks midRanks(const std::vector<double> &values)
{
    Ranks r;
    const size_t n = values.size();
    r.rank.assign(n, 0);
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return values[x] < values[y]; });
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j + 1 < n && values[order[j + 1]] == values[order[i]])
            ++j;
        const double mid = (double(i) + double(j)) / 2 + 1;
        for (size_t k = i; k <= j; ++k)
            r.rank[order[k]] = mid;
        const double t = double(j - i + 1);
        r.tieTerm += t * t * t - t;
        i = j + 1;
    }
    return r;
}

UTest mannWhitney(double rankSum, double n, double total, double tieTerm)
{
    UTest result;
    const double m = total - n;
    result.u = rankSum - n * (n + 1) / 2;
    if (n < 1 || m < 1)
        return result;
    const double mean = n * m / 2;
    const double variance = n * m / 12 * ((total + 1) - tieTerm / (total * (total - 1)));
    if (!(variance > 0))
        return result; // every value equal: no evidence either way
    const double distance = std::max(0.0, std::abs(result.u - mean) - 0.5);
    const double z = distance / std::sqrt(variance);
    result.p = std::min(1.0, 2 * boost::math::cdf(boost::math::complement(boost::math::normal(), z)));
    return result;
}

std::vector<double> benjaminiHochberg(const std::vector<double> &p, bool dependent)
{
    const size_t m = p.size();
    std::vector<double> q(m, 1);
    if (m == 0)
        return q;
    double factor = 1;
    if (dependent) {
        factor = 0;
        for (size_t i = 1; i <= m; ++i)
            factor += 1.0 / double(i);
    }
    std::vector<size_t> order(m);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return p[a] < p[b]; });
    // From the largest p down, the running minimum of p * m / rank; ties take
    // the rank of the last of them, so they share one q.
    double running = 1;
    for (size_t i = m; i-- > 0;) {
        size_t last = i;
        while (last + 1 < m && p[order[last + 1]] == p[order[i]])
            ++last;
        const double value = p[order[i]] * double(m) * factor / double(last + 1);
        running = std::min(running, value);
        q[order[i]] = std::min(1.0, running);
    }
    return q;
}

} // namespace analysis
