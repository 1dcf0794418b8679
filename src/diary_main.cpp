// mealwise-diary: the diary's command-line companion (see cli/diarycli.h).
#include "cli/diarycli.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    // The report lays text out, which needs fonts and so a GUI application;
    // the offscreen platform gives it one without a display.
    const bool needsFonts = argc > 1 && std::strcmp(argv[1], "report") == 0;
    if (needsFonts)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(needsFonts ? new QGuiApplication(argc, argv)
                                                     : new QCoreApplication(argc, argv));
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
