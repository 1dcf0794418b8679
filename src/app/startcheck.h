#pragma once

#include <QString>

class QWidget;

namespace app {

// At every start, before the diary is read: tells a failure of the last
// run's closing backup, then runs quick_check on the diary. A damaged diary
// is named with what is wrong, and the newest backup that passes the full
// check is offered; nothing changes without the user's yes.
void checkAtStart(const QString &diaryPath, QWidget *parent = nullptr);

} // namespace app
