#include "cli/diarycli.h"

#include "access/conversion.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>

#include <climits>

namespace cli {

int runConvertAccess(const QStringList &arguments, Io &io)
{
    SubcommandParser p(
        "convert-access",
        QStringLiteral("Converts FILE, a diary kept in an Access (Jet) database, into a new MEALWISE diary "
                       "at --path (by default ~/MEALWISE/Records.mdb). It never writes over an "
                       "existing diary, and never writes FILE. When FILE is at the diary's own path, "
                       "it is renamed aside to <name>-access-YYYY-MM-DD-HHMMSS.mdb and the new diary "
                       "takes its place. Every row of records is kept with its ID; the lists of FOOD "
                       "AND MEDICATION come from its first row. A score outside 1 to 10 or BMs below "
                       "0 is refused (and nothing written) unless --as-is is given."));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Read everything and print the summary and every refusal; write nothing."));
    const QCommandLineOption asIs(
        QStringLiteral("as-is"),
        QStringLiteral("Take stored scores and BMs unchanged; the new diary then does not "
                       "refuse scores outside 1 to 10 or BMs below 0, as older diaries did not."));
    p.parser().addOptions({dryRun, asIs});
    p.parser().addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The Access database (.mdb) to convert."));
    if (const auto status = p.parse(arguments, io))
        return *status;
    const QStringList args = p.parser().positionalArguments();
    if (args.size() != 1)
        return p.badUsage(QStringLiteral("name one Access file to convert."), io);
    const QString &source = args.first();
    const QString diaryPath = p.diaryPath();
    const QFileInfo sourceInfo(source), diaryInfo(diaryPath);
    const bool inPlace =
        diaryInfo.exists() && sourceInfo.exists() && sourceInfo.canonicalFilePath() == diaryInfo.canonicalFilePath();
    const bool dry = p.parser().isSet(dryRun);
    if (!dry && !inPlace && (diaryInfo.exists() || diaryInfo.isSymLink())) {
        io.err
            << "mealwise-diary convert-access: " << diaryPath
            << " already exists; a conversion never writes over a diary. Give another --path. Nothing was written.\n";
        return kFailed;
    }
    const jet::PreparedConversion prepared =
        jet::prepareConversion(source, p.parser().isSet(asIs), QDate::currentDate().year());
    if (!prepared.error.isEmpty()) {
        io.err << "mealwise-diary convert-access: " << prepared.error << "\n";
        return kFailed;
    }
    io.out << source << ": " << (prepared.jetVersion == 0 ? "Jet 3" : "Jet 4 or later") << " Access database";
    if (prepared.jetVersion == 0)
        io.out << ", texts read as " << prepared.textEncoding;
    io.out << ".\n";
    for (const QString &line : prepared.plan.summary())
        io.out << line << ".\n";
    if (!prepared.plan.ok()) {
        io.err << "mealwise-diary convert-access: " << prepared.plan.refused.size()
               << " rows are refused; nothing was written.\n";
        for (const QString &line : prepared.plan.describeRefusals(INT_MAX))
            io.err << "  " << line << "\n";
        return kFailed;
    }
    if (dry) {
        io.out << "Dry run: nothing was written.\n";
        return kDone;
    }
    if (inPlace) {
        const jet::ReplaceResult r = jet::replaceAccessDiary(prepared, diaryPath, QDateTime::currentDateTime());
        if (!r.ok()) {
            io.err << "mealwise-diary convert-access: " << r.error << "\n";
            return kFailed;
        }
        io.out << "Converted: " << diaryPath << " is now a MEALWISE diary. The Access file is kept as " << r.keptPath
               << ".\n";
        return kDone;
    }
    const QString error = jet::writeNewDiary(prepared.plan, diaryPath);
    if (!error.isEmpty()) {
        io.err << "mealwise-diary convert-access: " << error << "\n";
        return kFailed;
    }
    io.out << "Converted " << source << " into the new diary " << diaryPath << ".\n";
    return kDone;
}

} // namespace cli
