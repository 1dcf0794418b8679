#include "cli/diarycli.h"

namespace cli {

const std::vector<Command> &commands()
{
    // Each subcommand lives in a file of its own beside this one.
    static const std::vector<Command> list{
    };
    return list;
}

} // namespace cli
