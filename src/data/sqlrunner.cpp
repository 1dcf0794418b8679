#include "data/sqlrunner.h"

#include "data/sqlitefile.h"

#include <QSqlError>
#include <QSqlRecord>

namespace diary {

bool QtSqlRunner::run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error)
{
    QSqlQuery q(m_db);
    auto failed = [&] {
        const QSqlError e = q.lastError();
        m_code = e.nativeErrorCode().toInt();
        *error = m_describe ? m_describe(q) : (e.databaseText().isEmpty() ? e.text() : e.databaseText()).trimmed();
        return false;
    };
    m_code = 0;
    if (!q.prepare(sql))
        return failed();
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return failed();
    if (rows) {
        const int columns = q.record().count();
        while (q.next()) {
            QVariantList row;
            row.reserve(columns);
            for (int i = 0; i < columns; ++i) {
                const QVariant v = q.value(i);
                if (v.isNull())
                    row << QVariant();
                else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
                    row << QVariant(v.toLongLong());
                else
                    row << QVariant(v.toString());
            }
            rows->append(row);
        }
        if (q.lastError().isValid())
            return failed();
    }
    return true;
}

bool SqliteRunner::run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error)
{
    m_code = 0;
    Statement s(m_file, sql);
    auto failed = [&](const QString &why) {
        m_code = s.code();
        *error = why;
        return false;
    };
    if (!s.ok())
        return failed(s.error());
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (!s.bind(int(i + 1), values[i]))
            return failed(sqliteMessage(m_file.handle()));
    }
    while (s.step()) {
        if (!rows)
            continue;
        QVariantList row;
        for (int c = 0; c < s.columnCount(); ++c) {
            if (s.isNull(c))
                row << QVariant();
            else if (s.isInteger(c))
                row << QVariant(s.integer(c));
            else
                row << QVariant(QString::fromUtf8(s.bytes(c)));
        }
        rows->append(row);
    }
    if (!s.error().isEmpty())
        return failed(s.error());
    return true;
}

bool Transaction::begin(Kind kind, QString *error)
{
    rollback();
    static const char *const statements[] = {"BEGIN", "BEGIN IMMEDIATE", "BEGIN EXCLUSIVE"};
    m_active = m_sql.run(QLatin1String(statements[kind]), {}, nullptr, error);
    return m_active;
}

bool Transaction::commit(QString *error)
{
    if (!m_active)
        return false;
    if (m_sql.run(QStringLiteral("COMMIT"), {}, nullptr, error)) {
        m_active = false;
        return true;
    }
    // A COMMIT refused for a lock leaves the transaction open; other
    // failures may have ended it. Either way nothing of it stays, and the
    // caller learns why COMMIT failed, not how the ROLLBACK went.
    const int code = m_sql.lastCode();
    rollback();
    m_sql.m_code = code;
    return false;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    QString ignored;
    m_sql.run(QStringLiteral("ROLLBACK"), {}, nullptr, &ignored);
}

} // namespace diary
