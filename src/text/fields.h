#pragma once

#include <QString>

// One field of a tab- or comma-separated file as written: no control
// character reaches the file raw, so that a NUL or a stray tab in a stored
// text can neither cut the line nor shift the columns.
namespace diary {

// Tabs and line breaks become a blank, any other control character U+FFFD.
QString plainFieldText(const QString &text);
// plainFieldText, for a TSV file (which has no quoting).
QString tsvField(const QString &text);
// plainFieldText, quoted as RFC 4180 asks when it holds a comma or a quote.
QString csvField(const QString &text);

} // namespace diary
