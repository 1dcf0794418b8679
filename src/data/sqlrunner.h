#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>

namespace diary {

class SqliteFile;

// Statements run on a connection that its caller owns, whether Qt SQL's (the
// windows' row sets, the bin) or SQLite's C API (the keeping commands), so
// that what they write joins the caller's transaction.
class SqlRunner
{
public:
    virtual ~SqlRunner() = default;
    // Runs one statement with `values` bound in order; when `rows` is given,
    // every row it returns is appended (NULL, a whole number as qint64, any
    // other value as text). False with the engine's words in `error`.
    virtual bool run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error) = 0;
    // SQLite's extended result code of the last failure (0 when none).
    int lastCode() const { return m_code; }

protected:
    friend class Transaction;
    int m_code = 0;
};

class QtSqlRunner final : public SqlRunner
{
public:
    // `describe` turns a failed query into words for the user; by default
    // the engine's own.
    using Describe = std::function<QString(const QSqlQuery &failed)>;
    explicit QtSqlRunner(const QSqlDatabase &db, Describe describe = {})
        : m_db(db)
        , m_describe(std::move(describe))
    {}
    bool run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error) override;

private:
    QSqlDatabase m_db;
    Describe m_describe;
};

class SqliteRunner final : public SqlRunner
{
public:
    explicit SqliteRunner(SqliteFile &file)
        : m_file(file)
    {}
    bool run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error) override;

private:
    SqliteFile &m_file;
};

// A transaction that rolls itself back unless it was committed, so that no
// path out of a write (an early return, a failed step, an exception) leaves
// the diary locked or half written.
class Transaction
{
    Q_DISABLE_COPY_MOVE(Transaction)
public:
    // Immediate and Exclusive take the write lock at BEGIN, so that the rows
    // a write has found cannot change before it writes them.
    enum Kind { Deferred, Immediate, Exclusive };
    explicit Transaction(SqlRunner &sql)
        : m_sql(sql)
    {}
    ~Transaction() { rollback(); }
    bool begin(Kind kind, QString *error);
    // On failure the transaction is rolled back, with the engine's words in
    // `error` and its code in the runner's lastCode().
    bool commit(QString *error);
    void rollback();
    bool active() const { return m_active; }

private:
    SqlRunner &m_sql;
    bool m_active = false;
};

} // namespace diary
