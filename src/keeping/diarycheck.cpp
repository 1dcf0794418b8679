#include "keeping/diarycheck.h"

#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/sqlitecodes.h"
#include "data/sqlitefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

constexpr int kProblemsShown = 5;

QSet<QString> columnsOf(diary::SqliteFile &file, const QString &table)
{
    QSet<QString> out;
    diary::Statement s(file, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    s.bind(1, table);
    while (s.step())
        out.insert(QString::fromUtf8(s.bytes(0)).toUpper());
    return out;
}

void checkTable(diary::SqliteFile &file, const QString &table, const QStringList &columns, QStringList *problems)
{
    const QSet<QString> have = columnsOf(file, table);
    if (have.isEmpty()) {
        problems->append(tr("the table %1 is missing").arg(table));
        return;
    }
    QStringList missing;
    for (const QString &c : columns) {
        if (!have.contains(c.toUpper()))
            missing << c;
    }
    if (!missing.isEmpty())
        problems->append(tr("the table %1 lacks the columns %2").arg(table, missing.join(QStringLiteral(", "))));
}

// The state an engine failure stands for. Only SQLite's own finding of
// damage is damage; everything else is said for what it is.
DiaryState stateOfCode(int code, bool undoWaits)
{
    switch (diary::engineFailure(code)) {
    case diary::EngineFailure::Busy:
        return DiaryState::Busy;
    case diary::EngineFailure::Damaged:
    case diary::EngineFailure::NotADiary:
        return DiaryState::Damaged;
    case diary::EngineFailure::ReadOnly:
    case diary::EngineFailure::CantOpen:
    case diary::EngineFailure::Io: // the journal could not be deleted from a write-protected folder
        // Rolling back needs to write the file and to delete the journal.
        return undoWaits ? DiaryState::UndoWaits : DiaryState::Unreadable;
    case diary::EngineFailure::Statement:
        return DiaryState::NotADiary;
    default:
        return DiaryState::Unreadable;
    }
}

Verdict failed(Verdict v, DiaryState state, const QString &problem)
{
    v.state = state;
    v.problems << problem;
    return v;
}

QString shown(const QString &path, const QString &linkTarget)
{
    return linkTarget.isEmpty() ? path : tr("%1 (a link to %2)").arg(path, linkTarget);
}
} // namespace

bool hasAccessSignature(const QByteArray &head)
{
    return head.size() >= 19 && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

bool hasHotJournal(const QString &path)
{
    QFile journal(path + QStringLiteral("-journal"));
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    // A journal whose header was zeroed or never written plays nothing back.
    static const QByteArray magic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    return journal.read(8) == magic;
}

QString Verdict::text(const QString &path) const
{
    const QString p = shown(path, linkTarget);
    const QString why = problems.join(QStringLiteral("; "));
    switch (state) {
    case DiaryState::Sound:
        return tr("%1 is sound.").arg(p);
    case DiaryState::Missing:
        return linkTarget.isEmpty() ? tr("The diary file %1 does not exist.").arg(p)
                                    : tr("The diary %1 leads nowhere: the file it links to does not exist.").arg(p);
    case DiaryState::NotAFile:
        return tr("The diary %1 is not a file (%2). Move it elsewhere, or put the diary file in its place.")
            .arg(p, why);
    case DiaryState::Unreadable:
        return tr("The diary %1 cannot be read (%2). Check that you may read and write the file and its folder, "
                  "and try again.")
            .arg(p, why);
    case DiaryState::Busy:
        return tr("The diary %1 is in use by another program, which holds it locked (%2). Close that program "
                  "and try again.")
            .arg(p, why);
    case DiaryState::UndoWaits:
        return tr("The diary %1 is not damaged, but an interrupted change waits to be undone, and the file or its "
                  "folder is write-protected (%2). Open the diary where it can be written: make the file and its "
                  "folder writable, and try again.")
            .arg(p, why);
    case DiaryState::Access:
        return tr("The file %1 is an Access database, not a MEALWISE diary: it can be converted into one.").arg(p);
    case DiaryState::NotADiary:
        return tr("The file %1 is not a MEALWISE diary (%2). To start a new diary, move this file elsewhere; "
                  "mealwise-setup then creates one in its place.")
            .arg(p, why);
    case DiaryState::NewerFormat:
        return tr("The diary %1 cannot be opened here: %2. Open it with that version.").arg(p, why);
    case DiaryState::Damaged:
        return tr("The diary %1 is damaged (%2). Keep the file and a copy of it: sqlite3's .recover command can "
                  "often save its days.")
            .arg(p, why);
    }
    return {};
}

Verdict checkDiary(const QString &path, CheckDepth depth, int lockWaitMs)
{
    Verdict v;
    QFileInfo info(path);
    QString real = path;
    if (info.isSymLink()) {
        // Followed, as every program that opens the diary follows it.
        v.linkTarget = info.symLinkTarget();
        if (!info.exists())
            return failed(v, DiaryState::Missing, tr("the file it links to does not exist"));
        real = info.canonicalFilePath();
        info = QFileInfo(real);
    }
    if (!info.exists())
        return failed(v, DiaryState::Missing, tr("the file does not exist"));
    if (!info.isFile())
        return failed(v, DiaryState::NotAFile, info.isDir() ? tr("it is a folder") : tr("it is a pipe or a device"));
    QFile raw(real);
    if (!raw.open(QIODevice::ReadOnly))
        return failed(v, DiaryState::Unreadable, raw.errorString());
    const QByteArray head = raw.read(100);
    raw.close();
    if (head.isEmpty()) {
        v.empty = true;
        return failed(v, DiaryState::NotADiary, tr("the file is empty"));
    }
    if (hasAccessSignature(head))
        return failed(v, DiaryState::Access, tr("an Access database"));

    const bool undoWaits = hasHotJournal(real);
    diary::SqliteFile file;
    // Read-write, as the windows open it: a hot journal is rolled back at the
    // first read. A write-protected file opens read-only all the same.
    if (!file.open(real, diary::SqliteFile::ReadWrite, lockWaitMs, true))
        return failed(v, stateOfCode(file.lastCode(), undoWaits), file.lastError());
    if (!file.scalar(QStringLiteral("PRAGMA schema_version")).isValid())
        return failed(v, stateOfCode(file.lastCode(), undoWaits), file.lastError());
    QStringList report = file.column(depth == CheckDepth::Quick ? QStringLiteral("PRAGMA quick_check")
                                                                : QStringLiteral("PRAGMA integrity_check"));
    if (report.isEmpty())
        return failed(v, stateOfCode(file.lastCode(), false), file.lastError());
    if (report != QStringList{QStringLiteral("ok")}) {
        v.state = DiaryState::Damaged;
        QStringList said;
        for (const QString &line : report) {
            // "*** in database main ***" heads SQLite's list; the pages follow.
            for (const QString &part : line.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (!part.startsWith(QLatin1String("*** in database")))
                    said << part.trimmed();
            }
        }
        report = said;
        v.problems << report.mid(0, kProblemsShown);
        if (report.size() > kProblemsShown)
            v.problems << tr("%1 more problems").arg(report.size() - kProblemsShown);
        return v;
    }
    checkTable(file, QLatin1String(diary::kRecordsTable), diary::recordsColumns(), &v.problems);
    checkTable(file, QLatin1String(diary::kFoodTable), diary::foodColumns(), &v.problems);
    if (!v.problems.isEmpty()) {
        v.state = DiaryState::NotADiary;
        return v;
    }
    v.userVersion = int(file.scalar(QStringLiteral("PRAGMA user_version")).toLongLong());
    if (depth == CheckDepth::Full) {
        if (v.userVersion > diary::kSchemaVersion)
            return failed(v, DiaryState::NewerFormat,
                          tr("it was made by a newer MEALWISE (format %1; this program reads up to %2)")
                              .arg(v.userVersion)
                              .arg(diary::kSchemaVersion));
        diary::Statement q(file, diary::selectForRecordSource(diary::mainRecordSource()) + QStringLiteral(" LIMIT 1"));
        if (!q.ok() || (!q.step() && !q.error().isEmpty()))
            return failed(
                v, q.ok() ? stateOfCode(q.code(), false) : DiaryState::NotADiary,
                tr("the ranking query %1 does not run (%2)").arg(QLatin1String(diary::kDiaryQuery), q.error()));
        diary::Statement s(file, QStringLiteral("SELECT count(*), min(DATE), max(DATE) FROM records"));
        if (!s.step())
            return failed(v, stateOfCode(s.code(), false), s.error());
        v.days = s.integer(0);
        v.first = QDate::fromString(QString::fromUtf8(s.bytes(1)), Qt::ISODate);
        v.last = QDate::fromString(QString::fromUtf8(s.bytes(2)), Qt::ISODate);
    }
    v.state = DiaryState::Sound;
    v.ok = true;
    return v;
}

} // namespace keeping
