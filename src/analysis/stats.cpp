#include "analysis/stats.h"

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
