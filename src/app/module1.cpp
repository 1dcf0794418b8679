#include "app/module1.h"

#include "app/frmmain.h"
#include "app/frmsplash.h"
#include "app/autobackup.h"
#include "app/startcheck.h"
#include "data/diarynames.h"

#include <QCoreApplication>

frmMain *gMainWindow = nullptr;

void Main()
{
    frmSplash *splash = frmSplash::instance();
    splash->show();
    // Nothing else is handled until Main returns: draw the splash now, so it
    // is complete before the slow loading starts.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    splash->repaint();

    // The diary is checked before it is read, and the run's own backups
    // watch its writes from here on.
    app::checkAtStart(diary::databasePath());
    app::AutoBackup::install(diary::databasePath());

    gMainWindow = new frmMain;
    gMainWindow->setAttribute(Qt::WA_DeleteOnClose);
    gMainWindow->load();

    splash->unload();
    gMainWindow->show();
}
