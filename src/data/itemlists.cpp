#include "data/itemlists.h"

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

} // namespace diary
