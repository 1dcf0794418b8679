#include "keeping/sqliterunner.h"

#include "keeping/sqlitefile.h"

namespace keeping {

bool SqliteRunner::run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error)
{
    Statement s(m_file, sql);
    if (!s.ok()) {
        *error = s.error();
        return false;
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (!s.bind(int(i + 1), values[i])) {
            *error = sqliteMessage(m_file.handle());
            return false;
        }
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
    if (!s.error().isEmpty()) {
        *error = s.error();
        return false;
    }
    return true;
}

} // namespace keeping
