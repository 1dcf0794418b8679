#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

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
    QDate from, to;                     // either may be left invalid: no bound there
    std::optional<QSet<qint64>> ids;    // only these days (what the column filters show)
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

// ---- import ----

enum class Duplicates { Refuse, Skip, Replace, Add };

struct ImportDay
{
    int line = 0;          // where the day starts in the file (JSON: its place in `days`)
    QVariantList values;   // by exchangedColumns(); NULL, text or a whole number
};

struct Refusal
{
    int line = 0;
    QString why;
};

struct ImportPlan
{
    Format format = Format::Csv;
    QString fileError;               // the whole file is refused (header, quoting, encoding)
    QList<ImportDay> days;
    QList<Refusal> refused;          // lines refused; nothing is written while there is one
    std::optional<QStringList> lists; // the four lists, when the file has them (JSON)
    QList<int> duplicateDays;        // indexes into `days` whose date the diary already has
    bool ok() const { return fileError.isEmpty() && refused.isEmpty(); }
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
// Fills plan.duplicateDays from the diary. Empty string on success.
QString findDuplicates(const QString &diaryPath, ImportPlan *plan);

struct ImportResult
{
    QString error;
    int added = 0, replaced = 0, skipped = 0;
    QString backupPath; // the backup made before days or lists were replaced
    bool ok() const { return error.isEmpty(); }
};

// Writes every day in one transaction, all or none, with new IDs; the lists
// too when `replaceLists` and the plan has them. Refuses a plan that is not
// ok(), and one with duplicates under Duplicates::Refuse. Before it replaces
// days or lists it backs the diary up (at `now`), and writes nothing when
// that fails; each day it replaces goes to the bin of deleted days.
ImportResult applyImport(const QString &diaryPath, const ImportPlan &plan, Duplicates duplicates, bool replaceLists,
                         const QDateTime &now = QDateTime::currentDateTime());

} // namespace keeping
