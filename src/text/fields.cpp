#include "text/fields.h"

#include <algorithm>

namespace text {

namespace {

template <typename Char> bool needsQuotes(Char c, char separator)
{
    return c == Char(separator) || c == Char('"') || c == Char('\r') || c == Char('\n');
}

QString oneLine(const QString &field)
{
    QString out = field;
    for (QChar &c : out) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
        else if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return out;
}

} // namespace

QString quotedField(const QString &field, Separator separator)
{
    const char sep = char(separator);
    if (std::none_of(field.cbegin(), field.cend(), [&](QChar c) { return needsQuotes(c.unicode(), sep); }))
        return field;
    QString out = field;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

void appendQuotedField(QByteArray &out, QByteArrayView utf8, Separator separator)
{
    const char sep = char(separator);
    if (std::none_of(utf8.begin(), utf8.end(), [&](char c) { return needsQuotes(c, sep); })) {
        out += utf8;
        return;
    }
    out += '"';
    for (const char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

QString lineField(const QString &field, Separator separator)
{
    const QString line = oneLine(field);
    return separator == Separator::Tab ? line : quotedField(line, separator);
}

} // namespace text
