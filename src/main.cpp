#include "app/commandline.h"
#include "app/module1.h"
#include "app/processenv.h"
#include "app/sessionend.h"
#include "data/diarynames.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Arguments are answered before there is any window, so --help and
    // --version work without a display; a start without any is as always.
    if (argc > 1) {
        QCoreApplication arguments(argc, argv);
        if (const std::optional<int> status = app::answerCommandLine(QCoreApplication::arguments()))
            return *status;
    }
    if (app::noDisplayNamed()) {
        std::fprintf(stderr, "%s\n", app::kNoDisplayMessage);
        return 1;
    }
    app::keepFromStartingABus(qgetenv("XDG_RUNTIME_DIR"));
    app::guardDisplayStartup();
    QApplication application(argc, argv);
    app::startupDone();
    QApplication::setApplicationName(QStringLiteral("MEALWISE"));
    QApplication::setOrganizationName(QStringLiteral("MEALWISE"));
    QApplication::setApplicationVersion(QStringLiteral(MEALWISE_VERSION));
    if (const QString problem = diary::databasePathProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "MEALWISE: %s\n", qPrintable(problem));
        return 1;
    }
    installSessionEndHandlers();
    Main();
    if (!gMainWindow)
        return 1;
    offerKeptChanges(diary::databasePath());
    return application.exec();
}
