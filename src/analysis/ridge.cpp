#include "analysis/ridge.h"

#include <Eigen/Dense>

#include <cmath>
#include <limits>

namespace analysis {

RidgeFit ridgeByLeaveOneOut(const std::vector<std::vector<int>> &rows, const std::vector<double> &y, int columns)
{
    RidgeFit fit;
    const Eigen::Index n = Eigen::Index(rows.size());
    const Eigen::Index p = columns;
    if (n < 3 || p < 1 || y.size() != rows.size())
        return fit;

    // Counts, co-occurrences and the sums of the centred outcome.
    double yMean = 0;
    for (double v : y)
        yMean += v;
    yMean /= double(n);
    Eigen::VectorXd count = Eigen::VectorXd::Zero(p);
    Eigen::MatrixXd gram = Eigen::MatrixXd::Zero(p, p);
    Eigen::VectorXd xty = Eigen::VectorXd::Zero(p);
    for (Eigen::Index i = 0; i < n; ++i) {
        const std::vector<int> &r = rows[size_t(i)];
        const double yc = y[size_t(i)] - yMean;
        for (int a : r) {
            count[a] += 1;
            xty[a] += yc;
            for (int b : r)
                gram(a, b) += 1;
        }
    }
    const Eigen::VectorXd mean = count / double(n);
    gram -= double(n) * mean * mean.transpose();

    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(gram);
    const Eigen::MatrixXd &v = eigen.eigenvectors();
    const Eigen::VectorXd d = eigen.eigenvalues().cwiseMax(0.0);
    const Eigen::VectorXd w = v.transpose() * xty;

    // Z = X_centred * V, built from each row's few items.
    const Eigen::RowVectorXd offset = mean.transpose() * v;
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> z(n, p);
    for (Eigen::Index i = 0; i < n; ++i) {
        z.row(i) = -offset;
        for (int a : rows[size_t(i)])
            z.row(i) += v.row(a);
    }
    const Eigen::MatrixXd z2 = z.array().square().matrix();
    Eigen::VectorXd yc(n);
    for (Eigen::Index i = 0; i < n; ++i)
        yc[i] = y[size_t(i)] - yMean;

    double bestError = std::numeric_limits<double>::infinity();
    Eigen::VectorXd bestAlpha;
    // Half a decade apart: the error changes slowly with the penalty.
    for (int step = 0; step <= 12; ++step) {
        const double lambda = 0.01 * std::pow(10.0, step / 2.0);
        const Eigen::VectorXd inv = (d.array() + lambda).inverse().matrix();
        const Eigen::VectorXd alpha = w.cwiseProduct(inv);
        const Eigen::VectorXd fitted = z * alpha;
        const Eigen::VectorXd leverage = (z2 * inv).array() + 1.0 / double(n);
        double error = 0;
        for (Eigen::Index i = 0; i < n; ++i) {
            const double denominator = std::max(1.0 - leverage[i], 1e-9);
            const double e = (yc[i] - fitted[i]) / denominator;
            error += e * e;
        }
        if (error < bestError) {
            bestError = error;
            bestAlpha = alpha;
            fit.lambda = lambda;
        }
    }
    const Eigen::VectorXd beta = v * bestAlpha;
    fit.effect.assign(beta.data(), beta.data() + p);
    fit.ok = true;
    return fit;
}

} // namespace analysis
