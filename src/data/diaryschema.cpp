#include "data/diaryschema.h"

#include "data/diarycolumns.h"
#include "data/sampledays.h"
#include "data/sqlrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace diary {

QString createRecordsTableSql(RangeChecks ranges)
{
    if (ranges == RangeChecks::Off) {
        QString sql = createRecordsTableSql(RangeChecks::On);
        sql.replace(
            QStringLiteral(
                R"("BMs must be a whole number from 0 up" CHECK (BMs IS NULL OR (typeof(BMs) = 'integer' AND BMs >= 0)))"),
            QStringLiteral(R"("BMs must be a whole number" CHECK (BMs IS NULL OR typeof(BMs) = 'integer'))"));
        sql.replace(
            QStringLiteral(
                R"("OVERALL SCORE must be a whole number from 1 to 10" CHECK ([OVERALL SCORE] IS NULL OR (typeof([OVERALL SCORE]) = 'integer' AND [OVERALL SCORE] BETWEEN 1 AND 10)))"),
            QStringLiteral(
                R"("OVERALL SCORE must be a whole number" CHECK ([OVERALL SCORE] IS NULL OR typeof([OVERALL SCORE]) = 'integer'))"));
        return sql;
    }
    // Whole numbers are held as INTEGER; text that does not read as one keeps
    // another type and the named check refuses it, so the message says why.
    // DATE holds yyyy-MM-dd: date(x, '+0 days') normalises anything else (31/02 becomes
    // 03/03), so only a valid calendar date equals its own normal form.
    return QStringLiteral(R"(CREATE TABLE records (
    BEVERAGE1 TEXT,
    BEVERAGE2 TEXT,
    BEVERAGE3 TEXT,
    BEVERAGE4 TEXT,
    BMs INTEGER CONSTRAINT "BMs must be a whole number from 0 up" CHECK (BMs IS NULL OR (typeof(BMs) = 'integer' AND BMs >= 0)),
    BREAKFAST TEXT,
    COMMENTS TEXT,
    DATE TEXT CONSTRAINT "DATE must be a valid calendar date" CHECK (DATE IS NULL OR (length(DATE) = 10 AND date(DATE, '+0 days') IS DATE)),
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    LUNCH TEXT,
    MEDICATION1 TEXT,
    MEDICATION2 TEXT,
    MEDICATION3 TEXT,
    [OVERALL SCORE] INTEGER CONSTRAINT "OVERALL SCORE must be a whole number from 1 to 10" CHECK ([OVERALL SCORE] IS NULL OR (typeof([OVERALL SCORE]) = 'integer' AND [OVERALL SCORE] BETWEEN 1 AND 10)),
    SNACK1 TEXT,
    SNACK2 TEXT,
    SNACK3 TEXT,
    SNACK4 TEXT,
    TEA TEXT,
    MEDICATION4 TEXT,
    MEDICATION5 TEXT,
    MEDICATION6 TEXT,
    MEDICATION7 TEXT,
    MEDICATION8 TEXT,
    MEDICATION9 TEXT
))");
}

QString createFoodTableSql()
{
    return QStringLiteral(R"(CREATE TABLE [FOOD AND MEDICATION] (
    [ADEQUATE FOOD] TEXT,
    [IRRITABLE FOOD] TEXT,
    [RELIABLE MEDICATION] TEXT,
    [UNSATISFACTORY MEDICATION] TEXT
))");
}

QString createDiaryQuerySql()
{
    // Best day first; DESC puts days without a score last. records.DATE names
    // the stored column, not the formatted one of the same name. Only a real
    // yyyy-MM-dd day is shown as dd/MM/yy; anything else another tool stored
    // is shown as it stands, never cut into a date it is not.
    return QStringLiteral(R"(CREATE VIEW [Diary Query] AS SELECT
    CASE WHEN typeof(records.DATE) = 'text'
              AND records.DATE GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'
              AND date(records.DATE, '+0 days') IS records.DATE
         THEN substr(records.DATE, 9, 2) || '/' || substr(records.DATE, 6, 2) || '/' || substr(records.DATE, 3, 2)
         ELSE records.DATE
    END AS DATE,
    [OVERALL SCORE], BMs,
    BREAKFAST, BEVERAGE1, MEDICATION1, MEDICATION4, MEDICATION5, SNACK1,
    LUNCH, BEVERAGE2, MEDICATION2, MEDICATION6, MEDICATION7, SNACK2,
    TEA, BEVERAGE3, MEDICATION3, MEDICATION8, MEDICATION9, SNACK3,
    BEVERAGE4, SNACK4, COMMENTS,
    ID
FROM records
ORDER BY [OVERALL SCORE] DESC, records.DATE DESC, ID)");
}

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("diary", text);
}

class ScopedConnection
{
    Q_DISABLE_COPY_MOVE(ScopedConnection)
public:
    explicit ScopedConnection(const QString &path, bool mustExist)
        : m_name(QStringLiteral("mealwise-setup-%1").arg(quintptr(this)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        url.setQuery(mustExist ? QStringLiteral("mode=rw") : QStringLiteral("mode=rwc"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=30000"));
        m_ok = db.open();
        if (!m_ok)
            m_error = db.lastError().text();
    }
    ~ScopedConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

private:
    QString m_name;
    bool m_ok = false;
    QString m_error;
};

} // namespace

QString createDiary(const QString &path, RangeChecks ranges)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return tr("%1 already exists; it was left untouched.").arg(path);

    const QString folder = info.absolutePath();
    if (!QFileInfo::exists(folder)) {
        // Health data: only the user may look into the folder, from the
        // moment it exists (the umask can only narrow 0700).
        const QString parent = QFileInfo(folder).absolutePath();
        if (!QDir().mkpath(parent) || ::mkdir(QFile::encodeName(folder).constData(), 0700) != 0)
            return tr("The folder %1 could not be created.").arg(folder);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    }

    // Create the file ourselves, exclusively and with its final mode, so that
    // it is never readable by others, not even for a moment, and an existing
    // file can never be taken over.
    const QByteArray native = QFile::encodeName(info.absoluteFilePath());
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return tr("The file %1 could not be created: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
    ::fchmod(fd, 0600);
    ::close(fd);

    QString failure;
    {
        ScopedConnection connection(path, true);
        if (!connection.ok()) {
            failure = connection.error();
        } else {
            QtSqlRunner sql(connection.db());
            Transaction tx(sql);
            const QStringList statements{
                createRecordsTableSql(ranges),
                createFoodTableSql(),
                QStringLiteral("INSERT INTO [FOOD AND MEDICATION] VALUES ('', '', '', '')"),
                // Serves the ranking: score, then date, both descending, then ID.
                QStringLiteral("CREATE INDEX [records ranking] ON records ([OVERALL SCORE] DESC, DATE DESC, ID)"),
                createDiaryQuerySql(),
                QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion),
            };
            if (sql.run(QStringLiteral("PRAGMA journal_mode = DELETE"), {}, nullptr, &failure) &&
                tx.begin(Transaction::Deferred, &failure)) {
                for (const QString &statement : statements) {
                    if (!sql.run(statement, {}, nullptr, &failure))
                        break;
                }
                if (failure.isEmpty())
                    tx.commit(&failure);
            }
        }
    }
    if (!failure.isEmpty()) {
        QFile::remove(path);
        return tr("The diary %1 could not be created: %2").arg(path, failure);
    }
    return {};
}

QString addSampleDays(const QString &path, int days, const QDate &today, quint32 seed)
{
    if (days <= 0)
        return {};
    ScopedConnection connection(path, true);
    if (!connection.ok())
        return tr("The diary %1 could not be opened: %2").arg(path, connection.error());
    QSqlDatabase db = connection.db();
    QString failure;
    {
        QtSqlRunner sql(db);
        Transaction tx(sql);
        if (!sql.run(QStringLiteral("PRAGMA synchronous = FULL"), {}, nullptr, &failure) ||
            !tx.begin(Transaction::Deferred, &failure))
            return tr("The diary %1 could not be written: %2").arg(path, failure);
        QSqlQuery q(db);
        // Every column but the key, which the diary gives.
        QStringList names;
        for (const DiaryColumn &c : kDiaryColumns) {
            if (c.kind != ColumnKind::Key)
                names << QLatin1String(c.name);
        }
        QStringList placeholders;
        QStringList columns;
        for (const QString &c : names) {
            placeholders << QStringLiteral("?");
            columns << QLatin1Char('[') + c + QLatin1Char(']');
        }
        q.prepare(QStringLiteral("INSERT INTO records (") + columns.join(QLatin1Char(',')) +
                  QStringLiteral(") VALUES (") + placeholders.join(QLatin1Char(',')) + QLatin1Char(')'));
        SampleDays generator(seed, today);
        for (int i = 0; i < days && failure.isEmpty(); ++i) {
            const SampleDay day = generator.day(days - i);
            for (const QString &c : names)
                q.addBindValue(day.value(c));
            if (!q.exec())
                failure = q.lastError().text();
        }
        if (failure.isEmpty())
            tx.commit(&failure);
    }
    if (!failure.isEmpty())
        return tr("The sample days could not be written to %1: %2").arg(path, failure);
    return {};
}

} // namespace diary
