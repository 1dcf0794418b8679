#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// What state a file at the diary's path is in: the one judgement behind the
// start check and every subcommand. It opens the file as the windows do
// (read-write, so that a change a crash left half done is rolled back) and
// reads SQLite's result codes, so that only a file SQLite itself finds damaged
// is ever called damaged: a lock, a write-protected file, a link or an Access
// file is each said for what it is.
namespace keeping {

enum class CheckDepth {
    Quick, // PRAGMA quick_check and the tables: fast enough for every start
    Full,  // PRAGMA integrity_check, the tables, the columns, the query, the format version and the days
};

enum class DiaryState {
    Sound,       // a MEALWISE diary that passed the check
    Missing,     // nothing at the path (or a link to nothing)
    NotAFile,    // a folder, a pipe, a device
    Unreadable,  // the file or its folder may not be read, or the disk failed
    Busy,        // another program holds it locked
    UndoWaits,   // a change a crash interrupted waits to be undone, and the file or folder is write-protected
    Access,      // an Access (Jet or ACE) database, for the conversion
    NotADiary,   // a sound SQLite file without the diary's tables, or an empty file
    NewerFormat, // a diary made by a newer MEALWISE
    Damaged,     // SQLite finds it damaged (SQLITE_CORRUPT, SQLITE_NOTADB or a failed check)
};

struct Verdict
{
    DiaryState state = DiaryState::Missing;
    bool ok = false;      // state == Sound
    QStringList problems; // what SQLite and the checks said, the first few
    QString linkTarget;   // where a link at the path leads, else empty
    bool empty = false;   // a file of no bytes (NotADiary)
    int userVersion = 0;
    qint64 days = 0; // Full only
    QDate first, last;

    // Only damage, or a diary emptied to no bytes, is worth a restore.
    bool restorable() const { return state == DiaryState::Damaged || empty; }
    // One paragraph for the user: what the file is, and what to do.
    QString text(const QString &path) const;
};

// How long the judgement waits for another program's lock: the windows'
// connection timeout, so that the user hears of a lock within 16 s.
inline constexpr int kLockWaitMs = 15000;

Verdict checkDiary(const QString &path, CheckDepth depth, int lockWaitMs = kLockWaitMs);

// The signature of an Access database at byte 4: "Standard Jet DB" (Jet 3
// and 4) or "Standard ACE DB" (Access 2007 on).
bool hasAccessSignature(const QByteArray &head);

// A journal beside `path` that SQLite would play back (a crash left it).
bool hasHotJournal(const QString &path);

} // namespace keeping
