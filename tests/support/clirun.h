// mealwise-diary run in the test's own process, its output kept.
#pragma once

#include "cli/diarycli.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace testing_support {

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// `args` as after the program's name: the subcommand and its options.
inline CliRun runCli(const QStringList &args)
{
    CliRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    cli::Io io{out, err};
    r.status = cli::runDiaryCli(QStringList{QStringLiteral("mealwise-diary")} + args, io);
    out.flush();
    err.flush();
    return r;
}

} // namespace testing_support
