#pragma once

#include <QDateTime>
#include <QString>

// The backups the program makes by itself: once before the first delete of a
// run (so that a day deleted by mistake can be had back) and at the end of a
// run that wrote to the diary. A backup that fails at the end is reported at
// the next start, since nothing may wait for a click while the program ends.
namespace app {

class AutoBackup
{
public:
    // Starts watching the writes to `diaryPath` for this run.
    static void install(const QString &diaryPath);
    // Marks the diary as changed (writes that do not go through a row set).
    static void noteChanged();
    static bool changed();
    // At the end of a run: backs up when something was written. Returns the
    // failure, which is also kept for the next start; empty when all went well.
    static QString atExit(const QDateTime &now);
    // The failure the previous run kept, once; empty when there was none.
    static QString takeFailureOfLastRun();
};

} // namespace app
