#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace diary {

// What a read-only data control brings back from its record source: the
// field names, every row as text in the record source's order, and where the
// source ends in an ID field, each row's ID as its hidden key (the ID is then
// left out of the visible fields).
struct RecordSourceRows
{
    QStringList header;
    // Grid-shaped, row by row: the field names first, then one row per
    // record, header.size() texts each, so a grid can take it over whole.
    std::vector<QString> cells;
    std::vector<qint64> keys;
    QString error; // empty when the read succeeded

    int rowCount() const { return header.isEmpty() ? 0 : int(cells.size() / size_t(header.size())) - 1; }
    // Text of field `col` of record `row` (both from 0).
    const QString &cell(int row, int col) const { return cells[size_t(row + 1) * size_t(header.size()) + size_t(col)]; }
};

// Opens the diary at `path` without ever creating it, reads `recordSource`
// once, forward only, and closes the connection again.
RecordSourceRows readRecordSource(const QString &path, const QString &recordSource);

} // namespace diary
