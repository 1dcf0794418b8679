// mealwise-diary: the diary's command-line companion (see cli/diarycli.h).
#include "cli/diarycli.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mealwise-diary"));
    QCoreApplication::setOrganizationName(QStringLiteral("MEALWISE"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MEALWISE_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Io io{out, err};
    const int status = cli::runDiaryCli(QCoreApplication::arguments(), io);
    out.flush();
    err.flush();
    return status;
}
