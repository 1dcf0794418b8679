#pragma once

#include <QString>
#include <QStringList>

// The one place that knows the diary file, its tables, columns, query and the
// fixed record-source texts of the three windows. Bracketed names are read by
// SQLite as they stand.
namespace diary {

// "C:\MEALWISE\Records.mdb" on Windows; elsewhere the drive root stands for
// the user's home folder: ~/MEALWISE/Records.mdb.
QString databasePath();
QString databaseFolder();
// Empty when databasePath() names a file of this user's; otherwise why not
// (HOME unset, empty or relative would put the diary at the root or wherever
// the program happens to start), in words a user can act on.
QString databasePathProblem();
inline constexpr char kFileName[] = "Records.mdb";
inline constexpr char kFolderName[] = "MEALWISE";

inline constexpr char kRecordsTable[] = "records";
inline constexpr char kFoodTable[] = "FOOD AND MEDICATION";
inline constexpr char kDiaryQuery[] = "Diary Query";

// Columns of `records` (diarycolumns.h), in the order the daily record window
// selects them.
const QStringList &recordsColumns();
// Columns of `FOOD AND MEDICATION`.
const QStringList &foodColumns();
// Columns of `Diary Query`: the day, then the colour groups of the daily
// record window, then ID, which the grid keeps as each row's hidden key.
const QStringList &diaryQueryColumns();

// Record sources, exactly as the windows' data controls carry them.
QString mainRecordSource();    // "Diary Query"
QString recordsRecordSource(); // the `records` select
QString foodRecordSource();    // the `FOOD AND MEDICATION` select

// The statement by which a data control opens a record source that names a
// saved query rather than giving a select.
QString selectForRecordSource(const QString &recordSource);

} // namespace diary
