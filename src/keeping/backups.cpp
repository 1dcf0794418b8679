#include "keeping/backups.h"

#include "data/sqlitefile.h"
#include "keeping/diarycheck.h"
#include "keeping/privatefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <numeric>
#include <set>

#include <sqlite3.h>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

constexpr int kKeepLast = 10;
constexpr int kKeepDays = 30;
constexpr int kKeepMonths = 24;
// A temporary file written this recently may belong to a backup under way in another program.
constexpr qint64 kStaleTempSecs = 60;

QString stemOf(const QString &diaryPath)
{
    return diaryStem(diaryPath);
}

const QRegularExpression &timedName()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(.+)-(\\d{4})-(\\d{2})-(\\d{2})-(\\d{2})(\\d{2})(\\d{2})(?:-\\d{1,3})?\\.mdb$"));
    return pattern;
}

// The moment in a name made by backupFileName or damagedFileName, and the
// part before it.
QDateTime timeInName(const QString &fileName, QString *prefix)
{
    const QRegularExpressionMatch m = timedName().match(fileName);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    const QTime time(m.captured(5).toInt(), m.captured(6).toInt(), m.captured(7).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    *prefix = m.captured(1);
    return QDateTime(date, time);
}

const QLatin1String kDamaged("Damaged");
} // namespace

QString diaryStem(const QString &diaryPath)
{
    const QString base = QFileInfo(diaryPath).completeBaseName();
    return base.isEmpty() ? QStringLiteral("Records") : base;
}

QString damagedFileName(const QString &diaryPath, const QDateTime &when)
{
    return stemOf(diaryPath) + QLatin1Char('-') + kDamaged + QLatin1Char('-') +
           when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".mdb");
}

QString backupsFolder(const QString &diaryPath)
{
    return QDir(QFileInfo(diaryPath).absolutePath()).filePath(QStringLiteral("Backups"));
}

QString backupFileName(const QString &diaryPath, const QDateTime &when)
{
    return stemOf(diaryPath) + QLatin1Char('-') + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
           QStringLiteral(".mdb");
}

QDateTime backupTime(const QString &fileName, const QString &stem)
{
    QString prefix;
    const QDateTime t = timeInName(fileName, &prefix);
    return prefix == stem ? t : QDateTime();
}

MadeFile snapshotInto(const QString &source, const QString &folder, const QString &stem)
{
    const MadeFile made = createPrivateTemp(folder, stem);
    if (!made.ok())
        return made;
    const QString &temp = made.path;
    auto failed = [&](const QString &reason) {
        QFile::remove(temp);
        return MadeFile{{}, reason};
    };
    {
        diary::SqliteFile src;
        // Read-write where it may be written, as the windows open it: a
        // change a crash left half done is rolled back before the copy.
        if (!src.open(source, diary::SqliteFile::ReadWrite, 30000, true))
            return failed(tr("%1 could not be opened: %2").arg(source, src.lastError()));
        // The first real read: a file that is no database fails here.
        if (!src.scalar(QStringLiteral("PRAGMA schema_version")).isValid())
            return failed(tr("%1 could not be read: %2").arg(source, src.lastError()));
        diary::SqliteFile dst;
        if (!dst.open(temp, diary::SqliteFile::ReadWrite))
            return failed(tr("%1 could not be opened: %2").arg(temp, dst.lastError()));
        sqlite3_backup *b = sqlite3_backup_init(dst.handle(), "main", src.handle(), "main");
        if (!b)
            return failed(tr("%1 could not be copied: %2").arg(source, diary::sqliteMessage(dst.handle())));
        int rc = SQLITE_OK;
        int waits = 0;
        // All pages in one step, under one read lock: a consistent image even
        // while another connection writes.
        do {
            rc = sqlite3_backup_step(b, -1);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (++waits > 300)
                    break;
                QThread::msleep(100);
            }
        } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
        sqlite3_backup_finish(b);
        if (rc != SQLITE_DONE)
            return failed(tr("%1 could not be copied: %2").arg(source, QString::fromUtf8(sqlite3_errstr(rc))));
        if (!dst.exec(QStringLiteral("PRAGMA journal_mode = DELETE")))
            return failed(tr("%1 could not be written: %2").arg(temp, dst.lastError()));
    }
    if (!syncFile(temp))
        return failed(tr("%1 could not be written to the disk.").arg(temp));
    {
        diary::SqliteFile check;
        if (!check.open(temp, diary::SqliteFile::ReadOnly))
            return failed(tr("The copy %1 could not be read back: %2").arg(temp, check.lastError()));
        // quick_check reads every page of the copy and checks its b-trees,
        // cells and records, which is what a short or torn write of the
        // copy would break; it leaves out only whether each index matches
        // its table, which a page-for-page copy inherits from the diary and
        // the diary's own full check judges there.
        const QStringList report = check.column(QStringLiteral("PRAGMA quick_check"));
        if (report != QStringList{QStringLiteral("ok")})
            return failed(
                tr("The copy of %1 does not pass the integrity check (%2)")
                    .arg(source, report.isEmpty() ? check.lastError() : report.mid(0, 3).join(QStringLiteral("; "))));
    }
    return made;
}

BackupResult backUp(const QString &diaryPath, const QDateTime &now, const QString &target)
{
    BackupResult r;
    if (!QFileInfo::exists(diaryPath)) {
        r.error = tr("There is no diary at %1 to back up.").arg(diaryPath);
        return r;
    }
    const bool intoFolder = target.isEmpty();
    QString folder;
    QString finalPath;
    if (intoFolder) {
        folder = backupsFolder(diaryPath);
        const QString made = ensurePrivateFolder(folder);
        if (!made.isEmpty()) {
            r.error = tr("No backup was made: %1").arg(made);
            return r;
        }
    } else {
        const QFileInfo info(target);
        if (info.exists() || info.isSymLink()) {
            r.error = tr("No backup was made: %1 already exists. Name a new file.").arg(target);
            return r;
        }
        folder = info.absolutePath();
        finalPath = info.absoluteFilePath();
    }
    // A restore killed in an earlier run leaves its copy beside the diary.
    removeLeftovers(QFileInfo(diaryPath).absolutePath(), stemOf(diaryPath),
                    std::min(runStarted(), now.addSecs(-kStaleTempSecs)));
    QString unconfirmed;
    const MadeFile snapshot = snapshotInto(diaryPath, folder, stemOf(diaryPath));
    if (!snapshot.ok()) {
        r.error = tr("No backup was made: %1").arg(snapshot.error);
        return r;
    }
    const QString &temp = snapshot.path;
    QString why;
    if (intoFolder) {
        // Two backups within a second get a number after the time.
        const QString name = backupFileName(diaryPath, now);
        why = tr("every name for a backup of this second is taken");
        for (int n = 1; n < 1000; ++n) {
            finalPath = QDir(folder).filePath(n == 1 ? name : name.chopped(4) + QStringLiteral("-%1.mdb").arg(n));
            if (QFileInfo::exists(finalPath) || isLink(finalPath))
                continue;
            why = renameInto(temp, finalPath, false, &unconfirmed);
            break;
        }
    } else {
        why = renameInto(temp, finalPath, false, &unconfirmed);
    }
    if (!why.isEmpty()) {
        QFile::remove(temp);
        r.error = tr("No backup was made: %1").arg(why);
        return r;
    }
    r.path = finalPath;
    // A backup the disk may not keep is no net: said, and no older one is
    // rotated away for it.
    if (!unconfirmed.isEmpty()) {
        r.error = tr("The backup may not be kept: %1").arg(unconfirmed);
        return r;
    }
    if (intoFolder)
        r.removed = rotateBackups(folder, now, stemOf(diaryPath));
    return r;
}

QList<bool> backupsToKeep(const QList<QDateTime> &times, const QDateTime &now)
{
    QList<bool> keep(times.size(), false);
    std::vector<qsizetype> order(size_t(times.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return times[a] > times[b]; });
    const QDate today = now.date();
    const int thisMonth = today.year() * 12 + today.month() - 1;
    std::set<qint64> days;
    std::set<int> months;
    for (size_t rank = 0; rank < order.size(); ++rank) {
        const qsizetype i = order[rank];
        const QDateTime &t = times[i];
        if (rank < size_t(kKeepLast) || t > now)
            keep[i] = true;
        const qint64 age = t.date().daysTo(today);
        if (age >= 0 && age < kKeepDays && days.insert(t.date().toJulianDay()).second)
            keep[i] = true;
        const int month = t.date().year() * 12 + t.date().month() - 1;
        if (thisMonth - month >= 0 && thisMonth - month < kKeepMonths && months.insert(month).second)
            keep[i] = true;
    }
    return keep;
}

QStringList rotateBackups(const QString &folder, const QDateTime &now, const QString &stem)
{
    // What backups killed in an earlier run left.
    QStringList removed = removeLeftovers(folder, stem, std::min(runStarted(), now.addSecs(-kStaleTempSecs)));
    QDir dir(folder);
    QStringList names;
    QList<QDateTime> times;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : entries) {
        const QString path = dir.filePath(name);
        if (isLink(path))
            continue;
        const QDateTime t = backupTime(name, stem);
        if (t.isValid()) {
            names << name;
            times << t;
        }
    }
    const QList<bool> keep = backupsToKeep(times, now);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!keep[i] && QFile::remove(dir.filePath(names[i])))
            removed << names[i];
    }
    // Not checked: a removal the disk forgets leaves an old backup, nothing lost.
    if (!removed.isEmpty())
        syncFolder(folder);
    return removed;
}

BackupInfo describeBackup(const QString &path)
{
    BackupInfo info;
    info.path = path;
    const QFileInfo fi(path);
    info.size = fi.size();
    QString prefix;
    info.time = timeInName(fi.fileName(), &prefix);
    info.damaged = prefix == kDamaged || prefix.endsWith(QLatin1Char('-') + kDamaged);
    if (!info.time.isValid())
        info.time = fi.lastModified();
    // A damaged diary kept with its journal is counted as it will be
    // restored: in a copy with the interrupted change undone.
    QString counted = path;
    QString rolled;
    if (hasHotJournal(path)) {
        // A copy that cannot be made leaves the days unknown (-1), which the
        // list shows as unreadable.
        rolled = rolledBackCopy(path, fi.absolutePath(), prefix.isEmpty() ? QStringLiteral("Records") : prefix).path;
        if (rolled.isEmpty())
            return info;
        counted = rolled;
    }
    {
        diary::SqliteFile file;
        if (file.open(counted, diary::SqliteFile::ReadOnly, 2000, true)) {
            diary::Statement s(file, QStringLiteral("SELECT count(*), min(DATE), max(DATE) FROM records"));
            if (s.ok() && s.step()) {
                info.days = s.integer(0);
                info.first = QDate::fromString(QString::fromUtf8(s.bytes(1)), Qt::ISODate);
                info.last = QDate::fromString(QString::fromUtf8(s.bytes(2)), Qt::ISODate);
            }
        }
    }
    if (!rolled.isEmpty())
        QFile::remove(rolled);
    return info;
}

MadeFile rolledBackCopy(const QString &path, const QString &folder, const QString &stem)
{
    const MadeFile made = createPrivateTemp(folder, stem);
    if (!made.ok())
        return made;
    const QString &temp = made.path;
    const QString journal = temp + QStringLiteral("-journal");
    auto failed = [&](const QString &reason) {
        QFile::remove(temp);
        QFile::remove(journal);
        return MadeFile{{}, reason};
    };
    QFile source(path);
    QFile sourceJournal(path + QStringLiteral("-journal"));
    if (!source.open(QIODevice::ReadOnly) || !sourceJournal.open(QIODevice::ReadOnly))
        return failed(tr("%1 could not be read: %2")
                          .arg(path, source.isOpen() ? sourceJournal.errorString() : source.errorString()));
    QString why = writePrivateFile(temp, source.readAll());
    if (why.isEmpty())
        why = writePrivateFile(journal, sourceJournal.readAll());
    if (!why.isEmpty())
        return failed(why);
    {
        diary::SqliteFile copy;
        if (!copy.open(temp, diary::SqliteFile::ReadWrite) ||
            !copy.scalar(QStringLiteral("PRAGMA schema_version")).isValid())
            return failed(tr("The interrupted change in %1 could not be undone: %2").arg(path, copy.lastError()));
    }
    if (QFileInfo::exists(journal) && hasHotJournal(temp))
        return failed(tr("The interrupted change in %1 could not be undone.").arg(path));
    QFile::remove(journal);
    return made;
}

QList<BackupInfo> listBackups(const QString &diaryPath)
{
    QList<BackupInfo> out;
    const QString stem = stemOf(diaryPath);
    QDir dir(backupsFolder(diaryPath));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        QString prefix;
        if (isLink(path) || !timeInName(name, &prefix).isValid())
            continue;
        // Damaged diaries kept by earlier versions have no stem.
        if (prefix != stem && prefix != stem + QLatin1Char('-') + kDamaged && prefix != kDamaged)
            continue;
        out << describeBackup(path);
    }
    std::stable_sort(out.begin(), out.end(), [](const BackupInfo &a, const BackupInfo &b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return out;
}

} // namespace keeping
