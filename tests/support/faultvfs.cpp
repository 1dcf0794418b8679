#include "faultvfs.h"

#include <QRandomGenerator>

#include <sqlite3.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

namespace {

// What one write since the file's last sync overwrote.
struct Undo
{
    sqlite3_int64 offset = 0;
    std::string old; // the bytes there before; zeros past the old end
};

// A file's writes since its last sync, and a descriptor of its own by which
// they are undone even after the file was renamed (a backup put in place).
// Descriptors are closed only when no connection is open (reset, losePower):
// closing one would drop the process's locks on the file.
struct Unsynced
{
    int fd = -1;
    sqlite3_int64 syncedSize = 0;
    std::vector<Undo> undos;
};

struct State
{
    std::recursive_mutex mutex;
    std::array<int, FaultVfs::CallKinds> counts{};
    int failCall = -1;
    int failN = 0;
    int failCode = 0;
    bool failLasting = false;
    bool hit = false;
    int crashN = 0;
    int durable = 0;
    bool crashed = false;
    std::map<std::string, Unsynced> unsynced;
    std::vector<int> spentFds;
};

State &state()
{
    static State s;
    return s;
}

// Set while SQLite's own sync runs, which is counted as xSync already.
thread_local bool t_inSqliteSync = false;

sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_vfs;

struct File
{
    sqlite3_file base;
    sqlite3_file *real;
    std::string *path; // null for SQLite's nameless temporary files
};

int defaultCode(int call)
{
    switch (call) {
    case FaultVfs::Read:
        return SQLITE_IOERR_READ;
    case FaultVfs::Write:
        return SQLITE_IOERR_WRITE;
    case FaultVfs::Sync:
        return SQLITE_IOERR_FSYNC;
    case FaultVfs::Truncate:
        return SQLITE_IOERR_TRUNCATE;
    case FaultVfs::Lock:
        return SQLITE_IOERR_LOCK;
    case FaultVfs::FileSize:
        return SQLITE_IOERR_FSTAT;
    default:
        return SQLITE_IOERR_DELETE;
    }
}

// Counts the call; the code it must fail with, or SQLITE_OK.
int enter(FaultVfs::Call call)
{
    State &s = state();
    const int n = ++s.counts[size_t(call)];
    const bool changesDisk =
        call == FaultVfs::Write || call == FaultVfs::Sync || call == FaultVfs::Truncate || call == FaultVfs::Delete;
    if (changesDisk) {
        ++s.durable;
        if (s.crashN > 0 && s.durable >= s.crashN)
            s.crashed = true;
        if (s.crashed)
            return defaultCode(call);
    }
    if (s.failCall == int(call) && (n == s.failN || (s.failLasting && n > s.failN))) {
        s.hit = true;
        return s.failCode ? s.failCode : defaultCode(call);
    }
    return SQLITE_OK;
}

// Forgets what was written to `path` since its last sync: it is on the disk.
void forget(const std::string &path)
{
    State &s = state();
    const auto it = s.unsynced.find(path);
    if (it == s.unsynced.end())
        return;
    if (it->second.fd >= 0)
        s.spentFds.push_back(it->second.fd);
    s.unsynced.erase(it);
}

void closeSpentFds()
{
    for (const int fd : state().spentFds)
        ::close(fd);
    state().spentFds.clear();
}

File *asFile(sqlite3_file *f)
{
    return reinterpret_cast<File *>(f);
}

int xClose(sqlite3_file *f)
{
    File *file = asFile(f);
    const int rc = file->real->pMethods ? file->real->pMethods->xClose(file->real) : SQLITE_OK;
    delete file->path;
    file->path = nullptr;
    return rc;
}

int xRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
{
    std::lock_guard lock(state().mutex);
    if (const int rc = enter(FaultVfs::Read))
        return rc;
    return asFile(f)->real->pMethods->xRead(asFile(f)->real, buffer, amount, offset);
}

int xWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
{
    std::lock_guard lock(state().mutex);
    if (const int rc = enter(FaultVfs::Write))
        return rc;
    File *file = asFile(f);
    if (file->path) {
        Unsynced &u = state().unsynced[*file->path];
        if (u.fd < 0) {
            u.fd = ::open(file->path->c_str(), O_RDWR | O_CLOEXEC);
            file->real->pMethods->xFileSize(file->real, &u.syncedSize);
        }
        Undo undo;
        undo.offset = offset;
        undo.old.assign(size_t(amount), '\0');
        // A short read leaves zeros past the end, which is what a lost
        // extension of the file reads as.
        const int rc = file->real->pMethods->xRead(file->real, undo.old.data(), amount, offset);
        if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ)
            return rc;
        u.undos.push_back(std::move(undo));
    }
    return file->real->pMethods->xWrite(file->real, buffer, amount, offset);
}

int xTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    std::lock_guard lock(state().mutex);
    if (const int rc = enter(FaultVfs::Truncate))
        return rc;
    return asFile(f)->real->pMethods->xTruncate(asFile(f)->real, size);
}

int xSync(sqlite3_file *f, int flags)
{
    std::lock_guard lock(state().mutex);
    if (const int rc = enter(FaultVfs::Sync))
        return rc;
    File *file = asFile(f);
    t_inSqliteSync = true;
    const int rc = file->real->pMethods->xSync(file->real, flags);
    t_inSqliteSync = false;
    if (rc == SQLITE_OK && file->path)
        forget(*file->path);
    return rc;
}

int xFileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    std::lock_guard lock(state().mutex);
    if (const int rc = enter(FaultVfs::FileSize))
        return rc;
    return asFile(f)->real->pMethods->xFileSize(asFile(f)->real, size);
}

int xLock(sqlite3_file *f, int level)
{
    std::lock_guard lock(state().mutex);
    if (const int rc = enter(FaultVfs::Lock))
        return rc;
    return asFile(f)->real->pMethods->xLock(asFile(f)->real, level);
}

int xUnlock(sqlite3_file *f, int level)
{
    return asFile(f)->real->pMethods->xUnlock(asFile(f)->real, level);
}

int xCheckReservedLock(sqlite3_file *f, int *out)
{
    return asFile(f)->real->pMethods->xCheckReservedLock(asFile(f)->real, out);
}

int xFileControl(sqlite3_file *f, int op, void *arg)
{
    return asFile(f)->real->pMethods->xFileControl(asFile(f)->real, op, arg);
}

int xSectorSize(sqlite3_file *f)
{
    return asFile(f)->real->pMethods->xSectorSize(asFile(f)->real);
}

int xDeviceCharacteristics(sqlite3_file *f)
{
    return asFile(f)->real->pMethods->xDeviceCharacteristics(asFile(f)->real);
}

int xShmMap(sqlite3_file *f, int region, int size, int extend, void volatile **out)
{
    const sqlite3_io_methods *m = asFile(f)->real->pMethods;
    return m->iVersion >= 2 ? m->xShmMap(asFile(f)->real, region, size, extend, out) : SQLITE_IOERR_SHMMAP;
}

int xShmLock(sqlite3_file *f, int offset, int n, int flags)
{
    const sqlite3_io_methods *m = asFile(f)->real->pMethods;
    return m->iVersion >= 2 ? m->xShmLock(asFile(f)->real, offset, n, flags) : SQLITE_IOERR_SHMLOCK;
}

void xShmBarrier(sqlite3_file *f)
{
    const sqlite3_io_methods *m = asFile(f)->real->pMethods;
    if (m->iVersion >= 2)
        m->xShmBarrier(asFile(f)->real);
}

int xShmUnmap(sqlite3_file *f, int deleteFlag)
{
    const sqlite3_io_methods *m = asFile(f)->real->pMethods;
    return m->iVersion >= 2 ? m->xShmUnmap(asFile(f)->real, deleteFlag) : SQLITE_OK;
}

// Every read goes through xRead, where it is counted.
int xFetch(sqlite3_file *, sqlite3_int64, int, void **out)
{
    *out = nullptr;
    return SQLITE_OK;
}

int xUnfetch(sqlite3_file *, sqlite3_int64, void *)
{
    return SQLITE_OK;
}

const sqlite3_io_methods g_methods = {
    3,
    xClose,
    xRead,
    xWrite,
    xTruncate,
    xSync,
    xFileSize,
    xLock,
    xUnlock,
    xCheckReservedLock,
    xFileControl,
    xSectorSize,
    xDeviceCharacteristics,
    xShmMap,
    xShmLock,
    xShmBarrier,
    xShmUnmap,
    xFetch,
    xUnfetch,
};

int vOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *f, int flags, int *outFlags)
{
    File *file = asFile(f);
    file->base.pMethods = nullptr;
    file->real = reinterpret_cast<sqlite3_file *>(file + 1);
    file->path = nullptr;
    const int rc = g_real->xOpen(g_real, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK || !file->real->pMethods) {
        // SQLite calls xClose only when pMethods is set.
        if (file->real->pMethods)
            file->real->pMethods->xClose(file->real);
        return rc != SQLITE_OK ? rc : SQLITE_CANTOPEN;
    }
    if (name)
        file->path = new std::string(name);
    file->base.pMethods = &g_methods;
    return SQLITE_OK;
}

int vDelete(sqlite3_vfs *, const char *name, int syncDir)
{
    {
        std::lock_guard lock(state().mutex);
        if (const int rc = enter(FaultVfs::Delete))
            return rc;
        forget(name);
    }
    return g_real->xDelete(g_real, name, syncDir);
}

int vAccess(sqlite3_vfs *, const char *name, int flags, int *out)
{
    return g_real->xAccess(g_real, name, flags, out);
}

int vFullPathname(sqlite3_vfs *, const char *name, int size, char *out)
{
    return g_real->xFullPathname(g_real, name, size, out);
}

void *vDlOpen(sqlite3_vfs *, const char *name)
{
    return g_real->xDlOpen(g_real, name);
}

void vDlError(sqlite3_vfs *, int size, char *out)
{
    g_real->xDlError(g_real, size, out);
}

void (*vDlSym(sqlite3_vfs *, void *handle, const char *symbol))(void)
{
    return g_real->xDlSym(g_real, handle, symbol);
}

void vDlClose(sqlite3_vfs *, void *handle)
{
    g_real->xDlClose(g_real, handle);
}

int vRandomness(sqlite3_vfs *, int size, char *out)
{
    return g_real->xRandomness(g_real, size, out);
}

int vSleep(sqlite3_vfs *, int micros)
{
    return g_real->xSleep(g_real, micros);
}

int vCurrentTime(sqlite3_vfs *, double *out)
{
    return g_real->xCurrentTime(g_real, out);
}

int vGetLastError(sqlite3_vfs *, int size, char *out)
{
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, size, out) : 0;
}

int vCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *out)
{
    return g_real->xCurrentTimeInt64(g_real, out);
}

// The program's own syncs (a file before its rename, a folder after one,
// the recovery file) count as sync calls too, and fail as a disk would.
template <typename Fn> int programSync(const char *name, int fd)
{
    static const auto real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
    if (!t_inSqliteSync) {
        std::lock_guard lock(state().mutex);
        if (g_real && enter(FaultVfs::Sync) != SQLITE_OK) {
            errno = EIO;
            return -1;
        }
    }
    return real(fd);
}

} // namespace

extern "C" int fsync(int fd)
{
    return programSync<int (*)(int)>("fsync", fd);
}

extern "C" int fdatasync(int fd)
{
    return programSync<int (*)(int)>("fdatasync", fd);
}

void FaultVfs::install()
{
    if (g_real)
        return;
    sqlite3_initialize();
    g_real = sqlite3_vfs_find(nullptr);
    std::memset(&g_vfs, 0, sizeof g_vfs);
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "mealwise-faults";
    g_vfs.xOpen = vOpen;
    g_vfs.xDelete = vDelete;
    g_vfs.xAccess = vAccess;
    g_vfs.xFullPathname = vFullPathname;
    g_vfs.xDlOpen = vDlOpen;
    g_vfs.xDlError = vDlError;
    g_vfs.xDlSym = vDlSym;
    g_vfs.xDlClose = vDlClose;
    g_vfs.xRandomness = vRandomness;
    g_vfs.xSleep = vSleep;
    g_vfs.xCurrentTime = vCurrentTime;
    g_vfs.xGetLastError = vGetLastError;
    g_vfs.xCurrentTimeInt64 = vCurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

void FaultVfs::reset()
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.counts.fill(0);
    s.failCall = -1;
    s.failN = 0;
    s.failCode = 0;
    s.failLasting = false;
    s.hit = false;
    s.crashN = 0;
    s.durable = 0;
    s.crashed = false;
    for (auto &entry : s.unsynced) {
        if (entry.second.fd >= 0)
            s.spentFds.push_back(entry.second.fd);
    }
    s.unsynced.clear();
    closeSpentFds();
}

int FaultVfs::count(Call call)
{
    std::lock_guard lock(state().mutex);
    return state().counts[size_t(call)];
}

void FaultVfs::failAt(Call call, int n, int code, bool lasting)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.counts.fill(0);
    s.failCall = int(call);
    s.failN = n;
    s.failCode = code;
    s.failLasting = lasting;
    s.hit = false;
}

bool FaultVfs::faultHit()
{
    std::lock_guard lock(state().mutex);
    return state().hit;
}

void FaultVfs::crashAt(int n)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    s.durable = 0;
    s.crashN = n;
    s.crashed = false;
}

bool FaultVfs::crashed()
{
    std::lock_guard lock(state().mutex);
    return state().crashed;
}

int FaultVfs::durableCalls()
{
    std::lock_guard lock(state().mutex);
    return state().durable;
}

int FaultVfs::losePower(QRandomGenerator *rng)
{
    State &s = state();
    std::lock_guard lock(s.mutex);
    int undone = 0;
    for (auto &[path, u] : s.unsynced) {
        const int fd = u.fd;
        if (fd < 0)
            continue;
        std::vector<bool> lost(u.undos.size(), true);
        if (rng) {
            for (size_t i = 0; i < lost.size(); ++i)
                lost[i] = rng->bounded(2) == 0;
        }
        // The last write that reached the disk reached it only in part.
        qsizetype torn = -1;
        for (size_t i = lost.size(); i-- > 0;) {
            if (!lost[i]) {
                torn = qsizetype(i);
                break;
            }
        }
        for (size_t i = u.undos.size(); i-- > 0;) {
            const Undo &undo = u.undos[i];
            size_t from = 0;
            if (qsizetype(i) == torn) {
                const size_t sectors = undo.old.size() / 512;
                if (sectors < 1)
                    continue;
                from = size_t(rng->bounded(quint32(sectors))) * 512 + 512;
                if (from >= undo.old.size())
                    continue;
            } else if (!lost[i]) {
                continue;
            }
            if (::pwrite(fd, undo.old.data() + from, undo.old.size() - from, off_t(undo.offset + qint64(from))) < 0)
                continue;
            ++undone;
        }
        if (!rng)
            (void)::ftruncate(fd, off_t(u.syncedSize));
        s.spentFds.push_back(fd);
    }
    s.unsynced.clear();
    closeSpentFds();
    return undone;
}

} // namespace testing_support
