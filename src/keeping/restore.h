#pragma once

#include <QDateTime>
#include <QString>

// Putting a backup in the diary's place.
namespace keeping {

struct RestoreResult
{
    QString error;        // empty on success; then nothing was changed
    QString safetyBackup; // the backup of the diary as it was, made first
    bool ok() const { return error.isEmpty(); }
};

// Checks `backupPath` in full (integrity, tables, columns, query, a format no
// newer than this program's) before anything changes; backs the current diary
// up (a damaged one is kept as it stands, Damaged-...mdb); copies the backup
// to a temporary file beside the diary, syncs it and renames it over the
// diary under the diary's exclusive lock, then syncs the folder. Killed at any
// moment, the folder holds the old diary or the restored one, whole.
RestoreResult restoreDiary(const QString &diaryPath, const QString &backupPath, const QDateTime &now);

} // namespace keeping
