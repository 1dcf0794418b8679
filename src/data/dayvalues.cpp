#include "data/dayvalues.h"

#include "data/diarycolumns.h"

#include <QCoreApplication>

#include <limits>

namespace diary {

std::optional<NumberRange> dayNumberRange(const QString &column)
{
    const DiaryColumn *c = findColumn(column);
    if (c && c->kind == ColumnKind::Score)
        return NumberRange{1, 10};
    if (c && c->kind == ColumnKind::Count)
        return NumberRange{0, std::numeric_limits<qint64>::max()};
    return std::nullopt;
}

QString dayNumberProblem(const QString &column, qint64 value)
{
    const std::optional<NumberRange> range = dayNumberRange(column);
    if (!range || (value >= range->low && value <= range->high))
        return {};
    if (range->high == std::numeric_limits<qint64>::max())
        return QCoreApplication::translate("diary", "%1 %2 is below %3").arg(column).arg(value).arg(range->low);
    return QCoreApplication::translate("diary", "%1 %2 is not from %3 to %4")
        .arg(column)
        .arg(value)
        .arg(range->low)
        .arg(range->high);
}

} // namespace diary
