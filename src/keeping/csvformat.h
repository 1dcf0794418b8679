#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// CSV on bytes as RFC 4180 has it, with what the export writes and the
// import takes: rows end at CRLF, LF or a lone CR, and a field that holds a
// comma, a quote or a line break is quoted whole, its quotes doubled (the
// writing is text::appendQuotedField's).
namespace keeping {

struct CsvRow
{
    int line = 0; // where the row starts in the file, from 1
    QList<QByteArray> fields;
};

struct CsvRows
{
    QList<CsvRow> rows;
    QString error;     // the whole file is refused (encoding, quoting), in the user's words
    int errorLine = 0; // the line that error names; 0 for none
    bool ok() const { return error.isEmpty(); }
};

// Splits a file into rows of fields, as bytes. A byte order mark at the very
// start goes; a file of blanks, a NUL byte, bytes that are not UTF-8 and a
// quote out of place refuse the whole file. Rows may differ in length; a
// blank line is a row of one empty field.
CsvRows readCsvRows(const QByteArray &bytes);

} // namespace keeping
