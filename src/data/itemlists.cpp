#include "data/itemlists.h"

#include "data/diarynames.h"
#include "data/rowset.h"

namespace diary {

const QStringList &numberItems()
{
    static const QStringList items{
        QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
        QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("10"),
    };
    return items;
}

const QStringList &beverageItems()
{
    static const QStringList items{
        QStringLiteral("TEA"),         QStringLiteral("COFFEE"),        QStringLiteral("FRUIT JUICE"),
        QStringLiteral("MILK"),        QStringLiteral("ALCOHOL"),       QStringLiteral("SOFTDRINK"),
        QStringLiteral("TONIC WATER"), QStringLiteral("MINERAL WATER"), QStringLiteral("CORDIAL"),
        QStringLiteral("2*TEA"),       QStringLiteral("3*TEA"),         QStringLiteral("2*COFFEE"),
        QStringLiteral("3*COFFEE"),
    };
    return items;
}

const QStringList &medicationItems()
{
    static const QStringList items{
        QStringLiteral("IMODIUM"),          QStringLiteral("LOMOTIL"),
        QStringLiteral("CALTRATE"),         QStringLiteral("COLOFAC 135mg"),
        QStringLiteral("2*IMODIUM"),        QStringLiteral("3*IMODIUM"),
        QStringLiteral("2*LOMOTIL"),        QStringLiteral("3*LOMOTIL"),
        QStringLiteral("LOTRONEX"),         QStringLiteral("ZELNORM/ZELMAC (TEGASEROD)"),
        QStringLiteral("FEDOTOZINE"),       QStringLiteral("5-HT3 ANTAGONIST"),
        QStringLiteral("5-HT4 ANTAGONIST"), QStringLiteral("ALPHA-2-ADRENERGIC AGENTS"),
    };
    return items;
}

QString cleanItem(QStringView piece)
{
    QStringView s = piece.trimmed();
    qsizetype digits = 0;
    while (digits < s.size() && s.at(digits).isDigit())
        ++digits;
    if (digits > 0) {
        qsizetype j = digits;
        while (j < s.size() && s.at(j).isSpace())
            ++j;
        if (j < s.size() && s.at(j) == QLatin1Char('*'))
            s = s.mid(j + 1).trimmed();
        else if (j > digits && j + 1 < s.size() && (s.at(j) == QLatin1Char('x') || s.at(j) == QLatin1Char('X')) &&
                 s.at(j + 1).isSpace())
            s = s.mid(j + 2).trimmed();
    }
    return s.toString();
}

ListWithItem listWithItem(const QString &list, const QString &item)
{
    bool already = false;
    forEachItem(list, [&](const QString &listed) { already = already || itemKey(listed) == itemKey(item); });
    if (already)
        return {ListAddition::Already, list};
    QString text = list;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    text += item;
    if (text.size() > kListCapacity)
        return {ListAddition::TooLong, list};
    return {ListAddition::Added, text};
}

ListWrite addToList(const QString &path, const QString &field, const QString &item)
{
    RowSet rs;
    if (!rs.open(path, foodRecordSource()))
        return {ListAddition::Failed, rs.lastError()};
    if (rs.RecordCount() == 0)
        return {ListAddition::NoList, QString()};
    const ListWithItem added = listWithItem(rs.field(field).toString(), item);
    if (added.outcome != ListAddition::Added)
        return {added.outcome, QString()};
    if (!rs.setField(field, added.text) || !rs.UpdateBatch())
        return {ListAddition::Failed, rs.lastError()};
    return {ListAddition::Added, QString()};
}

} // namespace diary
