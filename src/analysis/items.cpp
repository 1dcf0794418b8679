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
    static const std::array<QString, kItemFieldCount> fields = [] {
        std::array<QString, kItemFieldCount> out;
        for (int f = 0; f < kItemFieldCount; ++f)
            out[size_t(f)] = diary::itemFieldNames().at(f);
        return out;
    }();
    return fields;
}

Kind kindOfField(int field)
{
    static constexpr std::array<Kind, kItemFieldCount> kinds = [] {
        std::array<Kind, kItemFieldCount> out{};
        for (size_t f = 0; f < out.size(); ++f)
            out[f] = diary::itemKindOf(diary::kDiaryColumns[diary::kItemColumns[f]].kind);
        return out;
    }();
    return kinds[size_t(field)];
}

QStringList splitItems(const QString &text)
{
    QStringList items;
    forEachItem(text, [&items](const QString &item) { items << item; });
    return items;
}

} // namespace analysis
