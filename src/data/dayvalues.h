#pragma once

#include <QString>

#include <optional>

// The one rule for a day's numbers, as a new diary's CHECKs hold it: OVERALL
// SCORE a whole number from 1 to 10, BMs one from 0 up. The daily record
// window, the import and the conversion of an Access diary all ask it.
// (A day's DATE has its one reader in datetext.)
namespace diary {

struct NumberRange
{
    qint64 low;
    qint64 high;
};

// The range of `column`, or nothing for a column that is no day number.
std::optional<NumberRange> dayNumberRange(const QString &column);

// Empty when `value` may be stored in `column`; else why not, for example
// "OVERALL SCORE 11 is not from 1 to 10".
QString dayNumberProblem(const QString &column, qint64 value);

} // namespace diary
