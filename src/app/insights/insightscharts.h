#pragma once

#include "analysis/insights.h"

class QChart;

// The insights window's pictures, made from the computed table.
namespace insightscharts {

// The tested items with the largest differences (at most `count`), each a
// point with its 95% interval, and the zero line.
QChart *forestPlot(const analysis::Insights &insights, int count = 10);

// Each day's score with its 7- and 30-day rolling means.
QChart *scoreOverTime(const analysis::Insights &insights);

} // namespace insightscharts
