#include "app/module1.h"
#include "app/processenv.h"
#include "app/sessionend.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    app::keepFromStartingABus(qgetenv("XDG_RUNTIME_DIR"));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MEALWISE"));
    QApplication::setOrganizationName(QStringLiteral("MEALWISE"));
    QApplication::setApplicationVersion(QStringLiteral(MEALWISE_VERSION));
    installSessionEndHandlers();
    Main();
    return application.exec();
}
