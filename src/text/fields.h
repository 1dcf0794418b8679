#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One field of a tab- or comma-separated text, the one way every part of the
// program writes one: the grid's copy, the insights' copy and output, and the
// exports.
namespace text {

enum class Separator : char { Tab = '\t', Comma = ',' };

// A field kept whole, as spreadsheets read it back: quoted, its quotes
// doubled, when it holds the separator, a quote or a line break (a lone CR
// too). For the exports and the grid's copy, which must keep a comment of
// several lines as it is.
QString quotedField(const QString &field, Separator separator);
void appendQuotedField(QByteArray &out, QByteArrayView utf8, Separator separator);

// A field on one line: tabs and line breaks become a blank and any other
// control character U+FFFD, so that a NUL or a stray tab can neither cut the
// line nor shift the columns; for CSV then quoted as above. TSV has no
// quoting, so a quote stays as it is. For tables whose rows are lines.
QString lineField(const QString &field, Separator separator);

} // namespace text
