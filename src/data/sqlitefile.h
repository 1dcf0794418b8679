#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// SQLite's own C API, for what Qt SQL does not reach: the online backup,
// reading a text's stored bytes as they are, and opening a file that must not
// be a link. Every value is bound; failures come back as text for the user.
namespace diary {

class SqliteFile
{
    Q_DISABLE_COPY_MOVE(SqliteFile)
public:
    enum Mode { ReadOnly, ReadWrite, Create };
    SqliteFile() = default;
    ~SqliteFile();
    // Never creates a file unless asked, never follows a link unless told;
    // waits up to `busyMs` for another connection's lock.
    bool open(const QString &path, Mode mode, int busyMs = 30000, bool followLink = false);
    void close();
    sqlite3 *handle() const { return m_db; }
    QString path() const { return m_path; }
    QString lastError() const { return m_error; }
    // SQLite's extended result code of the last failure (SQLITE_OK when none).
    int lastCode() const { return m_code; }

    // Runs statements that return nothing.
    bool exec(const QString &sql);
    // The first column of the first row, or an invalid QVariant with lastError set.
    QVariant scalar(const QString &sql, const QVariantList &values = {});
    // Every row of the first column, as text (integrity_check's report).
    QStringList column(const QString &sql);

    void setError(const QString &error) { m_error = error; }

private:
    void fail(int code, const QString &error);
    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_error;
    int m_code = 0;
};

// A prepared statement that finalises itself.
class Statement
{
    Q_DISABLE_COPY_MOVE(Statement)
public:
    Statement(SqliteFile &file, const QString &sql);
    // On a connection opened elsewhere (a Qt SQL connection's own handle).
    Statement(sqlite3 *db, const QString &sql);
    ~Statement();
    bool ok() const { return m_stmt != nullptr; }
    QString error() const { return m_error; }
    // SQLite's extended result code of the last failure (SQLITE_OK when none).
    int code() const { return m_code; }
    // SQLite binds from 1. A value that cannot be bound fails the next step
    // (error() says why), so that no statement runs with a value missing.
    bool bind(int index, const QVariant &value);
    bool bindText(int index, const QByteArray &utf8);
    // true for a row, false when done or failed (then error() says why).
    bool step();
    bool reset();
    // Columns count from 0.
    int columnCount() const;
    bool isNull(int column) const;
    bool isInteger(int column) const;
    qint64 integer(int column) const;
    // The bytes as stored; for a number, its text.
    QByteArray bytes(int column) const;
    // A text's UTF-8 bytes, valid until the next step; empty for any other type.
    QByteArrayView textView(int column) const;
    // The value as Qt SQL gives it: null, qint64, double, QByteArray or QString.
    QVariant value(int column) const;
    QString columnName(int column) const;
    sqlite3_stmt *handle() const { return m_stmt; }

private:
    bool bound(int rc);
    sqlite3_stmt *m_stmt = nullptr;
    sqlite3 *m_db = nullptr;
    bool m_bindFailed = false;
    QString m_error;
    int m_code = 0;
};

// SQLite's message for the last failure on `db`.
QString sqliteMessage(sqlite3 *db);

} // namespace diary
