#include "app/module1.h"

#include "app/frmmain.h"
#include "app/frmsplash.h"

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

    gMainWindow = new frmMain;
    gMainWindow->setAttribute(Qt::WA_DeleteOnClose);
    gMainWindow->load();

    splash->unload();
    gMainWindow->show();
}
