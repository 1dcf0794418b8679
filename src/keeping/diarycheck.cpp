#include "keeping/diarycheck.h"

#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "keeping/sqlitefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

constexpr int kProblemsShown = 5;

QSet<QString> columnsOf(SqliteFile &file, const QString &table)
{
    QSet<QString> out;
    Statement s(file, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    s.bind(1, table);
    while (s.step())
        out.insert(QString::fromUtf8(s.bytes(0)).toUpper());
    return out;
}

void checkTable(SqliteFile &file, const QString &table, const QStringList &columns, QStringList *problems)
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
} // namespace

QString Verdict::text(const QString &path) const
{
    if (ok)
        return tr("%1 is sound.").arg(path);
    return tr("%1 is damaged or is not a MEALWISE diary: %2.").arg(path, problems.join(QStringLiteral("; ")));
}

Verdict checkDiary(const QString &path, CheckDepth depth)
{
    Verdict v;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        v.problems << tr("it is a link, not a file");
        return v;
    }
    if (!info.exists()) {
        v.problems << tr("the file does not exist");
        return v;
    }
    if (!info.isFile()) {
        v.problems << tr("it is not a file");
        return v;
    }
    if (info.size() == 0) {
        v.problems << tr("the file is empty");
        return v;
    }
    SqliteFile file;
    if (!file.open(path, SqliteFile::ReadOnly)) {
        v.problems << file.lastError();
        return v;
    }
    const QStringList report =
        file.column(depth == CheckDepth::Quick ? QStringLiteral("PRAGMA quick_check") : QStringLiteral("PRAGMA integrity_check"));
    if (report.isEmpty()) {
        v.problems << file.lastError();
        return v;
    }
    if (report != QStringList{QStringLiteral("ok")}) {
        v.problems << report.mid(0, kProblemsShown);
        if (report.size() > kProblemsShown)
            v.problems << tr("%1 more problems").arg(report.size() - kProblemsShown);
        return v;
    }
    v.userVersion = int(file.scalar(QStringLiteral("PRAGMA user_version")).toLongLong());
    if (depth == CheckDepth::Full) {
        if (v.userVersion > diary::kSchemaVersion)
            v.problems << tr("it was made by a newer MEALWISE (format %1; this program reads up to %2)")
                              .arg(v.userVersion)
                              .arg(diary::kSchemaVersion);
        checkTable(file, QLatin1String(diary::kRecordsTable), diary::recordsColumns(), &v.problems);
        checkTable(file, QLatin1String(diary::kFoodTable), diary::foodColumns(), &v.problems);
        if (v.problems.isEmpty()) {
            Statement q(file, diary::selectForRecordSource(diary::mainRecordSource()) + QStringLiteral(" LIMIT 1"));
            if (!q.ok())
                v.problems << tr("the ranking query %1 does not run (%2)").arg(QLatin1String(diary::kDiaryQuery), q.error());
            else if (!q.step() && !q.error().isEmpty())
                v.problems << tr("the ranking query %1 does not run (%2)").arg(QLatin1String(diary::kDiaryQuery), q.error());
        }
        if (v.problems.isEmpty()) {
            Statement s(file, QStringLiteral("SELECT count(*), min(DATE), max(DATE) FROM records"));
            if (s.step()) {
                v.days = s.integer(0);
                v.first = QDate::fromString(QString::fromUtf8(s.bytes(1)), Qt::ISODate);
                v.last = QDate::fromString(QString::fromUtf8(s.bytes(2)), Qt::ISODate);
            } else {
                v.problems << s.error();
            }
        }
    }
    v.ok = v.problems.isEmpty();
    return v;
}

} // namespace keeping
