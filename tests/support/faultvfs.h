#pragma once

#include <QString>

#include <array>

class QRandomGenerator;

// A SQLite VFS over the default one that the tests put in its place: every
// connection opened after install(), through Qt SQL or SQLite's C API, goes
// through it. It counts the calls that touch the disk, fails a chosen one as
// a failing or full disk would, and keeps, for each file, what every write
// since its last sync overwrote, so that a power loss can be played: the
// unsynced writes dropped (all of them, or some, the last one torn), as a
// disk that lost its cache leaves the file. The program's own fsync calls
// (outside SQLite) are counted and failed as syncs too.
namespace testing_support {

class FaultVfs
{
public:
    enum Call { Read, Write, Sync, Truncate, Lock, FileSize, Delete, CallKinds };
    static constexpr std::array<const char *, CallKinds> kCallNames{"read", "write",     "sync",  "truncate",
                                                                    "lock", "file size", "delete"};

    // Registers the VFS as the default; later calls do nothing.
    static void install();

    // Counts from zero, no fault armed, nothing recorded, not crashed. No
    // connection may be open.
    static void reset();
    static int count(Call call);

    // The `n`th call of `call` from now (1-based) fails with `code`
    // (0: the I/O error SQLite expects for that call; SQLITE_FULL for a full
    // disk). With `lasting` every later call of that kind fails too, until reset().
    static void failAt(Call call, int n, int code = 0, bool lasting = false);
    // Whether the armed fault was hit since it was armed.
    static bool faultHit();

    // Power loss. From the `n`th write, sync, truncate or delete on (counted
    // together, 1-based) nothing reaches the disk any more and each such call
    // fails: the machine stopped there. 0 disarms.
    static void crashAt(int n);
    static bool crashed();
    static int durableCalls(); // writes + syncs + truncates + deletes so far
    // Drops what the disk had not made durable: with `rng` null every write
    // since each file's last sync is undone; otherwise a random subset of
    // them is, and the last write that stays is torn at a 512-byte boundary.
    // A file renamed since is undone under its new name. No connection may be
    // open. Returns the writes undone.
    static int losePower(QRandomGenerator *rng = nullptr);
};

} // namespace testing_support
