#pragma once

#include "data/daybin.h"

namespace keeping {

class SqliteFile;

// The bin's statements on a keeping command's own connection, so that the
// days it replaces go to the bin inside its transaction.
class SqliteRunner final : public diary::SqlRunner
{
public:
    explicit SqliteRunner(SqliteFile &file)
        : m_file(file)
    {}
    bool run(const QString &sql, const QVariantList &values, QList<QVariantList> *rows, QString *error) override;

private:
    SqliteFile &m_file;
};

} // namespace keeping
