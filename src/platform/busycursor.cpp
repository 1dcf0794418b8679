#include "platform/busycursor.h"

#include <QApplication>
#include <QCursor>

namespace vb {

BusyCursor::BusyCursor()
{
    // Only with a GUI application: the command-line tools share this code.
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_active = true;
    }
}

BusyCursor::~BusyCursor()
{
    release();
}

void BusyCursor::release()
{
    if (!m_active)
        return;
    m_active = false;
    // A window's unload may already have taken every override away.
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace vb
