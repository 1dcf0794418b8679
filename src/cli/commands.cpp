#include "cli/diarycli.h"

namespace cli {

int runInsights(const QStringList &arguments, Io &io);

const std::vector<Command> &commands()
{
    // Each subcommand lives in a file of its own beside this one.
    static const std::vector<Command> list{
        {"insights", "which foods, drinks and medications go with better or worse days", runInsights},
    };
    return list;
}

} // namespace cli
