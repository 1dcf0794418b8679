#pragma once

#include <QString>

// SQLite's result codes, by their SQLITE_* names, and what each means for
// the user: one table that the row sets, the opening of a diary and the
// keeping commands all read, so that a full disk or a lock is said the same
// way wherever it is met.
namespace diary {

enum class EngineFailure {
    None,      // SQLITE_OK, SQLITE_ROW, SQLITE_DONE
    Statement, // the statement does not fit the file (no such table or column)
    Busy,      // another connection holds the lock
    ReadOnly,  // the file or its folder cannot be written
    Full,      // the disk is full
    Io,        // the disk failed a read or a write
    CantOpen,  // the file or its journal cannot be opened
    Damaged,   // SQLite finds the file damaged
    NotADiary, // the file is no SQLite database
    Refused,   // a value the table refuses (a CHECK, a type, a size)
    NoMemory,
    Interrupted,
    Other,
};

// What a result code stands for; an extended code counts as its primary
// one (its low byte).
EngineFailure engineFailure(int code);
// Its name: "SQLITE_BUSY", or the number for a code SQLite does not have.
QString resultCodeName(int code);
// The program's words for a failed write to `path`, with the engine's own
// words in brackets; for a failure with no words of its own, the engine's.
QString writeFailureText(int code, const QString &path, const QString &engineText);

} // namespace diary
