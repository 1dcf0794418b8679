#include "data/daybin.h"

#include "data/datetext.h"
#include "data/diaryconnection.h"
#include "data/diarynames.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>

namespace diary {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("diary", text);
}

QString quoted(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString bin()
{
    return quoted(QLatin1String(kBinTable));
}

QStringList ownColumns()
{
    return {QLatin1String(kBinIdColumn), QLatin1String(kBinWhenColumn), QLatin1String(kBinByColumn)};
}

// Column names of a table, in its order; SQLite compares them ignoring case.
bool columnsOf(SqlRunner &sql, const QString &table, QStringList *out, QString *error)
{
    QList<QVariantList> rows;
    if (!sql.run(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table}, &rows, error))
        return false;
    out->clear();
    for (const QVariantList &r : rows)
        out->append(r.value(0).toString());
    return true;
}

bool containsName(const QStringList &names, const QString &name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

bool binExists(SqlRunner &sql, bool *exists, QString *error)
{
    QList<QVariantList> rows;
    if (!sql.run(QStringLiteral("SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE"),
                 {QLatin1String(kBinTable)}, &rows, error))
        return false;
    *exists = !rows.isEmpty();
    return true;
}

// Makes the bin or gives it the columns of `records` it lacks. Returns the
// columns of `records` that the rows travel in.
bool prepareBin(SqlRunner &sql, QStringList *dayColumns, QString *error)
{
    if (!columnsOf(sql, QLatin1String(kRecordsTable), dayColumns, error))
        return false;
    if (dayColumns->isEmpty()) {
        *error = tr("the diary has no table records");
        return false;
    }
    for (const QString &own : ownColumns()) {
        if (containsName(*dayColumns, own)) {
            *error = tr("the table records has a column named %1, which the bin keeps for itself").arg(own);
            return false;
        }
    }
    if (!sql.run(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + bin() + QStringLiteral(" (") +
                     quoted(QLatin1String(kBinIdColumn)) + QStringLiteral(" INTEGER PRIMARY KEY, ") +
                     quoted(QLatin1String(kBinWhenColumn)) + QStringLiteral(" TEXT NOT NULL, ") +
                     quoted(QLatin1String(kBinByColumn)) + QStringLiteral(" TEXT NOT NULL)"),
                 {}, nullptr, error))
        return false;
    QStringList have;
    if (!columnsOf(sql, QLatin1String(kBinTable), &have, error))
        return false;
    for (const QString &own : ownColumns()) {
        if (!containsName(have, own)) {
            *error = tr("the diary holds a \"%1\" that is not this program's bin (it has no column %2)")
                         .arg(QLatin1String(kBinTable), own);
            return false;
        }
    }
    for (const QString &c : *dayColumns) {
        // No declared type: the bin takes every value as it is.
        if (!containsName(have, c) &&
            !sql.run(QStringLiteral("ALTER TABLE ") + bin() + QStringLiteral(" ADD COLUMN ") + quoted(c), {}, nullptr,
                     error))
            return false;
    }
    return true;
}

QString stamp(const QDateTime &when)
{
    // With its offset, so the moment reads the same after a change of zone.
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate);
}

// A connection of the bin's own to the diary, with its runner; the runner
// goes first, as every query must before the connection does.
struct Opened
{
    std::unique_ptr<Connection> connection;
    std::unique_ptr<QtSqlRunner> sql;
    bool open(const QString &path, QString *error)
    {
        connection = Connection::open(path, error);
        if (!connection)
            return false;
        connection->finishOpening();
        sql = std::make_unique<QtSqlRunner>(connection->database());
        return true;
    }
    ~Opened() { sql.reset(); }
};

QString shownDate(const QVariant &stored)
{
    return stored.isNull() ? tr("(no date)") : showStoredDate(stored);
}

} // namespace

QString binByDelete()
{
    return tr("Delete in the records window");
}

QString binByImportReplace()
{
    return tr("Import, replacing the day");
}

int binRecords(SqlRunner &sql, const QString &where, const QVariantList &values, const QString &by,
               const QDateTime &when, QString *error)
{
    QStringList columns;
    QString why;
    // The rows leave `records` without their bytes lingering in its pages:
    // once the bin is emptied, they are gone from the file.
    if (!sql.run(QStringLiteral("PRAGMA secure_delete = ON"), {}, nullptr, &why) || !prepareBin(sql, &columns, &why)) {
        *error = tr("the bin of deleted days in the diary could not be written: %1").arg(why);
        return -1;
    }
    QStringList names;
    for (const QString &c : columns)
        names << quoted(c);
    const QString list = names.join(QLatin1Char(','));
    QVariantList binds{stamp(when), by};
    binds += values;
    QList<QVariantList> changed;
    if (!sql.run(QStringLiteral("INSERT INTO ") + bin() + QStringLiteral(" (") + quoted(QLatin1String(kBinWhenColumn)) +
                     QLatin1Char(',') + quoted(QLatin1String(kBinByColumn)) + QLatin1Char(',') + list +
                     QStringLiteral(") SELECT ?, ?, ") + list + QStringLiteral(" FROM ") +
                     quoted(QLatin1String(kRecordsTable)) + QStringLiteral(" WHERE ") + where,
                 binds, nullptr, &why) ||
        !sql.run(QStringLiteral("SELECT changes()"), {}, &changed, &why)) {
        *error = tr("the bin of deleted days in the diary could not be written: %1").arg(why);
        return -1;
    }
    return int(changed.value(0).value(0).toLongLong());
}

BinList listBin(const QString &path)
{
    BinList out;
    Opened db;
    if (!db.open(path, &out.error))
        return out;
    bool exists = false;
    if (!binExists(*db.sql, &exists, &out.error) || !exists)
        return out;
    QStringList have;
    if (!columnsOf(*db.sql, QLatin1String(kBinTable), &have, &out.error))
        return out;
    auto column = [&](const char *name) {
        const QString n = QLatin1String(name);
        return containsName(have, n) ? quoted(n) : QStringLiteral("NULL");
    };
    QList<QVariantList> rows;
    if (!db.sql->run(QStringLiteral("SELECT ") + column(kBinIdColumn) + QLatin1Char(',') + column("ID") +
                         QLatin1Char(',') + column("DATE") + QLatin1Char(',') + column("OVERALL SCORE") +
                         QLatin1Char(',') + column("BREAKFAST") + QLatin1Char(',') + column("LUNCH") +
                         QLatin1Char(',') + column("TEA") + QLatin1Char(',') + column(kBinWhenColumn) +
                         QLatin1Char(',') + column(kBinByColumn) + QStringLiteral(" FROM ") + bin() +
                         QStringLiteral(" ORDER BY ") + quoted(QLatin1String(kBinIdColumn)) + QStringLiteral(" DESC"),
                     {}, &rows, &out.error))
        return out;
    for (const QVariantList &r : rows) {
        BinEntry e;
        e.binId = r.value(0).toLongLong();
        e.dayId = r.value(1);
        e.date = r.value(2);
        e.score = r.value(3);
        QStringList meals;
        for (int i = 4; i <= 6; ++i) {
            const QString m = r.value(i).toString().simplified();
            if (!m.isEmpty())
                meals << m;
        }
        e.meals = meals.join(QStringLiteral(" / "));
        e.deletedWhenText = r.value(7).toString();
        e.deletedWhen = QDateTime::fromString(e.deletedWhenText, Qt::ISODate).toLocalTime();
        e.deletedBy = r.value(8).toString();
        out.entries << e;
    }
    return out;
}

PutBackResult putBack(const QString &path, const QList<qint64> &binIds)
{
    PutBackResult out;
    const QString none = tr("Nothing was put back.");
    Opened db;
    QString why;
    if (!db.open(path, &why)) {
        out.error = why;
        return out;
    }
    SqlRunner &sql = *db.sql;
    db.connection->reopenIfWritableNow();
    Transaction tx(sql);
    if (!tx.begin(Transaction::Immediate, &why)) {
        out.error = tr("The diary %1 could not be locked for writing (%2). %3").arg(path, why, none);
        return out;
    }
    auto failed = [&](const QString &message) {
        tx.rollback();
        out.done.clear();
        out.error = message + QLatin1Char(' ') + none;
        return out;
    };
    bool exists = false;
    if (!binExists(sql, &exists, &why))
        return failed(why);
    QStringList dayColumns, binColumns;
    if (exists && (!columnsOf(sql, QLatin1String(kRecordsTable), &dayColumns, &why) ||
                   !columnsOf(sql, QLatin1String(kBinTable), &binColumns, &why)))
        return failed(why);
    // The columns both tables have; one the bin lacks takes its default.
    QStringList common;
    for (const QString &c : dayColumns) {
        if (containsName(binColumns, c))
            common << c;
    }
    const QString idColumn = QStringLiteral("ID");
    for (const qint64 binId : binIds) {
        QList<QVariantList> found;
        if (exists &&
            !sql.run(
                QStringLiteral("SELECT ") +
                    (containsName(common, idColumn) ? quoted(idColumn) : QStringLiteral("NULL")) + QLatin1Char(',') +
                    (containsName(common, QStringLiteral("DATE")) ? QStringLiteral("DATE") : QStringLiteral("NULL")) +
                    QStringLiteral(" FROM ") + bin() + QStringLiteral(" WHERE ") + quoted(QLatin1String(kBinIdColumn)) +
                    QStringLiteral(" = ?"),
                {binId}, &found, &why))
            return failed(why);
        if (found.isEmpty())
            return failed(tr("The bin holds no day numbered %1.").arg(binId));
        PutBack p;
        p.binId = binId;
        p.oldId = found.first().value(0);
        p.date = found.first().value(1);
        bool keepId = !p.oldId.isNull();
        if (keepId) {
            QList<QVariantList> taken;
            if (!sql.run(QStringLiteral("SELECT count(*) FROM records WHERE ID = ?"), {p.oldId}, &taken, &why))
                return failed(why);
            keepId = taken.value(0).value(0).toLongLong() == 0;
        }
        QStringList into, from;
        for (const QString &c : common) {
            into << quoted(c);
            from << (c.compare(idColumn, Qt::CaseInsensitive) == 0 && !keepId ? QStringLiteral("NULL") : quoted(c));
        }
        QList<QVariantList> id;
        if (!sql.run(QStringLiteral("INSERT INTO records (") + into.join(QLatin1Char(',')) +
                         QStringLiteral(") SELECT ") + from.join(QLatin1Char(',')) + QStringLiteral(" FROM ") + bin() +
                         QStringLiteral(" WHERE ") + quoted(QLatin1String(kBinIdColumn)) + QStringLiteral(" = ?"),
                     {binId}, nullptr, &why) ||
            !sql.run(QStringLiteral("SELECT ID FROM records WHERE rowid = last_insert_rowid()"), {}, &id, &why))
            return failed(tr("The day %1 could not be put back: %2.").arg(shownDate(p.date), why));
        p.newId = id.value(0).value(0).toLongLong();
        if (!sql.run(QStringLiteral("DELETE FROM ") + bin() + QStringLiteral(" WHERE ") +
                         quoted(QLatin1String(kBinIdColumn)) + QStringLiteral(" = ?"),
                     {binId}, nullptr, &why))
            return failed(why);
        out.done << p;
    }
    if (!tx.commit(&why))
        return failed(tr("The diary could not complete the write (%1).").arg(why));
    return out;
}

QString PutBackResult::summary() const
{
    QString text = done.size() == 1 ? tr("1 day was put back.") : tr("%1 days were put back.").arg(done.size());
    for (const PutBack &p : done) {
        if (p.sameId())
            continue;
        if (p.oldId.isNull())
            text +=
                QLatin1Char(' ') + tr("The day %1 had no ID and got the ID %2.").arg(shownDate(p.date)).arg(p.newId);
        else
            text += QLatin1Char(' ') + tr("The day %1 got the new ID %2, since another day has its ID %3.")
                                           .arg(shownDate(p.date))
                                           .arg(p.newId)
                                           .arg(p.oldId.toLongLong());
    }
    return text;
}

EmptiedBin emptyBin(const QString &path)
{
    EmptiedBin r;
    Opened db;
    if (!db.open(path, &r.error))
        return r;
    SqlRunner &sql = *db.sql;
    db.connection->reopenIfWritableNow();
    QString why;
    // The days removed are overwritten in the file, not merely unlinked.
    Transaction tx(sql);
    if (!sql.run(QStringLiteral("PRAGMA secure_delete = ON"), {}, nullptr, &why) ||
        !tx.begin(Transaction::Immediate, &why)) {
        r.error = tr("The diary %1 could not be locked for writing (%2). The bin was not emptied.").arg(path, why);
        return r;
    }
    bool exists = false;
    QList<QVariantList> count;
    if (!binExists(sql, &exists, &why) ||
        (exists && (!sql.run(QStringLiteral("SELECT count(*) FROM ") + bin(), {}, &count, &why) ||
                    !sql.run(QStringLiteral("DELETE FROM ") + bin(), {}, nullptr, &why))) ||
        !tx.commit(&why)) {
        tx.rollback();
        r.error = tr("The bin could not be emptied (%1); nothing was removed.").arg(why);
        return r;
    }
    r.removed = int(count.value(0).value(0).toLongLong());
    return r;
}

} // namespace diary
