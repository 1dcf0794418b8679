#include "data/fieldtext.h"

namespace diary {

QString plainFieldText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
        else if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return out;
}

QString tsvField(const QString &text)
{
    return plainFieldText(text);
}

QString csvField(const QString &text)
{
    QString out = plainFieldText(text);
    if (!out.contains(QLatin1Char('"')) && !out.contains(QLatin1Char(',')))
        return out;
    out.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace diary
