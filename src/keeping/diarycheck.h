#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Is a file a sound diary? SQLite's own checks of every page, then what the
// program needs of it: both tables with their columns, the ranking query that
// runs, and a format no newer than this program's.
namespace keeping {

enum class CheckDepth {
    Quick, // PRAGMA quick_check: the pages and their structure, fast enough for every start
    Full,  // PRAGMA integrity_check, the tables, the columns, the query and the format version
};

struct Verdict
{
    bool ok = false;
    QStringList problems; // in words, the first few SQLite reports and what is missing
    int userVersion = 0;
    qint64 days = 0; // Full only
    QDate first, last;
    // One paragraph for the user.
    QString text(const QString &path) const;
};

Verdict checkDiary(const QString &path, CheckDepth depth);

} // namespace keeping
