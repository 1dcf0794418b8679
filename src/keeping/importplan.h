#pragma once

#include "keeping/exchangecolumns.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

// A file to import read into a plan: the days it holds, the lines refused
// with their reasons, and what of it the diary already has. Nothing is
// written here.
namespace keeping {

struct ImportDay
{
    int line = 0;        // where the day starts in the file (JSON: its place in `days`)
    QVariantList values; // by exchangedColumns(); NULL, text or a whole number
};

struct Refusal
{
    int line = 0;
    QString why;
};

struct ImportPlan
{
    Format format = Format::Csv;
    QString fileError; // the whole file is refused (header, quoting, encoding)
    QList<ImportDay> days;
    QList<Refusal> refused; // lines refused; nothing is written while there is one
    // The four lists in the diary's order, when the file has them (JSON): a
    // list the file leaves out is nothing (left as it is), a null is NULL.
    std::optional<QList<std::optional<QString>>> lists;
    QList<int> duplicateDays;             // indexes into `days` whose date the diary already has
    int duplicateDates = 0;               // how many dates those are
    qint64 diaryRowsOnDuplicateDates = 0; // the diary's rows on those dates
    QStringList repeatedDates;            // yyyy-MM-dd dates the file holds more than one row for
    bool ok() const { return fileError.isEmpty() && refused.isEmpty(); }
    // The names of the lists the file gives.
    QStringList listsGiven() const;
    // How many distinct dates `days` holds (a day without a date counts alone).
    int dateCount() const;
    // What would be imported, in one or two sentences: rows and dates, those
    // the diary has, and the dates the file repeats.
    QString preview() const;
    // Every reason, one line each, for a preview or the command line.
    QStringList describeRefusals() const;
};

// The longest text a field may hold.
inline constexpr int kMaxFieldChars = 1000000;

// Reads a CSV or JSON file's bytes. Without `asIs` a score must be 1 to 10 and
// BMs 0 or more, as the daily record window asks; with it stored values are
// taken unchanged. Two-digit years are read in the window that ends twenty
// years after `currentYear`.
ImportPlan readImport(const QByteArray &bytes, Format format, bool asIs, int currentYear);
// The format a file's name or first byte tells.
Format guessFormat(const QString &fileName, const QByteArray &bytes);
// The most a file to import may hold: well above the export of a million
// days, and far below what would exhaust memory.
inline constexpr qint64 kMaxImportBytes = qint64(1) << 30;

// Reads a file to import: a regular file only (never a pipe or a device,
// which could block or never end), at most kMaxImportBytes. Empty string on
// success, else the reason in the user's words.
QString readImportFile(const QString &path, QByteArray *bytes);

// Fills plan.duplicateDays and the counts from the diary, and tries every day
// against the diary's own rules (its CHECKs, which diaries made by older
// versions may lack or have stricter), in a table of its own apart from the
// diary: what the write would refuse is refused here, with its line. Empty
// string on success; the refusals go to plan.refused.
// `keepGoing`, where given, is asked now and then; false stops the trial
// (the plan then says so).
QString findDuplicates(const QString &diaryPath, ImportPlan *plan, const std::function<bool()> &keepGoing = {});

} // namespace keeping
