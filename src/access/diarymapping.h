#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "keeping/privatefiles.h"

#include <atomic>
#include <functional>
#include <optional>

// From rows read out of another program's file to a new diary. Knows nothing
// of where the rows came from: names and values in, a plan out, and the plan
// written into a new diary made as mealwise-setup makes one.
namespace jet {

// "1 day", "3 days": the count with its noun, for messages (no translation
// catalogue is loaded, so Qt's own plural forms would show "day(s)").
QString counted(qint64 n, const char *one, const char *many);

// A table as read: column names and rows of values (NULL as an invalid
// QVariant; QString, qint64, double, bool or QDateTime).
struct SourceTable
{
    QString name;
    QStringList columns;
    QList<QVariantList> rows;
};

struct RowRefusal
{
    int row = 0; // from 1, in the source's order
    QString why;
};

struct ConversionPlan
{
    // One entry per day, by diary::recordsColumns() (ID among them; NULL
    // lets the diary give one).
    QList<QVariantList> days;
    std::optional<QStringList> lists; // the four lists, when the file has the table
    QStringList missingColumns;       // the diary's columns the file lacks (left empty)
    QStringList extraColumns;         // the file's columns the diary lacks (not carried)
    QStringList missingListColumns, extraListColumns;
    int timesDropped = 0; // dates that held a time of day as well
    int listRows = 0;     // rows of the food and medication table
    bool asIs = false;
    QList<RowRefusal> refused; // nothing is written while there is one
    QDate first, last;
    bool ok() const { return refused.isEmpty(); }
    // What the conversion does, one line each, for the command line and the
    // question at start.
    QStringList summary() const;
    QStringList describeRefusals(int atMost = 50) const;
};

// `records` and, where there is one, `FOOD AND MEDICATION`. Without `asIs` a
// score must be 1 to 10 and BMs 0 or more; with it whole numbers are taken as
// they are. Dates in text are read day first, two-digit years in the window
// ending twenty years after `currentYear`.
ConversionPlan planConversion(const SourceTable &records, const std::optional<SourceTable> &lists, bool asIs,
                              int currentYear);

struct WriteOptions
{
    std::function<void(qint64 done, qint64 total)> progress; // may be empty
    const std::atomic<bool> *cancel = nullptr;
};

// Writes an ok() plan into a new diary under a temporary name in `target`'s
// folder, checks it (integrity_check, the row counts), syncs it and renames
// it to `target`, never over an existing file. Nothing is left behind on a
// failure. Empty string on success.
QString writeNewDiary(const ConversionPlan &plan, const QString &target, const WriteOptions &options = {});

// As writeNewDiary, but leaves the checked, synced diary under its
// temporary name beside `target` and gives that name.
keeping::MadeFile writeDiaryBeside(const ConversionPlan &plan, const QString &target, const WriteOptions &options);

} // namespace jet
