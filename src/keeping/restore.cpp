#include "keeping/restore.h"

#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "keeping/privatefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

// Keeps a diary that cannot be backed up as it stands, with its journal.
// `diaryPath` is the user's path (the backups are beside it), `realPath` the
// file it is or leads to (the journal is beside that).
QString keepDamaged(const QString &diaryPath, const QString &realPath, const QDateTime &now, QString *kept)
{
    const QString folder = backupsFolder(diaryPath);
    const QString made = ensurePrivateFolder(folder);
    if (!made.isEmpty())
        return made;
    QFile f(realPath);
    if (!f.open(QIODevice::ReadOnly))
        return tr("%1 could not be read: %2").arg(realPath, f.errorString());
    const QString target = QDir(folder).filePath(damagedFileName(diaryPath, now));
    const QString written = writePrivateFile(target, f.readAll());
    if (!written.isEmpty())
        return written;
    *kept = target;
    const QString journal = realPath + QStringLiteral("-journal");
    if (QFileInfo::exists(journal)) {
        // A journal left beside the restored file would be played into it.
        const QString moved = renameInto(journal, target + QStringLiteral("-journal"), true);
        if (!moved.isEmpty())
            return moved;
    }
    return {};
}
} // namespace

RestoreResult restoreDiary(const QString &userPath, const QString &backupPath, const QDateTime &now)
{
    RestoreResult r;
    const QString unchanged = tr("Nothing was changed.");
    // Through a link, the file it leads to is replaced and the link stays.
    const QFileInfo userInfo(userPath);
    const QString diaryPath = userInfo.isSymLink() && userInfo.exists() ? userInfo.canonicalFilePath() : userPath;
    const QFileInfo backupInfo(backupPath);
    if (QFileInfo::exists(diaryPath) && backupInfo.exists() &&
        QFileInfo(diaryPath).canonicalFilePath() == backupInfo.canonicalFilePath()) {
        r.error = tr("%1 is the diary itself. %2").arg(backupPath, unchanged);
        return r;
    }
    const QString folder = QFileInfo(diaryPath).absolutePath();
    const QString stem = diaryStem(userPath);
    QString why;
    // A damaged diary kept with the journal of an interrupted change is
    // restored as SQLite would open it, the change undone, in a copy: what
    // was kept stays as it is.
    QString rolled;
    if (hasHotJournal(backupPath)) {
        const MadeFile copy = rolledBackCopy(backupPath, folder, stem);
        if (!copy.ok()) {
            r.error = tr("%1 cannot be restored: %2 %3").arg(backupPath, copy.error, unchanged);
            return r;
        }
        rolled = copy.path;
    }
    const QString source = rolled.isEmpty() ? backupPath : rolled;
    struct Remove
    {
        QString path;
        ~Remove()
        {
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } removeRolled{rolled};
    const Verdict v = checkDiary(source, CheckDepth::Full);
    if (!v.ok) {
        r.error = tr("%1 cannot be restored: %2. %3").arg(backupPath, v.problems.join(QStringLiteral("; ")), unchanged);
        return r;
    }

    // The diary as it is now is kept first, so that a restore can be undone.
    if (QFileInfo::exists(diaryPath)) {
        const BackupResult b = backUp(userPath, now);
        if (b.ok()) {
            r.safetyBackup = b.path;
        } else if (checkDiary(userPath, CheckDepth::Quick).restorable()) {
            const QString kept = keepDamaged(userPath, diaryPath, now, &r.safetyBackup);
            if (!kept.isEmpty()) {
                r.error = tr("The damaged diary could not be kept before the restore: %1 %2").arg(kept, unchanged);
                return r;
            }
        } else {
            r.error = tr("The diary could not be backed up before the restore. %1 %2").arg(b.error, unchanged);
            return r;
        }
    }

    const MadeFile snapshot = snapshotInto(source, folder, stem);
    if (!snapshot.ok()) {
        r.error = tr("%1 could not be copied: %2 %3").arg(backupPath, snapshot.error, unchanged);
        return r;
    }
    const QString &temp = snapshot.path;
    // Under the diary's exclusive lock no one is writing it while it is
    // replaced; the first read rolls back a journal a crash left, so none
    // remains to be played into the restored file.
    diary::SqliteFile current;
    {
        diary::SqliteRunner sql(current);
        diary::Transaction lock(sql);
        if (QFileInfo::exists(diaryPath) && current.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true) &&
            current.scalar(QStringLiteral("PRAGMA schema_version")).isValid()) {
            QString busy;
            if (!lock.begin(diary::Transaction::Exclusive, &busy)) {
                QFile::remove(temp);
                r.error =
                    tr("The diary is in use and could not be locked (%1). Close the other program and try again. %2")
                        .arg(busy, unchanged);
                return r;
            }
        }
        why = renameInto(temp, diaryPath, true);
    }
    current.close();
    if (!why.isEmpty()) {
        QFile::remove(temp);
        r.error = tr("%1 %2").arg(why, unchanged);
        return r;
    }
    return r;
}

} // namespace keeping
