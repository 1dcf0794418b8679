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
    std::vector<QStringList> rows;
    std::vector<qint64> keys;
    QString error; // empty when the read succeeded
};

// Opens the diary at `path` without ever creating it, reads `recordSource`
// once, forward only, and closes the connection again.
RecordSourceRows readRecordSource(const QString &path, const QString &recordSource);

} // namespace diary
