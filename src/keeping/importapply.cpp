#include "keeping/importapply.h"

#include "data/datetext.h"
#include "data/daybin.h"
#include "data/diarynames.h"
#include "data/sqlitecodes.h"
#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "keeping/backups.h"

#include <QCoreApplication>
#include <QSet>

#include <sqlite3.h>

namespace keeping {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("keeping", text);
}

QString tr(const char *text, const char *, int n)
{
    return QCoreApplication::translate("keeping", text, nullptr, n);
}
} // namespace

QString ImportResult::summary() const
{
    QString text = tr("Imported: %1 added").arg(added);
    if (replacedDates > 0)
        text += tr(", %1 dates replaced (%2 rows of the diary by %3 of the file)")
                    .arg(replacedDates)
                    .arg(removedRows)
                    .arg(replacingRows);
    if (skippedDates > 0)
        text += tr(", %1 dates skipped (%2 rows of the file)").arg(skippedDates).arg(skipped);
    text += QLatin1Char('.');
    if (!listsReplaced.isEmpty())
        text += QLatin1Char(' ') + tr("Lists replaced: %1.").arg(listsReplaced.join(QStringLiteral(", ")));
    if (!backupPath.isEmpty())
        text += QLatin1Char(' ') +
                (replacedDates > 0
                     ? tr("The diary as it was is kept in %1; the rows replaced are in the bin of deleted days.")
                     : tr("The diary as it was is kept in %1."))
                    .arg(backupPath);
    return text;
}

ImportResult applyImport(const QString &diaryPath, const ImportPlan &plan, Duplicates duplicates, bool replaceLists,
                         const QDateTime &now, const std::function<bool(qsizetype done, qsizetype total)> &progress)
{
    bool cancelled = false;
    ImportResult r;
    const QString nothing = tr("Nothing was written.");
    if (!plan.ok()) {
        r.error =
            tr("%1 refused: %2 %3")
                .arg(plan.fileError.isEmpty() ? tr("%n line(s)", nullptr, int(plan.refused.size())) : tr("The file is"),
                     plan.describeRefusals().join(QStringLiteral("; ")), nothing);
        return r;
    }
    const qsizetype dateAt = exchangedColumns().indexOf(QStringLiteral("DATE"));
    if (duplicates == Duplicates::Refuse && !plan.duplicateDays.isEmpty()) {
        QStringList dates;
        for (const int i : plan.duplicateDays.mid(0, 20))
            dates << diary::showStoredDate(plan.days[i].values[dateAt]);
        if (plan.duplicateDays.size() > 20)
            dates << tr("and %1 more").arg(plan.duplicateDays.size() - 20);
        r.error = tr("The diary already has %n of these days: %1. Say whether to skip, replace or add them. %2",
                     nullptr, int(dates.size()))
                      .arg(dates.join(QStringLiteral(", ")), nothing);
        return r;
    }
    // What is replaced is kept twice: the whole diary in a backup first, and
    // each replaced day in the bin as it goes.
    if ((duplicates == Duplicates::Replace && !plan.duplicateDays.isEmpty()) ||
        (replaceLists && !plan.listsGiven().isEmpty())) {
        const BackupResult copy = backUp(diaryPath, now);
        if (!copy.ok()) {
            r.error = tr("The diary could not be backed up before its days or lists were replaced: %1 %2")
                          .arg(copy.error, nothing);
            return r;
        }
        r.backupPath = copy.path;
    }
    diary::SqliteFile file;
    if (!file.open(diaryPath, diary::SqliteFile::ReadWrite, 30000, true)) {
        r.error = tr("The diary %1 could not be opened: %2 %3").arg(diaryPath, file.lastError(), nothing);
        return r;
    }
    diary::SqliteRunner sql(file);
    diary::Transaction tx(sql);
    {
        QString why;
        if (!tx.begin(diary::Transaction::Immediate, &why)) {
            r.error = tr("The diary could not be locked for writing (%1). %2").arg(why, nothing);
            return r;
        }
    }
    const QSet<int> dup(plan.duplicateDays.begin(), plan.duplicateDays.end());
    QString failure;
    int failureCode = SQLITE_OK;
    {
        QStringList cols, marks;
        for (const QString &c : exchangedColumns()) {
            cols << bracketed(c);
            marks << QStringLiteral("?");
        }
        diary::Statement insert(file, QStringLiteral("INSERT INTO records (") + cols.join(QLatin1Char(',')) +
                                          QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                                          QLatin1Char(')'));
        diary::Statement remove(file, QStringLiteral("DELETE FROM records WHERE DATE = ?"));
        if (!insert.ok() || !remove.ok())
            failure = insert.ok() ? remove.error() : insert.error();
        // A date is replaced or skipped once, with every row the file holds
        // for it; the diary's rows on it go before the first of them.
        QSet<QString> handled;
        for (qsizetype i = 0; i < plan.days.size() && failure.isEmpty(); ++i) {
            if (progress && i % 256 == 0 && !progress(i, plan.days.size())) {
                cancelled = true;
                failure = tr("cancelled");
                break;
            }
            const ImportDay &day = plan.days[i];
            const bool onDiaryDate = dup.contains(int(i));
            if (onDiaryDate && duplicates != Duplicates::Add) {
                const QString date = day.values[dateAt].toString();
                const bool first = !handled.contains(date);
                handled.insert(date);
                if (duplicates == Duplicates::Skip) {
                    r.skippedDates += first ? 1 : 0;
                    ++r.skipped;
                    continue;
                }
                if (first) {
                    ++r.replacedDates;
                    if (diary::binRecords(sql, QStringLiteral("DATE = ?"), {date}, diary::binByImportReplace(), now,
                                          &failure) < 0)
                        break;
                    remove.reset();
                    remove.bind(1, date);
                    remove.step();
                    if (!remove.error().isEmpty()) {
                        failure = remove.error();
                        failureCode = remove.code();
                        break;
                    }
                    r.removedRows += sqlite3_changes(file.handle());
                }
                ++r.replacingRows;
            } else {
                ++r.added;
            }
            insert.reset();
            for (qsizetype c = 0; c < day.values.size(); ++c)
                insert.bind(int(c + 1), day.values[c]);
            insert.step();
            if (!insert.error().isEmpty()) {
                failureCode = insert.code();
                // Only a rule of the diary's is the line's fault; a disk that
                // failed or filled is no line's.
                failure = diary::engineFailure(failureCode) == diary::EngineFailure::Refused
                              ? (plan.format == Format::Csv ? tr("line %1: %2") : tr("day %1: %2"))
                                    .arg(day.line)
                                    .arg(insert.error())
                              : insert.error();
                break;
            }
        }
        const QStringList given = plan.listsGiven();
        if (failure.isEmpty() && replaceLists && !given.isEmpty()) {
            QStringList sets;
            QVariantList values;
            for (qsizetype c = 0; c < diary::foodColumns().size(); ++c) {
                if (!plan.lists->at(c))
                    continue;
                sets << bracketed(diary::foodColumns().at(c)) + QStringLiteral(" = ?");
                values << (plan.lists->at(c)->isNull() ? QVariant() : QVariant(*plan.lists->at(c)));
            }
            diary::Statement update(
                file, QStringLiteral("UPDATE [FOOD AND MEDICATION] SET ") + sets.join(QLatin1Char(',')) +
                          QStringLiteral(" WHERE rowid = (SELECT min(rowid) FROM [FOOD AND MEDICATION])"));
            for (qsizetype c = 0; c < values.size(); ++c)
                update.bind(int(c + 1), values.at(c));
            update.step();
            if (!update.error().isEmpty()) {
                failure = update.error();
                failureCode = update.code();
            } else
                r.listsReplaced = given;
        }
    }
    if (failure.isEmpty() && !tx.commit(&failure))
        failureCode = sql.lastCode();
    if (!failure.isEmpty()) {
        tx.rollback();
        r = ImportResult{};
        const diary::EngineFailure kind = diary::engineFailure(failureCode);
        if (cancelled)
            r.error = tr("The import was cancelled. %1").arg(nothing);
        else if (kind == diary::EngineFailure::Full)
            r.error =
                tr("The import could not be written: the disk holding %1 is full (%2); make room and try again. %3")
                    .arg(diaryPath, failure, nothing);
        else if (kind == diary::EngineFailure::None || kind == diary::EngineFailure::Refused)
            r.error = tr("The import was refused by the diary (%1). %2").arg(failure, nothing);
        else
            r.error = tr("The import could not be written to %1 (%2). %3").arg(diaryPath, failure, nothing);
    }
    return r;
}

} // namespace keeping
