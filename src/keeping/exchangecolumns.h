#pragma once

#include <QString>
#include <QStringList>

// What the export and the import agree on: the two formats and the columns
// that travel.
namespace keeping {

enum class Format { Csv, Json };

// The columns that travel: every column of `records` but ID, in the file's order.
const QStringList &exchangedColumns();

// A column's name as SQL takes it, whatever it holds.
QString bracketed(const QString &name);

} // namespace keeping
