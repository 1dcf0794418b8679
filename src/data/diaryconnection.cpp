#include "data/diaryconnection.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace diary {

namespace {
int s_busyTimeoutMs = Connection::kCommandTimeoutMs;

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("mealwise-%1").arg(++counter);
}
} // namespace

QString setupAdvice()
{
    return QCoreApplication::translate("diary", "The program mealwise-setup creates a new diary.");
}

Connection::Connection(QString path, QString name)
    : m_path(std::move(path)), m_name(std::move(name))
{
}

std::unique_ptr<Connection> Connection::open(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QCoreApplication::translate("diary", "The diary file %1 does not exist. %2")
                         .arg(path, setupAdvice());
        return nullptr;
    }
    if (!info.isFile()) {
        if (error)
            *error = QCoreApplication::translate("diary", "The diary file %1 is not a file. %2")
                         .arg(path, setupAdvice());
        return nullptr;
    }

    std::unique_ptr<Connection> connection(new Connection(path, nextConnectionName()));
    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection->m_name);
    if (!connection->openDatabase(error))
        return nullptr;
    return connection;
}

bool Connection::openDatabase(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    m_openedReadOnly = !QFileInfo(m_path).isWritable();
    // mode=rw opens an existing file only, read-only where the file is
    // write-protected, and never creates one.
    QUrl url = QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs()));
    if (!db.open()) {
        if (error)
            *error = QCoreApplication::translate("diary", "The diary file %1 could not be opened: %2. %3")
                         .arg(m_path, db.lastError().text(), setupAdvice());
        return false;
    }
    QSqlQuery q(db);
    // Reading the schema is the first real read of the file: a file that is
    // not a SQLite database fails here.
    if (!q.exec(QStringLiteral("PRAGMA schema_version"))) {
        if (error)
            *error = QCoreApplication::translate("diary", "The file %1 is not a MEALWISE diary (%2). %3")
                         .arg(m_path, q.lastError().databaseText(), setupAdvice());
        q = QSqlQuery();
        db.close();
        return false;
    }
    q.finish();
    // A rollback journal, not WAL, so that a closed diary is a single file.
    q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    q.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    return true;
}

bool Connection::reopenIfWritableNow()
{
    if (!m_openedReadOnly || !QFileInfo(m_path).isWritable())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isValid())
        return false;
    db.close();
    return openDatabase(nullptr);
}

void Connection::setBusyTimeoutMs(int ms)
{
    s_busyTimeoutMs = ms;
}

int Connection::busyTimeoutMs()
{
    return s_busyTimeoutMs;
}

Connection::~Connection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

} // namespace diary
