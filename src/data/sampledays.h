#pragma once

#include <QDate>
#include <QHash>
#include <QRandomGenerator>
#include <QString>
#include <QVariant>

namespace diary {

// One generated day: a value (or NULL) for every column of `records` but ID.
using SampleDay = QHash<QString, QVariant>;

// Plausible diary days for trying the program out and for benchmarks.
class SampleDays
{
public:
    SampleDays(quint32 seed, const QDate &today)
        : m_random(seed)
        , m_today(today)
    {}
    // The day `daysAgo` days before `today`; counts that reach before
    // 1900 go round again from the day before `today`.
    SampleDay day(int daysAgo);

private:
    QString pick(const QStringList &items);
    QRandomGenerator m_random;
    QDate m_today;
};

} // namespace diary
