#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include "keeping/privatefiles.h"

// Backups of the diary: consistent copies made with SQLite's online backup
// while the diary may be open, into a private folder `Backups` beside it,
// named by the moment they were made; a rotation keeps a few of every age.
namespace keeping {

// <diary's folder>/Backups
QString backupsFolder(const QString &diaryPath);

// The diary's file name without its extension ("Records" for Records.mdb):
// every file named after the diary (backups, kept copies) starts with it.
QString diaryStem(const QString &diaryPath);

// The name a backup made at `when` of the diary `diaryPath` gets:
// Records-YYYY-MM-DD-HHMMSS.mdb.
QString backupFileName(const QString &diaryPath, const QDateTime &when);
// The moment a backup's file name gives; invalid for any other name.
QDateTime backupTime(const QString &fileName, const QString &stem = QStringLiteral("Records"));

struct BackupResult
{
    QString path;        // the backup made
    QString error;       // empty on success
    QStringList removed; // older backups the rotation removed
    bool ok() const { return error.isEmpty(); }
};

// Copies the diary into the backups folder (or to `target`, which must not
// exist) the safe way: a temporary name, synced, checked with quick_check,
// then renamed. A failed backup leaves every older one in place. Into the
// folder, the rotation follows, `now` being the moment of the backup.
BackupResult backUp(const QString &diaryPath, const QDateTime &now, const QString &target = QString());

// Of backups made at `times`, which to keep at `now`: the last 10, the newest
// of each of the last 30 days and the newest of each of the last 24 months
// (and any dated after `now`, which a clock set back made).
QList<bool> backupsToKeep(const QList<QDateTime> &times, const QDateTime &now);

// Removes from `folder` the backups that backupsToKeep lets go, and leftovers
// of backups that died more than an hour before `now`. Returns the removed names.
QStringList rotateBackups(const QString &folder, const QDateTime &now, const QString &stem = QStringLiteral("Records"));

struct BackupInfo
{
    QString path;
    QDateTime time;
    qint64 size = 0;
    qint64 days = -1; // -1 when the file could not be read
    QDate first, last;
    bool damaged = false; // a damaged diary kept before a restore, not a backup
};

// The backups of the diary at `diaryPath`, newest first, with what each
// holds; the damaged diaries kept before a restore among them.
QList<BackupInfo> listBackups(const QString &diaryPath);
BackupInfo describeBackup(const QString &path);

// The name a damaged diary gets when it is kept before a restore:
// <stem>-Damaged-YYYY-MM-DD-HHMMSS.mdb, which the rotation never removes.
QString damagedFileName(const QString &diaryPath, const QDateTime &when);

// A copy, in `folder` under a temporary name, of the database `path` with the
// interrupted change its journal holds undone; `path` and its journal stay as
// they are.
MadeFile rolledBackCopy(const QString &path, const QString &folder, const QString &stem);

// Copies a consistent image of the database `source` into a new temporary
// file in `folder` (0600), synced and checked. The copy uses a rollback
// journal whatever the source used.
MadeFile snapshotInto(const QString &source, const QString &folder, const QString &stem);

} // namespace keeping
