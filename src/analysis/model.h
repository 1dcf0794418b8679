#pragma once

#include <Eigen/Dense>

#include <functional>
#include <vector>

// The regression behind the insights, in plain numbers: sparse rows in, a
// whitened least-squares fit out. No diary, no items, no window code.
namespace analysis {

// One non-zero of a design row.
struct Entry
{
    int column = 0;
    double value = 0;
};
using SparseRow = std::vector<Entry>; // columns ascending, each once

// Clamped cubic B-splines in the day number u on [0, span - 1], with an
// interior knot every 90 days (K = floor((span - 1) / 90), equally spaced).
// They sum to one everywhere, so with an intercept the first is dropped:
// count() is K + 3. At most four are non-zero on any day.
class TimeSplines
{
public:
    explicit TimeSplines(int span);
    int count() const { return m_count; }
    // Every kept spline's value at u (count() of them), for tests and charts.
    std::vector<double> values(double u) const;
    // The non-zero values at u, as columns firstColumn + spline index.
    void append(double u, int firstColumn, SparseRow &row) const;

private:
    std::vector<double> m_knots;
    int m_count = 0;
};

// The regression's rows: previous[i] is the row of the calendar day before
// row i, or -1 where the chain of days breaks.
struct Design
{
    int columns = 0;
    std::vector<SparseRow> x;
    std::vector<double> y;
    std::vector<int> previous;
    // The first column whose variance the fit works out at once; the
    // variances of those before it (the intercept and the time columns,
    // which no verdict reads) come only from ModelFit::fullInverseDiagonal.
    int variancesFrom = 0;
};

// Ordinary least squares through the normal equations built from the sparse
// rows, with 1e-9 * trace / k on the diagonal so that columns that coincide
// do not stop the solve.
struct LeastSquares
{
    bool ok = false;
    Eigen::VectorXd beta;
    std::vector<double> residuals;
};
LeastSquares leastSquares(const Design &design);
// The same by conjugate gradients on the normal equations (CGLS, columns
// scaled to unit length), touching only the sparse rows: for wide designs,
// where a dense factor costs k^3 / 3. Not ok when it has not converged.
LeastSquares leastSquaresIterative(const Design &design, int maxIterations = 2000);

// The day-to-day carry-over of the residuals: sum e_i e_prev / sum e_i^2,
// the numerator over rows whose previous day is a row; clipped to [0, 0.95].
double carryOver(const std::vector<double> &residuals, const std::vector<int> &previous);

// Prais-Winsten: a row with a previous row becomes x_i - phi * x_prev (and y
// alike); the first row of a chain is scaled by sqrt(1 - phi^2).
Design whitened(const Design &design, double phi);
SparseRow whitenedRow(const SparseRow &row, const SparseRow *previous, double phi);

// The fit the verdicts read: OLS, the carry-over, the whitened refit with its
// pooled variance on N - k degrees of freedom. The OLS serves only the
// carry-over's estimate; wide designs get it by CGLS.
struct ModelFit
{
    bool ok = false;
    bool cancelled = false;
    int rows = 0;
    int columns = 0;
    int df = 0;
    double phi = 0;
    double s2 = 0;
    Eigen::VectorXd beta;
    // (A^-1)_jj of the whitened A = X*'X*, from Design::variancesFrom on
    // (0 before it).
    Eigen::VectorXd inverseDiagonal;
    Eigen::VectorXd centredSquares; // each whitened column's squares about its mean
    Eigen::MatrixXd factor;         // L where A (with its ridges) = L L'
    std::vector<int> peeredColumns;
    std::vector<double> peerRidges;
    std::vector<double> residuals; // of the whitened fit
    double residualSquares = 0;
    // Variance inflation of column j: how much its variance grows through
    // the other columns (1 when it shares nothing with them).
    double inflation(int j) const { return inverseDiagonal[j] * centredSquares[j]; }
    // Row j of A^-1, by two triangular solves.
    Eigen::VectorXd inverseRow(int j) const;
    // (A^-1)_jj of every column; it costs a third of the factor.
    Eigen::VectorXd fullInverseDiagonal() const;
    int peered = 0; // columns measured against their peers
};
// `keepGoing` is asked between the stages; false stops the fit (cancelled).
// `peered` names columns that with others add up to the intercept (a field
// that always holds one of a few items): only their differences can be
// measured, so they get a small ridge instead of the tiny one everywhere,
// which makes each such column's effect the one against its set's usual
// (frequency-weighted) member, with that estimate's own variance.
ModelFit fitModel(const Design &design, const std::function<bool(int percent)> &keepGoing = {},
                  const std::vector<int> &peered = {});

// A coefficient's t test: se = sqrt(variance), t = estimate / se, two-sided p
// on `df` degrees of freedom and the 95% interval.
struct CoefficientTest
{
    double estimate = 0;
    double se = 0;
    double t = 0;
    double p = 1;
    double low = 0;
    double high = 0;
};
CoefficientTest tTest(double estimate, double variance, int df);

} // namespace analysis
