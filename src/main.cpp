#include "app/module1.h"
#include "app/processenv.h"
#include "app/sessionend.h"
#include "data/diarynames.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    app::keepFromStartingABus(qgetenv("XDG_RUNTIME_DIR"));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MEALWISE"));
    QApplication::setOrganizationName(QStringLiteral("MEALWISE"));
    QApplication::setApplicationVersion(QStringLiteral(MEALWISE_VERSION));
    if (const QString problem = diary::databasePathProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "MEALWISE: %s\n", qPrintable(problem));
        return 1;
    }
    installSessionEndHandlers();
    Main();
    offerKeptChanges(diary::databasePath());
    return application.exec();
}
