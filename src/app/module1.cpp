#include "app/module1.h"

#include "app/frmmain.h"
#include "app/frmsplash.h"
#include "app/keeping/autobackup.h"
#include "app/startcheck.h"
#include "data/diarynames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

frmMain *gMainWindow = nullptr;

namespace {
qint64 g_splashWaitNs = 0;
}

qint64 splashExposureWaitNs()
{
    return g_splashWaitNs;
}

void Main()
{
    frmSplash *splash = frmSplash::instance();
    splash->show();
    // Nothing else is handled until Main returns: draw the splash now, so it
    // is complete before the slow loading starts. A window manager maps it a
    // little after it is shown, and what is drawn before that is lost: wait
    // for it to be on the screen, a while at most.
    QElapsedTimer waited;
    waited.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    while (splash->windowHandle() && !splash->windowHandle()->isExposed() && waited.elapsed() < 500) {
        QThread::msleep(10);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    splash->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The diary is checked before it is read, and the run's own backups
    // watch its writes from here on.
    if (!app::checkAtStart(diary::databasePath())) {
        // The user was told why; gMainWindow stays empty and the program ends.
        splash->unload();
        return;
    }
    app::AutoBackup::install(diary::databasePath());

    gMainWindow = new frmMain;
    gMainWindow->setAttribute(Qt::WA_DeleteOnClose);
    gMainWindow->load();

    splash->unload();
    gMainWindow->show();
}
