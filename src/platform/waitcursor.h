#pragma once

#include <QApplication>

namespace vb {

// The busy cursor for as long as this lives: around every call that may wait
// for the diary's lock, ended before any message about it is shown.
class WaitCursor
{
    Q_DISABLE_COPY_MOVE(WaitCursor)
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace vb
