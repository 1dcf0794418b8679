#include "keeping/exchangecolumns.h"

#include "data/diarynames.h"

namespace keeping {

const QStringList &exchangedColumns()
{
    static const QStringList columns = [] {
        QStringList out = diary::recordsColumns();
        out.removeAll(QStringLiteral("ID"));
        return out;
    }();
    return columns;
}

QString bracketed(const QString &name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

} // namespace keeping
