#include "analysis/diaryread.h"

#include "data/diaryconnection.h"
#include "data/diarynames.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

namespace analysis {

QString daysSelect()
{
    // The fixed columns, ID, DATE, OVERALL SCORE, BMs, then itemFields() in order.
    QString sql = QStringLiteral("SELECT ID, DATE, [OVERALL SCORE], BMs");
    for (const QString &f : itemFields())
        sql += QStringLiteral(", ") + f;
    return sql + QStringLiteral(" FROM records");
}

DiaryContents readDiaryContents(const QString &path)
{
    DiaryContents result;
    QString error;
    std::unique_ptr<diary::Connection> connection = diary::Connection::open(path, &error);
    if (!connection) {
        result.error = error;
        return result;
    }
    const auto failed = [&](const QSqlQuery &q) {
        return QCoreApplication::translate("analysis", "The diary %1 could not be read: %2. %3")
            .arg(path, q.lastError().databaseText(), diary::setupAdvice());
    };
    {
        QSqlQuery q(connection->database());
        q.setForwardOnly(true);
        if (!q.exec(daysSelect())) {
            result.error = failed(q);
            return result;
        }
        while (q.next()) {
            DiaryDay d;
            bool ok = false;
            d.id = q.value(0).toLongLong(&ok);
            if (!ok)
                d.id = -1;
            d.date = q.value(1);
            d.score = q.value(2);
            d.bms = q.value(3);
            for (int f = 0; f < kItemFieldCount; ++f)
                d.fields[size_t(f)] = q.value(4 + f).toString();
            result.rows.push_back(std::move(d));
        }
        if (q.lastError().isValid()) {
            result.error = failed(q);
            return result;
        }
    }
    {
        QSqlQuery q(connection->database());
        q.setForwardOnly(true);
        if (!q.exec(diary::foodRecordSource())) {
            result.error = failed(q);
            return result;
        }
        if (q.next()) {
            result.lists.adequateFood = q.value(0).toString();
            result.lists.irritableFood = q.value(1).toString();
            result.lists.reliableMedication = q.value(2).toString();
            result.lists.unsatisfactoryMedication = q.value(3).toString();
        }
    }
    return result;
}

} // namespace analysis
