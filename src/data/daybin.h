#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include "data/sqlrunner.h"

// The bin of deleted days: every row that leaves `records` by any path (the
// records window's Delete, an import that replaces days) is first copied into
// it, whole, and can be put back until the user empties the bin.
//
// Where the bin lives. It is a table of the diary itself, not a file beside
// it, because that is the safer of the two:
// - the copy into the bin and the delete from `records` are one transaction
//   on one file with one journal, so a crash, a kill or a full disk at any
//   moment leaves the day in the diary or in the bin, never in neither and
//   never in both; a separate file needs its own commit, synced before the
//   delete, and a crash between the two leaves the day twice;
// - nothing more can fail: no second file to lock, to keep private, to find
//   a link at, to fill the disk at its own moment;
// - the bin travels with the diary: every backup, copy and restore holds the
//   bin that belongs to those days, so it never names IDs of another diary.
// The table is additive: made on the first delete in a diary of any age,
// nothing of `records`, the lists or the ranking query changes, and older
// builds and the check look only for the tables they know.
//
// Byte-exact: rows are copied inside the engine (INSERT ... SELECT), so every
// column, the ID included, keeps its type and its stored bytes, texts that
// are no UTF-8 too. The bin's day columns have no declared type, so nothing
// converts what goes in; a column `records` gains later is added to the bin
// when it is first needed.
namespace diary {

inline constexpr char kBinTable[] = "deleted days";
inline constexpr char kBinIdColumn[] = "BIN ID";
inline constexpr char kBinWhenColumn[] = "DELETED WHEN";
inline constexpr char kBinByColumn[] = "DELETED BY";

// What wrote a row into the bin, as the bin keeps it.
QString binByDelete();        // the records window's Delete
QString binByImportReplace(); // an import that replaced the days of a date

// Inside the caller's write transaction, before the rows are deleted in that
// same transaction: copies the rows of `records` that `where` picks (an
// expression over `records`, its ? bound to `values`) into the bin with
// `when` and `by`. Makes the bin, or adds the columns it lacks, first. The
// number of rows binned, or -1 with the reason in `error`; the caller then
// rolls back and deletes nothing.
int binRecords(SqlRunner &sql, const QString &where, const QVariantList &values, const QString &by,
               const QDateTime &when, QString *error);

// ---- what the bin window and the command line do with it ----

struct BinEntry
{
    qint64 binId = 0;
    QVariant dayId; // the ID the day had
    QVariant date;  // as stored (yyyy-MM-dd for a day the window wrote)
    QVariant score; // OVERALL SCORE as stored
    QString meals;  // breakfast, lunch and tea, as one line to show
    QDateTime deletedWhen;
    QString deletedWhenText; // as stored, for a time that does not read
    QString deletedBy;
};

struct BinList
{
    QList<BinEntry> entries; // newest deletion first
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Every day in the bin of the diary at `path`; none when the diary never
// deleted one.
BinList listBin(const QString &path);

struct PutBack
{
    qint64 binId = 0;
    QVariant oldId;   // the ID the day had
    qint64 newId = 0; // the ID it has now
    QVariant date;    // as stored
    bool sameId() const { return oldId.isValid() && !oldId.isNull() && oldId.toLongLong() == newId; }
};

struct PutBackResult
{
    QList<PutBack> done;
    QString error;
    bool ok() const { return error.isEmpty(); }
    // One line for the user: how many went back, and which took a new ID
    // because another day holds theirs.
    QString summary() const;
};

// Puts the days `binIds` back into `records`, in one transaction, all or
// none: each with its own ID where no day holds it now, else with a new one.
// They leave the bin as they go back.
PutBackResult putBack(const QString &path, const QList<qint64> &binIds);

struct EmptiedBin
{
    int removed = 0; // the days removed
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Removes every day from the bin for good (their bytes are overwritten, not
// only unlinked).
EmptiedBin emptyBin(const QString &path);

} // namespace diary
