#pragma once

#include <QString>

namespace diary {

// What mealwise-setup makes of an existing folder named MEALWISE before it
// puts a diary in it. Health data is for the user's eyes only: a folder that
// others may enter is made 0700 (and `notice` says so); a folder that belongs
// to another user is refused, since its owner could read or replace the
// diary. Other folders given with --path (/tmp, say) are not MEALWISE's to
// change and are left as they are. Returns an empty string when the diary may
// be made there, else a message a user can read.
QString secureDiaryFolder(const QString &folder, QString *notice);

} // namespace diary
