#pragma once

#include "analysis/insights.h"

#include <QString>

#include <vector>

namespace analysis {

// What the insights need of a diary, read once and only read.
struct DiaryContents
{
    std::vector<DiaryDay> rows;
    OwnLists lists; // the first food and medication row; empty when there is none
    QString error;  // empty when the read succeeded; otherwise words for the user
};

// Opens the diary at `path` (never creating it), reads the item, date and
// score columns of every day and the food and medication row, and closes it.
DiaryContents readDiaryContents(const QString &path);

// The fixed select of the day columns it reads (for the benchmark's floor).
QString daysSelect();

} // namespace analysis
