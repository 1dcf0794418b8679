#pragma once

#include <QString>

class QWidget;

namespace app {

// At every start, before the diary is read: tells a failure of the last
// run's closing backup, then judges the diary's state. Only a diary SQLite
// finds damaged (or one emptied to no bytes) is offered the newest backup
// that passes the full check, with No as the default; a lock, a change
// waiting to be undone on a write-protected file, a link or an Access file is
// said for what it is. Nothing changes without the user's yes. False when the
// program should end rather than open the diary (the message was shown).
bool checkAtStart(const QString &diaryPath, QWidget *parent = nullptr);

} // namespace app
