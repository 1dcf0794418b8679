#include "data/diaryconnection.h"

#include "data/sqlitecodes.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sys/stat.h>

namespace diary {

namespace {
int s_busyTimeoutMs = Connection::kCommandTimeoutMs;
int s_openTimeoutMs = Connection::kConnectionTimeoutMs;

QString tr(const char *text)
{
    return QCoreApplication::translate("diary", text);
}

// A diary in WAL mode (header bytes 18 and 19 are 2) needs files beside it.
bool isWalFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.startsWith("SQLite format 3") && header.at(18) == 2 && header.at(19) == 2;
}

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

QString openFailure(const QString &path, const QSqlError &error)
{
    const QString text = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    switch (engineFailure(error.nativeErrorCode().toInt())) {
    case EngineFailure::Busy:
        return tr("The diary %1 is in use by another program, which holds it locked (%2). Close that program "
                  "and try again.")
            .arg(path, text);
    case EngineFailure::Damaged:
        return tr("The diary %1 is damaged (%2). Keep the file and a copy of it: sqlite3's .recover command "
                  "can often save its days.")
            .arg(path, text);
    case EngineFailure::NotADiary:
    case EngineFailure::Statement: // a table, column or the query is missing
        return tr("The file %1 is not a MEALWISE diary (%2). To start a new diary, move this file elsewhere; "
                  "mealwise-setup then creates one in its place.")
            .arg(path, text);
    default: {
        const QString folder = QFileInfo(path).absolutePath();
        if (isWalFile(path) && !QFileInfo(folder).isWritable())
            return tr("The diary %1 cannot be read (%2): it keeps a write-ahead log beside it, so its folder %3 "
                      "must be writable. Make the folder writable and try again.")
                .arg(path, text, folder);
        return tr("The diary %1 cannot be read (%2). Check that you may read and write the file and its folder, "
                  "and try again.")
            .arg(path, text);
    }
    }
}

Connection::Connection(QString path, QString name)
    : m_path(std::move(path))
    , m_name(std::move(name))
{}

std::unique_ptr<Connection> Connection::open(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error =
                QCoreApplication::translate("diary", "The diary file %1 does not exist. %2").arg(path, setupAdvice());
        return nullptr;
    }
    if (!info.isFile()) {
        if (error)
            *error =
                QCoreApplication::translate("diary", "The diary file %1 is not a file. %2").arg(path, setupAdvice());
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
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(openTimeoutMs()));
    if (!db.open()) {
        if (error)
            *error = openFailure(m_path, db.lastError());
        return false;
    }
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(m_path).constData(), &st) == 0) {
        m_device = quint64(st.st_dev);
        m_inode = quint64(st.st_ino);
    }
    QSqlQuery q(db);
    // Reading the schema is the first real read of the file: a file that is
    // not a SQLite database, or one held locked, fails here.
    if (!q.exec(QStringLiteral("PRAGMA schema_version"))) {
        if (error)
            *error = openFailure(m_path, q.lastError());
        q = QSqlQuery();
        db.close();
        return false;
    }
    q.finish();
    // A rollback journal, not WAL, so that a closed diary is a single file;
    // every commit on the disk before it returns. A connection that cannot
    // promise that is not opened.
    for (const QString &pragma :
         {QStringLiteral("PRAGMA synchronous = FULL"), QStringLiteral("PRAGMA foreign_keys = ON")}) {
        if (!q.exec(pragma)) {
            if (error)
                *error = openFailure(m_path, q.lastError());
            q = QSqlQuery();
            db.close();
            return false;
        }
    }
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
    if (!openDatabase(nullptr))
        return false;
    finishOpening();
    return true;
}

void Connection::finishOpening()
{
    QSqlQuery q(database());
    // Not checked: should it fail, commands keep the shorter wait of the
    // opening, so a lock is only reported sooner.
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMs()));
}

bool Connection::fileReplaced() const
{
    struct stat st
    {
    };
    if (m_inode == 0 || ::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return false; // gone is not replaced: writing then says what is wrong
    return quint64(st.st_dev) != m_device || quint64(st.st_ino) != m_inode;
}

void Connection::setOpenTimeoutMs(int ms)
{
    s_openTimeoutMs = ms;
}

int Connection::openTimeoutMs()
{
    return s_openTimeoutMs;
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

sqlite3 *Connection::handle() const
{
    const QSqlDatabase db = database();
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(h.data());
}

} // namespace diary
