#include "data/engineversion.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace diary {

QString sqliteVersion()
{
    static const QString version = [] {
        const QString name = QStringLiteral("mealwise-engine-version");
        QString result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(QStringLiteral(":memory:"));
            if (db.open()) {
                QSqlQuery query(db);
                if (query.exec(QStringLiteral("SELECT sqlite_version()")) && query.next())
                    result = query.value(0).toString();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return result;
    }();
    return version;
}

} // namespace diary
