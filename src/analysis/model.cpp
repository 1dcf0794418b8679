#include "analysis/model.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {
constexpr int kKnotSpacingDays = 90;
constexpr double kTinyRidge = 1e-9;
// The ridge on columns measured against their peers, relative to each one's
// own square sum: small enough not to move what the days determine, large
// enough that the variance it adds can be taken off again in doubles.
constexpr double kPeerRidge = 1e-6;
constexpr double kMaxCarryOver = 0.95;
constexpr int kIterativeFromColumns = 1200;
} // namespace

TimeSplines::TimeSplines(int span)
{
    const double end = std::max(1, span - 1);
    const int interior = std::max(0, span - 1) / kKnotSpacingDays;
    m_knots.assign(4, 0.0);
    for (int i = 1; i <= interior; ++i)
        m_knots.push_back(end * i / (interior + 1));
    m_knots.insert(m_knots.end(), 4, end);
    m_count = interior + 3;
}

void TimeSplines::append(double u, int firstColumn, SparseRow &row) const
{
    // de Boor's recurrence for the four cubic splines non-zero on the knot
    // interval that holds u (the last interval is closed at its right end).
    const int last = int(m_knots.size()) - 5; // the last interval's left knot index
    const double end = m_knots.back();
    u = std::clamp(u, 0.0, end);
    int s = int(std::upper_bound(m_knots.begin(), m_knots.end(), u) - m_knots.begin()) - 1;
    s = std::clamp(s, 3, last);
    double n[4] = {1, 0, 0, 0};
    double left[4] = {0, 0, 0, 0};
    double right[4] = {0, 0, 0, 0};
    for (int j = 1; j <= 3; ++j) {
        left[j] = u - m_knots[size_t(s) + 1 - size_t(j)];
        right[j] = m_knots[size_t(s) + size_t(j)] - u;
        double saved = 0;
        for (int r = 0; r < j; ++r) {
            const double temp = n[r] / (right[r + 1] + left[j - r]);
            n[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        n[j] = saved;
    }
    for (int r = 0; r < 4; ++r) {
        const int basis = s - 3 + r; // the first basis is the one dropped
        if (basis >= 1 && n[r] != 0)
            row.push_back({firstColumn + basis - 1, n[r]});
    }
}

std::vector<double> TimeSplines::values(double u) const
{
    std::vector<double> v(size_t(m_count), 0.0);
    SparseRow row;
    append(u, 0, row);
    for (const Entry &e : row)
        v[size_t(e.column)] = e.value;
    return v;
}

namespace {

// The lower triangle of X'X and X'y, from each row's few non-zeros; `row(i,
// scratch, y)` gives row i (built in scratch where it must be) and its y.
template <typename Row>
void accumulateRows(size_t n, int columns, Row &&row, Eigen::MatrixXd &a, Eigen::VectorXd &b, Eigen::VectorXd *sums,
                    const std::function<bool(int)> &keepGoing, int from, int to, bool *stopped)
{
    a.setZero(columns, columns);
    b.setZero(columns);
    if (sums)
        sums->setZero(columns);
    SparseRow scratch;
    for (size_t i = 0; i < n; ++i) {
        if (keepGoing && (i & 4095) == 4095 && !keepGoing(from + int((to - from) * double(i) / double(n)))) {
            *stopped = true;
            return;
        }
        double y = 0;
        const SparseRow &r = row(i, scratch, y);
        for (size_t p = 0; p < r.size(); ++p) {
            const int c = r[p].column;
            const double v = r[p].value;
            b[c] += v * y;
            if (sums)
                (*sums)[c] += v;
            double *column = a.col(c).data();
            for (size_t q = p; q < r.size(); ++q)
                column[r[q].column] += v * r[q].value;
        }
    }
}

void accumulate(const Design &d, Eigen::MatrixXd &a, Eigen::VectorXd &b, Eigen::VectorXd *sums,
                const std::function<bool(int)> &keepGoing, int from, int to, bool *stopped)
{
    accumulateRows(
        d.x.size(), d.columns,
        [&](size_t i, SparseRow &, double &y) -> const SparseRow & {
            y = d.y[i];
            return d.x[i];
        },
        a, b, sums, keepGoing, from, to, stopped);
}

// whitenedRow into `out`, whose room is kept from row to row.
void whitenedRowInto(const SparseRow &row, const SparseRow *previous, double phi, SparseRow &out)
{
    out.clear();
    if (!previous) {
        const double scale = std::sqrt(1 - phi * phi);
        out.reserve(row.size());
        for (const Entry &e : row)
            out.push_back({e.column, scale * e.value});
        return;
    }
    // Merge the two sorted rows.
    out.reserve(row.size() + previous->size());
    size_t i = 0, j = 0;
    while (i < row.size() || j < previous->size()) {
        if (j == previous->size() || (i < row.size() && row[i].column < (*previous)[j].column)) {
            out.push_back(row[i++]);
        } else if (i == row.size() || (*previous)[j].column < row[i].column) {
            if (phi != 0)
                out.push_back({(*previous)[j].column, -phi * (*previous)[j].value});
            ++j;
        } else {
            const double v = row[i].value - phi * (*previous)[j].value;
            if (v != 0)
                out.push_back({row[i].column, v});
            ++i;
            ++j;
        }
    }
}

// Row i of the whitened design, built in `scratch`, without a copy of the
// whole design.
const SparseRow &whitenedAt(const Design &d, double phi, size_t i, SparseRow &scratch, double &y)
{
    const int p = d.previous[i];
    y = p >= 0 ? d.y[i] - phi * d.y[size_t(p)] : std::sqrt(1 - phi * phi) * d.y[i];
    if (phi == 0)
        return d.x[i];
    whitenedRowInto(d.x[i], p >= 0 ? &d.x[size_t(p)] : nullptr, phi, scratch);
    return scratch;
}

// Factors the lower triangle of `a` in place, with the tiny ridge on every
// column, or with the peer ridge on the `peered` columns only (each one's
// ridge added to `ridges`).
bool factor(Eigen::MatrixXd &a, const std::vector<int> &peered = {}, std::vector<double> *ridges = nullptr)
{
    const Eigen::Index k = a.rows();
    if (k == 0)
        return false;
    if (peered.empty()) {
        const double ridge = kTinyRidge * a.diagonal().sum() / double(k);
        a.diagonal().array() += ridge > 0 ? ridge : kTinyRidge;
    } else {
        for (const int j : peered) {
            const double ridge = kPeerRidge * std::max(a(j, j), 1.0);
            a(j, j) += ridge;
            if (ridges)
                ridges->push_back(ridge);
        }
    }
    Eigen::LLT<Eigen::Ref<Eigen::MatrixXd>, Eigen::Lower> llt(a);
    return llt.info() == Eigen::Success;
}

Eigen::VectorXd solveFactored(const Eigen::MatrixXd &l, const Eigen::VectorXd &b)
{
    Eigen::VectorXd z = l.triangularView<Eigen::Lower>().solve(b);
    return l.triangularView<Eigen::Lower>().transpose().solve(z);
}

std::vector<double> residualsOf(const Design &d, const Eigen::VectorXd &beta)
{
    std::vector<double> e(d.x.size());
    for (size_t i = 0; i < d.x.size(); ++i) {
        double fitted = 0;
        for (const Entry &en : d.x[i])
            fitted += en.value * beta[en.column];
        e[i] = d.y[i] - fitted;
    }
    return e;
}

} // namespace

LeastSquares leastSquares(const Design &design)
{
    LeastSquares out;
    Eigen::MatrixXd a;
    Eigen::VectorXd b;
    bool stopped = false;
    accumulate(design, a, b, nullptr, {}, 0, 0, &stopped);
    if (!factor(a))
        return out;
    out.beta = solveFactored(a, b);
    out.residuals = residualsOf(design, out.beta);
    out.ok = out.beta.allFinite();
    return out;
}

LeastSquares leastSquaresIterative(const Design &design, int maxIterations)
{
    LeastSquares out;
    const Eigen::Index k = design.columns;
    const size_t n = design.x.size();
    // Column scales: 1 / the column's length.
    Eigen::VectorXd scale = Eigen::VectorXd::Zero(k);
    for (const SparseRow &r : design.x) {
        for (const Entry &e : r)
            scale[e.column] += e.value * e.value;
    }
    for (Eigen::Index j = 0; j < k; ++j)
        scale[j] = scale[j] > 0 ? 1 / std::sqrt(scale[j]) : 0;
    const auto times = [&](const Eigen::VectorXd &v, std::vector<double> &into) {
        for (size_t i = 0; i < n; ++i) {
            double sum = 0;
            for (const Entry &e : design.x[i])
                sum += e.value * scale[e.column] * v[e.column];
            into[i] = sum;
        }
    };
    const auto transposeTimes = [&](const std::vector<double> &r) {
        Eigen::VectorXd s = Eigen::VectorXd::Zero(k);
        for (size_t i = 0; i < n; ++i) {
            for (const Entry &e : design.x[i])
                s[e.column] += e.value * r[i];
        }
        return Eigen::VectorXd(s.cwiseProduct(scale));
    };
    Eigen::VectorXd b = Eigen::VectorXd::Zero(k);
    std::vector<double> r = design.y;
    std::vector<double> q(n);
    Eigen::VectorXd s = transposeTimes(r);
    Eigen::VectorXd p = s;
    double gamma = s.squaredNorm();
    const double target = 1e-20 * gamma;
    bool converged = gamma == 0;
    for (int it = 0; it < maxIterations && !converged; ++it) {
        times(p, q);
        double qq = 0;
        for (const double v : q)
            qq += v * v;
        if (!(qq > 0))
            break;
        const double alpha = gamma / qq;
        b += alpha * p;
        for (size_t i = 0; i < n; ++i)
            r[i] -= alpha * q[i];
        s = transposeTimes(r);
        const double next = s.squaredNorm();
        converged = next <= target;
        p = s + (next / gamma) * p;
        gamma = next;
    }
    out.beta = b.cwiseProduct(scale);
    out.residuals = std::move(r);
    out.ok = converged && out.beta.allFinite();
    return out;
}

double carryOver(const std::vector<double> &residuals, const std::vector<int> &previous)
{
    double cross = 0;
    double squares = 0;
    for (size_t i = 0; i < residuals.size(); ++i) {
        squares += residuals[i] * residuals[i];
        if (previous[i] >= 0)
            cross += residuals[i] * residuals[size_t(previous[i])];
    }
    if (!(squares > 0))
        return 0;
    return std::clamp(cross / squares, 0.0, kMaxCarryOver);
}

SparseRow whitenedRow(const SparseRow &row, const SparseRow *previous, double phi)
{
    SparseRow out;
    whitenedRowInto(row, previous, phi, out);
    return out;
}

Design whitened(const Design &design, double phi)
{
    Design out;
    out.columns = design.columns;
    out.previous = design.previous;
    out.x.resize(design.x.size());
    out.y.resize(design.y.size());
    for (size_t i = 0; i < design.x.size(); ++i) {
        const int p = design.previous[i];
        out.x[i] = whitenedRow(design.x[i], p >= 0 ? &design.x[size_t(p)] : nullptr, phi);
        out.y[i] = p >= 0 ? design.y[i] - phi * design.y[size_t(p)] : std::sqrt(1 - phi * phi) * design.y[i];
    }
    return out;
}

Eigen::VectorXd ModelFit::inverseRow(int j) const
{
    // A^-1 e_j: L y = e_j, then L' x = y. (Solved as a matrix of one column:
    // Eigen's vector path puts its buffer where the static analyzer loses it.)
    Eigen::MatrixXd x = Eigen::MatrixXd::Zero(factor.rows(), 1);
    x(j, 0) = 1;
    factor.triangularView<Eigen::Lower>().solveInPlace(x);
    factor.triangularView<Eigen::Lower>().transpose().solveInPlace(x);
    return x.col(0);
}

namespace {

// (A^-1)_jj for j from `from` on. Column j of L^-1 is zero above row j and
// depends only on L's trailing block from j, so the trailing block's own
// inverse, a block of columns at a time, gives them.
Eigen::VectorXd inverseDiagonalFrom(const Eigen::MatrixXd &l, Eigen::Index from, const std::function<bool(int)> &stop)
{
    const Eigen::Index k = l.rows();
    Eigen::VectorXd d = Eigen::VectorXd::Zero(k);
    constexpr Eigen::Index kBlock = 128;
    Eigen::MatrixXd block;
    for (Eigen::Index j0 = from; j0 < k; j0 += kBlock) {
        if (stop && stop(int(100 * double(j0 - from) / double(k - from))))
            return {};
        const Eigen::Index width = std::min(kBlock, k - j0);
        block = Eigen::MatrixXd::Zero(k - j0, width);
        block.topRows(width).setIdentity();
        l.block(j0, j0, k - j0, k - j0).triangularView<Eigen::Lower>().solveInPlace(block);
        d.segment(j0, width) = block.colwise().squaredNorm().transpose();
    }
    return d;
}

// With the ridge R on the peered columns, the estimate's covariance is
// s^2 G A G with G = (A + R)^-1, which is G - G R G: the ridge's own share
// is taken off, so that what no day can tell (the level of the whole set
// against the intercept) adds nothing.
void takeOffPeerRidges(const ModelFit &fit, Eigen::VectorXd &diagonal, Eigen::Index from)
{
    const Eigen::Index k = diagonal.size();
    for (size_t p = 0; p < fit.peeredColumns.size(); ++p)
        diagonal.tail(k - from) -= fit.peerRidges[p] * fit.inverseRow(fit.peeredColumns[p]).tail(k - from).cwiseAbs2();
    diagonal = diagonal.cwiseMax(0.0);
}

} // namespace

Eigen::VectorXd ModelFit::fullInverseDiagonal() const
{
    Eigen::VectorXd d = inverseDiagonalFrom(factor, 0, {});
    takeOffPeerRidges(*this, d, 0);
    return d;
}

ModelFit fitModel(const Design &design, const std::function<bool(int percent)> &keepGoing,
                  const std::vector<int> &peered)
{
    ModelFit fit;
    fit.rows = int(design.x.size());
    fit.columns = design.columns;
    fit.df = fit.rows - fit.columns;
    if (fit.df < 1 || fit.columns < 1)
        return fit;
    const auto stop = [&](int percent) {
        if (keepGoing && !keepGoing(percent))
            fit.cancelled = true;
        return fit.cancelled;
    };

    Eigen::MatrixXd a;
    Eigen::VectorXd b;
    bool stopped = false;
    // The OLS residuals, for the carry-over: iteratively where the design is
    // wide (a dense factor would cost as much as the whitened one), by the
    // factor where that fails or the design is narrow.
    LeastSquares ols;
    if (design.columns > kIterativeFromColumns) {
        // No more iterations than the factor would cost (k^3 / 3 against
        // four passes over the non-zeros each).
        double nonZeros = 0;
        for (const SparseRow &r : design.x)
            nonZeros += double(r.size());
        const double k = design.columns;
        const double affordable = k * k * k / 3 / std::max(1.0, 4 * nonZeros);
        ols = leastSquaresIterative(design, int(std::min(2000.0, affordable)));
    }
    if (stop(15))
        return fit;
    if (!ols.ok) {
        accumulate(design, a, b, nullptr, keepGoing, 0, 15, &stopped);
        if (stopped || stop(15)) {
            fit.cancelled = true;
            return fit;
        }
        if (!factor(a, peered))
            return fit;
        ols.beta = solveFactored(a, b);
        if (!ols.beta.allFinite())
            return fit;
        ols.residuals = residualsOf(design, ols.beta);
    }
    if (stop(35))
        return fit;
    fit.phi = carryOver(ols.residuals, design.previous);

    const double phi = fit.phi;
    Eigen::VectorXd sums;
    accumulateRows(
        design.x.size(), design.columns,
        [&](size_t i, SparseRow &scratch, double &y) -> const SparseRow & {
            return whitenedAt(design, phi, i, scratch, y);
        },
        a, b, &sums, keepGoing, 35, 50, &stopped);
    if (stopped || stop(50)) {
        fit.cancelled = true;
        return fit;
    }
    fit.centredSquares = a.diagonal() - sums.cwiseAbs2() / double(fit.rows);
    std::vector<double> ridges;
    if (!factor(a, peered, &ridges))
        return fit;
    if (stop(70))
        return fit;
    fit.beta = solveFactored(a, b);
    if (!fit.beta.allFinite())
        return fit;
    fit.residuals.resize(design.x.size());
    {
        SparseRow scratch;
        for (size_t i = 0; i < design.x.size(); ++i) {
            double y = 0;
            const SparseRow &r = whitenedAt(design, phi, i, scratch, y);
            double fitted = 0;
            for (const Entry &en : r)
                fitted += en.value * fit.beta[en.column];
            fit.residuals[i] = y - fitted;
        }
    }
    for (const double e : fit.residuals)
        fit.residualSquares += e * e;
    fit.s2 = fit.residualSquares / fit.df;

    const Eigen::Index from = std::clamp<Eigen::Index>(design.variancesFrom, 0, a.rows());
    fit.factor = std::move(a);
    fit.peeredColumns = peered;
    fit.peerRidges = ridges;
    fit.inverseDiagonal = inverseDiagonalFrom(fit.factor, from, [&](int percent) { return stop(70 + percent / 4); });
    if (fit.cancelled)
        return fit;
    takeOffPeerRidges(fit, fit.inverseDiagonal, from);
    fit.peered = int(peered.size());
    fit.ok = fit.inverseDiagonal.allFinite();
    return fit;
}

CoefficientTest tTest(double estimate, double variance, int df)
{
    CoefficientTest t;
    t.estimate = estimate;
    t.se = std::sqrt(std::max(0.0, variance));
    t.low = t.high = estimate;
    if (df < 1 || !(t.se > 0) || !std::isfinite(t.se))
        return t;
    t.t = estimate / t.se;
    const boost::math::students_t dist(df);
    t.p = 2 * boost::math::cdf(boost::math::complement(dist, std::abs(t.t)));
    t.p = std::min(1.0, t.p);
    const double half = boost::math::quantile(boost::math::complement(dist, 0.025)) * t.se;
    t.low = estimate - half;
    t.high = estimate + half;
    return t;
}

} // namespace analysis
