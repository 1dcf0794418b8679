#include "app/module1.h"
#include "app/sessionend.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MEALWISE"));
    QApplication::setOrganizationName(QStringLiteral("MEALWISE"));
    QApplication::setApplicationVersion(QStringLiteral(MEALWISE_VERSION));
    installSessionEndHandlers();
    Main();
    return app.exec();
}
