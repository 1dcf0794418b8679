#include "data/datacontrol.h"

#include "data/diaryconnection.h"
#include "data/diarynames.h"
#include "data/textpool.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace diary {

RecordSourceRows readRecordSource(const QString &path, const QString &recordSource)
{
    RecordSourceRows result;
    QString error;
    std::unique_ptr<Connection> connection = Connection::open(path, &error);
    if (!connection) {
        result.error = error;
        return result;
    }
    {
        QSqlQuery q(connection->database());
        q.setForwardOnly(true);
        if (!q.exec(selectForRecordSource(recordSource))) {
            result.error = openFailure(path, q.lastError());
            return result;
        }
        const QSqlRecord record = q.record();
        int fields = record.count();
        const bool keyed = fields > 0 && record.fieldName(fields - 1) == QLatin1String("ID");
        if (keyed)
            --fields;
        for (int i = 0; i < fields; ++i)
            result.header << record.fieldName(i);
        // Room for every day at once: grown by doubling instead, the cells
        // of a long diary are moved into fresh memory several times over,
        // which costs more than the read on some machines. Both sources of
        // days read every row of records; SQLite counts them from the
        // smallest index (a new diary's ranking index), or from the table
        // in a diary that has none, still less than the read itself.
        if (recordSource == mainRecordSource() || recordSource == recordsRecordSource()) {
            QSqlQuery count(connection->database());
            if (count.exec(QStringLiteral("SELECT count(*) FROM records")) && count.next())
                result.cells.reserve(size_t(1 + std::max<qint64>(0, count.value(0).toLongLong())) * size_t(fields));
        }
        result.cells.assign(result.header.cbegin(), result.header.cend());
        TextPool pool(fields);
        while (q.next()) {
            for (int i = 0; i < fields; ++i)
                result.cells.push_back(pool.shared(i, q.value(i).toString()));
            if (keyed) {
                bool ok = false;
                const qint64 id = q.value(fields).toLongLong(&ok);
                result.keys.push_back(ok ? id : -1);
            }
        }
        if (q.lastError().isValid()) {
            result.error = openFailure(path, q.lastError());
        }
    }
    return result;
}

} // namespace diary
