#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <functional>

// Reading an Access (Jet 3 or Jet 4) file through Debian's libmdb. Nothing
// here ever writes the file. libmdb trusts what it reads, so a damaged file
// can make it crash or loop; every read therefore runs in a child process
// that is killed after a time limit, and the parent takes only what the
// child sent back whole.
namespace jet {

// The bytes "Standard Jet DB" or "Standard ACE DB" at offset 4: the file is
// an Access database, whatever its state beyond.
bool isAccessFile(const QString &path);
bool hasAccessSignature(const QByteArray &firstBytes);

enum class ColumnType {
    Boolean,
    Byte,
    Integer,
    Long,
    Currency,
    Single,
    Double,
    DateTime,
    Binary,
    Text,
    Ole,
    Memo,
    Other
};

struct Column
{
    QString name;
    ColumnType type = ColumnType::Other;
};

// One table as read. Values by column: an invalid QVariant for NULL; QString
// for Text and Memo (an empty one when the field is empty, not NULL);
// qint64 for Byte, Integer and Long; float for Single, double for Double; bool;
// QDateTime (UTC, so that no clock change moves it) for DateTime, an invalid
// one for a stored value that is no date; QString for Currency as libmdb
// writes it; QByteArray for Binary; NULL for OLE objects, which are not read.
struct Table
{
    QString name;
    QList<Column> columns;
    QList<QVariantList> rows;                         // in the file's order
    int columnIndex(const QString &columnName) const; // ignoring case; -1
};

struct FileContents
{
    QString error;        // empty when the file was read
    int jetVersion = -1;  // 0 Jet 3, 1 Jet 4, 2 and up Access 2007 and later
    QString textEncoding; // the code page Jet 3 texts were read in
    QStringList tables;   // every user table, in the catalogue's order
    QList<Table> read;    // the tables asked for that the file has
    bool ok() const { return error.isEmpty(); }
    const Table *table(const QString &name) const; // ignoring case
};

struct ReadOptions
{
    // Tables to read in full (names ignoring case); none: only the list.
    QStringList tables;
    // A Jet 3 file's code page as iconv names it ("CP1250"); empty: the one
    // the file's header names, else CP1252.
    QByteArray jet3Encoding;
    // 0: a limit grown with the file's size (30 s and 10 s per 10 MB).
    int timeLimitMs = 0;
    // Called now and then with the rows read so far; may be empty.
    std::function<void(qint64 rows)> progress;
    // Set from another thread to stop; the result then says so.
    const std::atomic<bool> *cancel = nullptr;
};

FileContents readAccessFile(const QString &path, const ReadOptions &options = {});

// The days since 1899-12-30 that Jet stores, as a date and time (UTC). Before
// that day the whole part counts back and the fraction still runs forward
// through the day. Invalid for NaN, infinities and days outside 100 to 9999.
QDateTime jetDateTime(double stored);

} // namespace jet
