#pragma once

#include <optional>
#include <vector>

// The statistics behind the insights table. Plain numbers in, plain numbers out.
namespace analysis {

// Summary of one group of outcomes.
struct Moments
{
    double n = 0;
    double sum = 0;
    double sumSquares = 0;
    double mean() const { return sum / n; }
    double variance() const; // sample variance (n - 1); 0 below two values
};

// The difference of two means (a - b) with its two-sided confidence interval
// by Welch's t, which does not assume equal spread: the days with an item are
// few and their spread need not be that of the rest. Nothing when either group
// has fewer than two values or both groups have no spread.
struct Interval
{
    double low = 0;
    double high = 0;
};
std::optional<Interval> welchInterval(const Moments &a, const Moments &b, double level = 0.95);

// Benjamini-Hochberg q-values (the step-up adjusted p-values), in the order of
// `p`; equal p-values get equal q. With `dependent`, Benjamini-Yekutieli's
// factor sum(1/i) is applied as well, which holds under any dependence.
std::vector<double> benjaminiHochberg(const std::vector<double> &p, bool dependent = false);

} // namespace analysis
