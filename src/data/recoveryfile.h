#pragma once

#include <QString>

// What could not be written when nobody was there to be told (the session
// ending, a signal): kept as plain text in a file beside the diary that only
// the user may read, and offered at the next start until the user deletes it.
namespace diary {

// "<diary>.unsaved.txt", beside the diary.
QString recoveryPath(const QString &diaryPath);

// Appends `text` (and a blank line) to the recovery file, made 0600 and never
// through a link; synced before it returns. Empty on success, else why not;
// then the file is as it was, none of `text` in it.
QString keepForNextStart(const QString &diaryPath, const QString &text);

// The recovery file's text, or an empty string when there is none.
QString keptText(const QString &diaryPath);

} // namespace diary
