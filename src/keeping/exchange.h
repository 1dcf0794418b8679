#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

// The days in and out of the diary as CSV (RFC 4180, UTF-8, a header row of
// the file's column names, every column but ID) or JSON (an object holding
// `days`, objects keyed by column name, and `lists`, the four food and
// medication lists). Export, import into a new diary and export again give
// the same bytes.
namespace keeping {

enum class Format { Csv, Json };

// The columns that travel: every column of `records` but ID, in the file's order.
const QStringList &exchangedColumns();

struct ExportOptions
{
    Format format = Format::Csv;
    QDate from, to;                  // either may be left invalid: no bound there
    std::optional<QSet<qint64>> ids; // only these days (what the column filters show)
};

struct ExportResult
{
    QByteArray bytes;
    int days = 0;
    int repairedTexts = 0; // texts holding bytes that were not UTF-8, written with U+FFFD
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// In date order, then by ID.
ExportResult exportDays(const QString &diaryPath, const ExportOptions &options);

// The first and the last calendar day among the days an export with these
// options would write (days whose DATE is no yyyy-MM-dd day do not count);
// nothing when there is none or the diary cannot be read.
std::optional<std::pair<QDate, QDate>> exportedDayRange(const QString &diaryPath, const ExportOptions &options);

// ---- import ----

enum class Duplicates { Refuse, Skip, Replace, Add };

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
