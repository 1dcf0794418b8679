#pragma once

#include <QDate>
#include <QString>

namespace diary {

// The format of the diary file, kept in PRAGMA user_version. A program reads
// a diary of its own format or older; a newer one is refused rather than
// misread. Diaries made before the number was kept hold 0.
inline constexpr int kSchemaVersion = 1;

// Whether `records` refuses scores outside 1 to 10 and BMs below 0. Diaries
// kept before the checks took stored values as they came; a diary converted
// from one of them "as is" is made the same way (the whole-number and
// calendar-date checks stay).
enum class RangeChecks { On, Off };

// Creates a new, empty diary at `path`: the folder (mode 0700) where missing,
// the file (mode 0600), both tables, the one empty food and medication row and
// the ranking query. Never touches an existing file. Returns an empty string on
// success, else a message a user can read.
QString createDiary(const QString &path, RangeChecks ranges = RangeChecks::On);

// Adds `days` plausible days, one per calendar day ending the day before
// `today` (days before 1900 are not made: a longer count goes round
// again), with varied scores, meals, drinks and medications. The same `seed`
// and `today` give the same days. Empty string on success.
QString addSampleDays(const QString &path, int days, const QDate &today, quint32 seed = 20261209);

// The statements that make the schema, for tests that build odd diaries.
QString createRecordsTableSql(RangeChecks ranges = RangeChecks::On);
QString createFoodTableSql();
QString createDiaryQuerySql();

} // namespace diary
