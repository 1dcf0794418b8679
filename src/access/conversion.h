#pragma once

#include "access/diarymapping.h"
#include "access/jetreader.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// Converting an Access diary file into a MEALWISE diary: what the command
// line and the start window both call. The Access file is only ever read,
// and at most renamed aside whole.
namespace jet {

struct PreparedConversion
{
    QString error;      // the file cannot be converted (read failure, no records table)
    QStringList tables; // the file's tables
    int jetVersion = -1;
    QString textEncoding;
    qint64 sourceRows = 0;
    ConversionPlan plan;
    bool ok() const { return error.isEmpty() && plan.ok(); }
};

// Reads `records` and `FOOD AND MEDICATION` from `accessPath` and plans the
// diary. `read` gives the reader's time limit, progress and cancel.
PreparedConversion prepareConversion(const QString &accessPath, bool asIs, int currentYear,
                                     const ReadOptions &read = {});

// "<stem>-access-YYYY-MM-DD-HHMMSS.mdb" beside `diaryPath`.
QString keptAccessName(const QString &diaryPath, const QDateTime &now);
// The kept Access files beside `diaryPath`, newest name first.
QStringList keptAccessFiles(const QString &diaryPath);

struct ReplaceResult
{
    QString error;
    QString keptPath; // where the Access file now is
    bool ok() const { return error.isEmpty(); }
};

// For an Access file at the diary's own path: the new diary is written and
// checked under a temporary name, then the Access file is renamed aside to
// keptAccessName() (its bytes and mode unchanged) and the new diary renamed
// into its place, the folder synced after each.
ReplaceResult replaceAccessDiary(const PreparedConversion &prepared, const QString &diaryPath, const QDateTime &now,
                                 const WriteOptions &write = {});

} // namespace jet
