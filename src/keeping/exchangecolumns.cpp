#include "keeping/exchangecolumns.h"

#include "data/diarycolumns.h"

namespace keeping {

const QStringList &exchangedColumns()
{
    // The key stays with its diary: an imported day gets one of the diary's own.
    static const QStringList columns = [] {
        QStringList out;
        for (const diary::DiaryColumn &c : diary::kDiaryColumns) {
            if (c.kind != diary::ColumnKind::Key)
                out << QLatin1String(c.name);
        }
        return out;
    }();
    return columns;
}

QString bracketed(const QString &name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

} // namespace keeping
