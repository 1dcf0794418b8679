#include "data/diarycolumns.h"

namespace diary {

// Two columns in one place would leave the grid's order to chance.
static_assert([] {
    for (int i = 0; i < kColumnCount; ++i) {
        for (int j = i + 1; j < kColumnCount; ++j) {
            if (kDiaryColumns[i].gridPlace == kDiaryColumns[j].gridPlace)
                return false;
        }
    }
    return true;
}());

const DiaryColumn *findColumn(QStringView name)
{
    for (const DiaryColumn &c : kDiaryColumns) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

QString sqlName(const char *name)
{
    const QString n = QLatin1String(name);
    return n.contains(QLatin1Char(' ')) ? QLatin1Char('[') + n + QLatin1Char(']') : n;
}

QStringList columnNamesOf(ColumnKind kind)
{
    QStringList out;
    for (const DiaryColumn &c : kDiaryColumns) {
        if (c.kind == kind)
            out << QLatin1String(c.name);
    }
    return out;
}

const QStringList &itemFieldNames()
{
    static const QStringList names = [] {
        QStringList out;
        for (const int i : kItemColumns)
            out << QLatin1String(kDiaryColumns[i].name);
        return out;
    }();
    return names;
}

const QStringList &copiedFieldNames()
{
    return itemFieldNames();
}

const QStringList &reportFieldNames()
{
    static const QStringList names = [] {
        QStringList out;
        for (const ColumnKind kind : {ColumnKind::Date, ColumnKind::Score, ColumnKind::Count})
            out << columnNamesOf(kind);
        return out + itemFieldNames() + columnNamesOf(ColumnKind::Comments);
    }();
    return names;
}

} // namespace diary
