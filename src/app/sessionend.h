#pragma once

// When the desktop ends the session, or the process is asked to stop
// (SIGTERM, SIGINT, SIGHUP), MEALWISE closes as the main window's unload
// does: the entry windows write their pending changes, the placement is
// stored, and the program exits normally.
void installSessionEndHandlers();

// What an unattended end could not write (see BoundEntryWindow), shown with
// where it is kept, at every start until the user deletes the file.
class QString;
void offerKeptChanges(const QString &diaryPath);
