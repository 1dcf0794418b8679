#pragma once

#include "keeping/importplan.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// An import plan written into the diary.
namespace keeping {

enum class Duplicates { Refuse, Skip, Replace, Add };

struct ImportResult
{
    QString error;
    int added = 0;             // rows written on dates the diary did not have (or with Add)
    int replacedDates = 0;     // dates whose rows were replaced as a whole
    qint64 removedRows = 0;    // the diary's rows those dates held
    int replacingRows = 0;     // the file's rows written in their place
    int skippedDates = 0;      // dates skipped as a whole
    int skipped = 0;           // the file's rows on them
    QStringList listsReplaced; // the names of the lists written
    QString backupPath;        // the backup made before days or lists were replaced
    bool ok() const { return error.isEmpty(); }
    // One sentence for the user.
    QString summary() const;
};

// Writes every day in one transaction, all or none, with new IDs; the lists
// the file gives too when `replaceLists`. The rows a file holds for one date
// replace that date's rows in the diary as a whole (Replace) or are skipped as
// a whole (Skip). Refuses a plan that is not ok(), and one with duplicates
// under Duplicates::Refuse. Before it replaces days or lists it backs the
// diary up (at `now`), and writes nothing when that fails; each row it
// replaces goes to the bin of deleted days.
// `progress`, where given, hears how many of the plan's days are done now and
// then; when it returns false the import stops and nothing is written.
ImportResult applyImport(const QString &diaryPath, const ImportPlan &plan, Duplicates duplicates, bool replaceLists,
                         const QDateTime &now = QDateTime::currentDateTime(),
                         const std::function<bool(qsizetype done, qsizetype total)> &progress = {});

} // namespace keeping
