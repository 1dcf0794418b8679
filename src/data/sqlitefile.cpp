#include "data/sqlitefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <limits>

namespace diary {

QString sqliteMessage(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QCoreApplication::translate("diary", "out of memory");
}

SqliteFile::~SqliteFile()
{
    close();
}

bool SqliteFile::open(const QString &path, Mode mode, int busyMs, bool followLink)
{
    close();
    m_path = path;
    int flags = SQLITE_OPEN_FULLMUTEX | (followLink ? 0 : SQLITE_OPEN_NOFOLLOW);
    switch (mode) {
    case ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    m_code = SQLITE_OK;
    const int rc = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        fail(m_db ? sqlite3_extended_errcode(m_db) : rc, sqliteMessage(m_db));
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, busyMs);
    // Whatever is written through this file is on the disk at its commit.
    if (mode != ReadOnly && !exec(QStringLiteral("PRAGMA synchronous = FULL"))) {
        close();
        return false;
    }
    return true;
}

void SqliteFile::fail(int code, const QString &error)
{
    m_code = code;
    m_error = error;
}

void SqliteFile::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqliteFile::exec(const QString &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        fail(sqlite3_extended_errcode(m_db), message ? QString::fromUtf8(message) : sqliteMessage(m_db));
        sqlite3_free(message);
        return false;
    }
    return true;
}

QVariant SqliteFile::scalar(const QString &sql, const QVariantList &values)
{
    Statement s(*this, sql);
    if (!s.ok()) {
        fail(s.code(), s.error());
        return {};
    }
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values.at(i));
    if (!s.step()) {
        fail(s.code(), s.error().isEmpty() ? QCoreApplication::translate("diary", "no result") : s.error());
        return {};
    }
    if (s.isNull(0))
        return QVariant(QMetaType::fromType<QString>());
    if (s.isInteger(0))
        return QVariant(s.integer(0));
    return QString::fromUtf8(s.bytes(0));
}

QStringList SqliteFile::column(const QString &sql)
{
    QStringList out;
    Statement s(*this, sql);
    if (!s.ok()) {
        fail(s.code(), s.error());
        return out;
    }
    while (s.step())
        out << QString::fromUtf8(s.bytes(0));
    if (!s.error().isEmpty())
        fail(s.code(), s.error());
    return out;
}

Statement::Statement(SqliteFile &file, const QString &sql)
    : Statement(file.handle(), sql)
{}

Statement::Statement(sqlite3 *db, const QString &sql)
    : m_db(db)
{
    if (!m_db) {
        m_error = QCoreApplication::translate("diary", "the file is not open");
        return;
    }
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK) {
        m_code = sqlite3_extended_errcode(m_db);
        m_error = sqliteMessage(m_db);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

bool Statement::bound(int rc)
{
    if (rc == SQLITE_OK)
        return true;
    // Remembered until the next reset: the statement must not run with a
    // value missing (a day inserted without its text would be a day lost).
    m_bindFailed = true;
    m_code = rc;
    m_error = QCoreApplication::translate("diary", "a value could not be given to the database: %1")
                  .arg(QString::fromUtf8(sqlite3_errstr(rc)));
    return false;
}

bool Statement::bind(int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isNull()))
        rc = sqlite3_bind_null(m_stmt, index);
    else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
    else if (value.typeId() == QMetaType::QByteArray)
        return bindText(index, value.toByteArray());
    else
        return bindText(index, value.toString().toUtf8());
    return bound(rc);
}

bool Statement::bindText(int index, const QByteArray &utf8)
{
    if (utf8.size() > std::numeric_limits<int>::max())
        return bound(SQLITE_TOOBIG);
    return bound(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
}

bool Statement::step()
{
    if (m_bindFailed)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        m_code = sqlite3_extended_errcode(m_db);
        m_error = sqliteMessage(m_db);
    }
    return false;
}

bool Statement::reset()
{
    // A failure of the last step is not the next one's.
    m_error.clear();
    m_code = SQLITE_OK;
    m_bindFailed = false;
    sqlite3_clear_bindings(m_stmt);
    return sqlite3_reset(m_stmt) == SQLITE_OK;
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool Statement::isInteger(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_INTEGER;
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QByteArray Statement::bytes(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    if (sqlite3_column_type(m_stmt, column) != SQLITE_BLOB) {
        // Numbers come back as their text.
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QByteArray(text, sqlite3_column_bytes(m_stmt, column));
    }
    return QByteArray(data, size);
}

QByteArrayView Statement::textView(int column) const
{
    if (sqlite3_column_type(m_stmt, column) != SQLITE_TEXT)
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_BLOB:
        return QVariant(bytes(column));
    default:
        return QVariant(QString::fromUtf8(textView(column)));
    }
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

} // namespace diary
