#include "cli/keepingcommands.h"

#include "data/datetext.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "keeping/exchange.h"
#include "keeping/privatefiles.h"
#include "keeping/report.h"
#include "keeping/restore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>

#include <cstdio>

namespace cli {

namespace {

// yyyy-MM-dd or dd/MM/yy; nothing for any other text.
std::optional<QDate> readDateOption(const QString &text)
{
    return diary::readDayFirstDate(text, QDate::currentDate().year());
}

// --from and --to, both optional; false after printing the usage.
bool readRange(SubcommandParser &p, const QCommandLineOption &from, const QCommandLineOption &to, QDate *fromDate,
               QDate *toDate, Io &io, int *status)
{
    for (const auto &[option, target] : {std::pair{&from, fromDate}, std::pair{&to, toDate}}) {
        if (!p.parser().isSet(*option))
            continue;
        const std::optional<QDate> d = readDateOption(p.parser().value(*option));
        if (!d) {
            *status = p.badUsage(
                QStringLiteral("\"%1\" is not a date (yyyy-MM-dd or dd/MM/yy).").arg(p.parser().value(*option)), io);
            return false;
        }
        *target = *d;
    }
    if (fromDate->isValid() && toDate->isValid() && *fromDate > *toDate) {
        *status = p.badUsage(QStringLiteral("--from comes after --to."), io);
        return false;
    }
    return true;
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

int runCheck(const QStringList &arguments, Io &io)
{
    SubcommandParser p("check",
                       QStringLiteral("Checks the diary in full: every page (integrity_check), its tables, "
                                      "columns and ranking query, and its format version. Exits 1 on damage."));
    if (const auto status = p.parse(arguments, io))
        return *status;
    if (!p.parser().positionalArguments().isEmpty())
        return p.badUsage(QStringLiteral("unexpected argument %1").arg(p.parser().positionalArguments().first()), io);
    const keeping::Verdict v = keeping::checkDiary(p.diaryPath(), keeping::CheckDepth::Full);
    if (!v.ok) {
        io.err << "mealwise-diary check: " << v.text(p.diaryPath()) << "\n";
        return kFailed;
    }
    io.out << v.text(p.diaryPath()) << " " << v.days << " days";
    if (v.first.isValid())
        io.out << ", " << diary::showDate(v.first) << " to " << diary::showDate(v.last);
    io.out << ".\n";
    return kDone;
}

int runBackup(const QStringList &arguments, Io &io)
{
    SubcommandParser p("backup", QStringLiteral("Backs the diary up into the folder Backups beside it (or to --to "
                                                "FILE), checked, and keeps the last 10, the newest of each of the "
                                                "last 30 days and of each of the last 24 months."));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Write the backup to FILE, a new file."),
                                QStringLiteral("FILE"));
    p.parser().addOption(to);
    if (const auto status = p.parse(arguments, io))
        return *status;
    if (!p.parser().positionalArguments().isEmpty())
        return p.badUsage(QStringLiteral("unexpected argument %1").arg(p.parser().positionalArguments().first()), io);
    if (!p.diaryIsUsable(io))
        return kFailed;
    const keeping::BackupResult r = keeping::backUp(p.diaryPath(), QDateTime::currentDateTime(),
                                                    p.parser().isSet(to) ? p.parser().value(to) : QString());
    if (!r.ok()) {
        io.err << "mealwise-diary backup: " << r.error << "\n";
        return kFailed;
    }
    io.out << "Backed up to " << r.path << ".\n";
    if (!r.removed.isEmpty())
        io.out << "Removed " << r.removed.size() << " older backups.\n";
    return kDone;
}

int runRestore(const QStringList &arguments, Io &io)
{
    SubcommandParser p("restore", QStringLiteral("Puts the backup FILE in the diary's place, after checking it and "
                                                 "backing the diary up. With --list, lists the backups."));
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("List the backups, newest first."));
    p.parser().addOption(list);
    p.parser().addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The backup to restore."));
    if (const auto status = p.parse(arguments, io))
        return *status;
    const QStringList args = p.parser().positionalArguments();
    if (p.parser().isSet(list)) {
        if (!args.isEmpty())
            return p.badUsage(QStringLiteral("--list takes no file."), io);
        const QList<keeping::BackupInfo> backups = keeping::listBackups(p.diaryPath());
        if (backups.isEmpty())
            io.out << "There are no backups in " << keeping::backupsFolder(p.diaryPath()) << ".\n";
        for (const keeping::BackupInfo &b : backups) {
            io.out << b.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << "  ";
            if (b.days < 0)
                io.out << "unreadable";
            else
                io.out << b.days << " days"
                       << (b.first.isValid()
                               ? QStringLiteral(", %1 to %2").arg(diary::showDate(b.first), diary::showDate(b.last))
                               : QString());
            io.out << "  " << sizeText(b.size) << "  " << b.path << "\n";
        }
        return kDone;
    }
    if (args.size() != 1)
        return p.badUsage(QStringLiteral("name one backup file (or --list)."), io);
    const keeping::RestoreResult r = keeping::restoreDiary(p.diaryPath(), args.first(), QDateTime::currentDateTime());
    if (!r.ok()) {
        io.err << "mealwise-diary restore: " << r.error << "\n";
        return kFailed;
    }
    io.out << "Restored " << args.first() << " as " << p.diaryPath() << ".\n";
    if (!r.safetyBackup.isEmpty())
        io.out << "The diary as it was is kept in " << r.safetyBackup << ".\n";
    return kDone;
}

int runExport(const QStringList &arguments, Io &io)
{
    SubcommandParser p("export", QStringLiteral("Writes the days as CSV (RFC 4180, UTF-8) or JSON, in date order."));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("csv (the default) or json."),
                                    QStringLiteral("FORMAT"), QStringLiteral("csv"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("The first day (yyyy-MM-dd or dd/MM/yy)."),
                                  QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("The last day."), QStringLiteral("DATE"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Write to FILE (0600) instead of the standard output."),
                                 QStringLiteral("FILE"));
    p.parser().addOptions({format, from, to, out});
    if (const auto status = p.parse(arguments, io))
        return *status;
    if (!p.parser().positionalArguments().isEmpty())
        return p.badUsage(QStringLiteral("unexpected argument %1").arg(p.parser().positionalArguments().first()), io);
    keeping::ExportOptions options;
    const QString f = p.parser().value(format).toLower();
    if (f == QLatin1String("csv"))
        options.format = keeping::Format::Csv;
    else if (f == QLatin1String("json"))
        options.format = keeping::Format::Json;
    else
        return p.badUsage(QStringLiteral("--format takes csv or json."), io);
    int status = kDone;
    if (!readRange(p, from, to, &options.from, &options.to, io, &status))
        return status;
    if (!p.diaryIsUsable(io))
        return kFailed;
    const keeping::ExportResult r = keeping::exportDays(p.diaryPath(), options);
    if (!r.ok()) {
        io.err << "mealwise-diary export: " << r.error << "\n";
        return kFailed;
    }
    if (p.parser().isSet(out)) {
        const QString written = keeping::writePrivateFile(p.parser().value(out), r.bytes);
        if (!written.isEmpty()) {
            io.err << "mealwise-diary export: " << written << "\n";
            return kFailed;
        }
    } else {
        io.out.flush();
        std::fwrite(r.bytes.constData(), 1, size_t(r.bytes.size()), stdout);
        std::fflush(stdout);
    }
    io.err << "Exported " << r.days << " days.\n";
    if (r.repairedTexts > 0)
        io.err << r.repairedTexts << " texts held bytes that are not UTF-8; each such byte was written as U+FFFD.\n";
    return kDone;
}

int runImport(const QStringList &arguments, Io &io)
{
    SubcommandParser p("import", QStringLiteral("Reads days from a CSV or JSON file as export writes them, all in "
                                                "one transaction. Nothing is written while any line is refused."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Only show what would be imported."));
    const QCommandLineOption duplicate(QStringLiteral("on-duplicate"),
                                       QStringLiteral("skip, replace or add a day whose date the diary has; without "
                                                      "it such days are listed and nothing is written."),
                                       QStringLiteral("WHAT"));
    const QCommandLineOption asIs(QStringLiteral("as-is"),
                                  QStringLiteral("Take stored values (old scores outside 1 to 10) unchanged."));
    const QCommandLineOption lists(
        QStringLiteral("replace-lists"),
        QStringLiteral("Replace the four food and medication lists with the file's (JSON)."));
    p.parser().addOptions({dryRun, duplicate, asIs, lists});
    p.parser().addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV or JSON file."));
    if (const auto status = p.parse(arguments, io))
        return *status;
    const QStringList args = p.parser().positionalArguments();
    if (args.size() != 1)
        return p.badUsage(QStringLiteral("name one file to import."), io);
    keeping::Duplicates policy = keeping::Duplicates::Refuse;
    if (p.parser().isSet(duplicate)) {
        const QString v = p.parser().value(duplicate);
        if (v == QLatin1String("skip"))
            policy = keeping::Duplicates::Skip;
        else if (v == QLatin1String("replace"))
            policy = keeping::Duplicates::Replace;
        else if (v == QLatin1String("add"))
            policy = keeping::Duplicates::Add;
        else
            return p.badUsage(QStringLiteral("--on-duplicate takes skip, replace or add."), io);
    }
    QByteArray bytes;
    if (const QString unread = keeping::readImportFile(args.first(), &bytes); !unread.isEmpty()) {
        io.err << "mealwise-diary import: " << unread << "\n";
        return kFailed;
    }
    keeping::ImportPlan plan = keeping::readImport(bytes, keeping::guessFormat(args.first(), bytes),
                                                   p.parser().isSet(asIs), QDate::currentDate().year());
    if (!plan.ok()) {
        io.err << "mealwise-diary import: nothing was written.\n";
        for (const QString &line : plan.describeRefusals())
            io.err << "  " << line << "\n";
        return kFailed;
    }
    if (!p.diaryIsUsable(io))
        return kFailed;
    const QString dupError = keeping::findDuplicates(p.diaryPath(), &plan);
    if (!dupError.isEmpty()) {
        io.err << "mealwise-diary import: " << dupError << "\n";
        return kFailed;
    }
    io.out << plan.preview() << "\n";
    if (!plan.ok()) {
        // What the diary's own rules refuse is told before anything is written.
        io.err << "mealwise-diary import: nothing was written; this diary refuses these days"
               << (p.parser().isSet(asIs)
                       ? " even with --as-is: this diary checks the ranges itself, so --as-is cannot hold in it"
                       : "")
               << ".\n";
        for (const QString &line : plan.describeRefusals())
            io.err << "  " << line << "\n";
        return kFailed;
    }
    if (p.parser().isSet(dryRun))
        return kDone;
    const keeping::ImportResult r =
        keeping::applyImport(p.diaryPath(), plan, policy, p.parser().isSet(lists), QDateTime::currentDateTime());
    if (!r.ok()) {
        io.err << "mealwise-diary import: " << r.error << "\n";
        return kFailed;
    }
    io.out << r.summary() << "\n";
    return kDone;
}

int runReport(const QStringList &arguments, Io &io)
{
    SubcommandParser p("report", QStringLiteral("Writes a report of the days for a doctor as a PDF: the score over "
                                                "time, a table of the days and the food and medication lists. By "
                                                "default the last 90 days."));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("The PDF to write (0600)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("The first day (yyyy-MM-dd or dd/MM/yy)."),
                                  QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("The last day."), QStringLiteral("DATE"));
    p.parser().addOptions({pdf, from, to});
    if (const auto status = p.parse(arguments, io))
        return *status;
    if (!p.parser().positionalArguments().isEmpty())
        return p.badUsage(QStringLiteral("unexpected argument %1").arg(p.parser().positionalArguments().first()), io);
    if (!p.parser().isSet(pdf))
        return p.badUsage(QStringLiteral("--pdf FILE is needed."), io);
    const QDate today = QDate::currentDate();
    keeping::ReportRange range = keeping::defaultReportRange(today);
    QDate fromDate, toDate;
    int status = kDone;
    if (!readRange(p, from, to, &fromDate, &toDate, io, &status))
        return status;
    if (toDate.isValid())
        range.to = toDate;
    range.from = fromDate.isValid() ? fromDate : range.to.addDays(-89);
    if (range.from > range.to)
        return p.badUsage(QStringLiteral("--from comes after --to."), io);
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        io.err << "mealwise-diary report: the report needs the program's fonts, which were not set up.\n";
        return kFailed;
    }
    if (!p.diaryIsUsable(io))
        return kFailed;
    const QString error = keeping::writeReportPdf(p.diaryPath(), range, p.parser().value(pdf));
    if (!error.isEmpty()) {
        io.err << "mealwise-diary report: " << error << "\n";
        return kFailed;
    }
    io.out << "Wrote the report of " << diary::showDate(range.from) << " to " << diary::showDate(range.to) << " to "
           << p.parser().value(pdf) << ".\n";
    return kDone;
}

} // namespace cli
