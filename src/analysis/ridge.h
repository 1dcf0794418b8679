#pragma once

#include <vector>

namespace analysis {

// One ridge regression of an outcome on the presence (0/1) of `columns`
// items: row i holds the items rows[i] (each index once) and the outcome y[i].
// The intercept is not penalised (items and outcome are centred first).
//
// The penalty is chosen by exact leave-one-out error over a fixed grid from
// 0.01 to 10,000: small where the items rarely share days (the fit is then
// nearly least squares), larger where they do, so that two foods always eaten
// together share their effect instead of trading wild opposite ones. It is
// computed through the eigen-decomposition of the centred Gram matrix, so
// that the whole grid costs little more than one fit.
struct RidgeFit
{
    std::vector<double> effect; // per column, in outcome units
    double lambda = 0;
    bool ok = false; // false with fewer than three rows or no column
};
RidgeFit ridgeByLeaveOneOut(const std::vector<std::vector<int>> &rows, const std::vector<double> &y, int columns);

} // namespace analysis
