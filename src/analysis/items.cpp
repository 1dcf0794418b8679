#include "analysis/items.h"

namespace analysis {

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Food:
        return QStringLiteral("food");
    case Kind::Drink:
        return QStringLiteral("drink");
    case Kind::Medication:
        break;
    }
    return QStringLiteral("medication");
}

const std::array<QString, kItemFieldCount> &itemFields()
{
    static const std::array<QString, kItemFieldCount> fields{
        QStringLiteral("BREAKFAST"),   QStringLiteral("LUNCH"),       QStringLiteral("TEA"),
        QStringLiteral("SNACK1"),      QStringLiteral("SNACK2"),      QStringLiteral("SNACK3"),
        QStringLiteral("SNACK4"),      QStringLiteral("BEVERAGE1"),   QStringLiteral("BEVERAGE2"),
        QStringLiteral("BEVERAGE3"),   QStringLiteral("BEVERAGE4"),   QStringLiteral("MEDICATION1"),
        QStringLiteral("MEDICATION2"), QStringLiteral("MEDICATION3"), QStringLiteral("MEDICATION4"),
        QStringLiteral("MEDICATION5"), QStringLiteral("MEDICATION6"), QStringLiteral("MEDICATION7"),
        QStringLiteral("MEDICATION8"), QStringLiteral("MEDICATION9"),
    };
    return fields;
}

Kind kindOfField(int field)
{
    if (field < 7)
        return Kind::Food;
    if (field < 11)
        return Kind::Drink;
    return Kind::Medication;
}

QStringList splitItems(const QString &text)
{
    QStringList items;
    forEachItem(text, [&items](const QString &item) { items << item; });
    return items;
}

} // namespace analysis
