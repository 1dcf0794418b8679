#pragma once

#include "access/conversion.h"

#include <QString>

#include <functional>

class QWidget;

// At start: the diary's path holds an Access (Jet) file, or a conversion was
// cut short between its two renames. Both ask the user first, convert with
// a progress dialog while the work runs off the window thread, and say what
// became of every file.
namespace app {

// The diary's path holds an Access file. Says how many days it holds and
// from when to when, and asks whether to convert it now. Yes: converts, puts
// the Access file aside as <stem>-access-YYYY-MM-DD-HHMMSS.mdb and the new
// diary in its place, shows the kept name; true when a diary is now there.
// No (or a failure): says that nothing was changed; false, and the caller
// ends the program.
bool offerAccessConversion(const QString &diaryPath, QWidget *parent);

// No diary at `diaryPath`, but a kept <stem>-access-*.mdb beside it: offers
// to convert the newest of them into a new diary at `diaryPath` (the kept
// file stays as it is). True when a diary is now there.
bool offerToFinishConversion(const QString &diaryPath, QWidget *parent);

// What reads and plans a conversion; tests put in rows of their own.
using AccessPreparer =
    std::function<jet::PreparedConversion(const QString &accessPath, bool asIs, const jet::ReadOptions &read)>;
// Returns the previous one; an empty function puts the real reader back.
AccessPreparer setAccessPreparer(AccessPreparer preparer);

} // namespace app
