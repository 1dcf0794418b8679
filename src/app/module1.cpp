#include "app/module1.h"

#include "app/frmmain.h"
#include "app/frmsplash.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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
    // is complete before the slow loading starts.
    QElapsedTimer waited;
    waited.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    g_splashWaitNs = waited.nsecsElapsed();
    splash->repaint();

    gMainWindow = new frmMain;
    gMainWindow->setAttribute(Qt::WA_DeleteOnClose);
    gMainWindow->load();

    splash->unload();
    gMainWindow->show();
}
