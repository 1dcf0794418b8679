#include "testsupport.h"

#include "data/diarynames.h"
#include "data/diaryschema.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

namespace testing_support {

MessageLog::MessageLog()
{
    m_previous = vb::setMsgBoxSink([this](const QString &text, QWidget *) { messages.append(text); });
}

MessageLog::~MessageLog()
{
    vb::setMsgBoxSink(std::move(m_previous));
}

TempDiary::TempDiary(bool atHome)
{
    m_path = atHome ? diary::databasePath() : m_dir.filePath(QStringLiteral("Records.mdb"));
    if (atHome)
        QFile::remove(m_path);
    m_error = diary::createDiary(m_path);
}

TempDiary::~TempDiary()
{
    if (!m_dir.path().isEmpty() && !m_path.startsWith(m_dir.path()))
        QFile::remove(m_path);
}

namespace {
template <typename F> auto withConnection(const QString &path, F &&f)
{
    const QString name = QStringLiteral("test-direct");
    // A failed open gives the empty value (false, no rows), never an unset one.
    decltype(f(std::declval<QSqlDatabase &>())) result{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open())
            result = f(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
} // namespace

bool TempDiary::exec(const QString &sql, const QVariantList &values) const
{
    return withConnection(m_path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        const bool ok = q.exec();
        if (!ok)
            qWarning("exec failed: %s", qPrintable(q.lastError().text()));
        return ok;
    });
}

bool TempDiary::execPastChecks(const QString &sql, const QVariantList &values) const
{
    return withConnection(m_path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON")))
            return false;
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        const bool ok = q.exec();
        if (!ok)
            qWarning("exec failed: %s", qPrintable(q.lastError().text()));
        return ok;
    });
}

QList<QVariantList> TempDiary::rows(const QString &sql, const QVariantList &values) const
{
    return withConnection(m_path, [&](QSqlDatabase &db) {
        QList<QVariantList> out;
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec()) {
            qWarning("query failed: %s", qPrintable(q.lastError().text()));
            return out;
        }
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            out.append(row);
        }
        return out;
    });
}

QVariant TempDiary::scalar(const QString &sql, const QVariantList &values) const
{
    const QList<QVariantList> r = rows(sql, values);
    return r.isEmpty() || r.first().isEmpty() ? QVariant() : r.first().first();
}

qint64 TempDiary::insertDay(const QHash<QString, QVariant> &fields) const
{
    QStringList columns;
    QStringList marks;
    QVariantList values;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        columns << QLatin1Char('[') + it.key() + QLatin1Char(']');
        marks << QStringLiteral("?");
        values << it.value();
    }
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO records DEFAULT VALUES")
                            : QStringLiteral("INSERT INTO records (") + columns.join(QLatin1Char(',')) +
                                  QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    if (!exec(sql, values))
        return -1;
    return scalar(QStringLiteral("SELECT max(ID) FROM records")).toLongLong();
}

TempHome::TempHome()
    : m_oldHome(qgetenv("HOME"))
    , m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/.config")));
    // QSettings reads the config folder once per process; point it here anew.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path() + QStringLiteral("/.config"));
}

TempHome::~TempHome()
{
    qputenv("HOME", m_oldHome);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    const QString config = m_oldConfig.isEmpty() ? QString::fromLocal8Bit(m_oldHome) + QStringLiteral("/.config")
                                                 : QString::fromLocal8Bit(m_oldConfig);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
}

} // namespace testing_support
