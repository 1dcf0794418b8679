#include "cli/diarycli.h"
#include "cli/keepingcommands.h"

namespace cli {

int runInsights(const QStringList &arguments, Io &io);
int runConvertAccess(const QStringList &arguments, Io &io);
int runBin(const QStringList &arguments, Io &io);

const std::vector<Command> &commands()
{
    // Each subcommand lives in a file of its own beside this one.
    static const std::vector<Command> list{
        {"check", "Check the diary in full; exit 1 on damage.", &runCheck},
        {"backup", "Back the diary up into its Backups folder.", &runBackup},
        {"restore", "Restore a backup (--list lists them).", &runRestore},
        {"export", "Write the days as CSV or JSON.", &runExport},
        {"import", "Read days from CSV or JSON, all or none.", &runImport},
        {"bin", "The deleted days: list, put back or empty the bin.", &runBin},
        {"report", "Write a PDF report of the days for a doctor.", &runReport},
        {"convert-access", "Convert a diary kept in an Access (.mdb) file into a new diary.", &runConvertAccess},
        {"insights", "Which foods, drinks and medications go with better or worse days.", runInsights},
    };
    return list;
}

} // namespace cli
