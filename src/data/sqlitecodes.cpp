#include "data/sqlitecodes.h"

#include <QCoreApplication>

#include <sqlite3.h>

namespace diary {

namespace {

struct ResultCode
{
    int code;
    const char *name;
    EngineFailure failure;
};

// Every primary result code of SQLite 3.
constexpr ResultCode kCodes[] = {
    {SQLITE_OK, "SQLITE_OK", EngineFailure::None},
    {SQLITE_ERROR, "SQLITE_ERROR", EngineFailure::Statement},
    {SQLITE_INTERNAL, "SQLITE_INTERNAL", EngineFailure::Other},
    {SQLITE_PERM, "SQLITE_PERM", EngineFailure::ReadOnly},
    {SQLITE_ABORT, "SQLITE_ABORT", EngineFailure::Interrupted},
    {SQLITE_BUSY, "SQLITE_BUSY", EngineFailure::Busy},
    {SQLITE_LOCKED, "SQLITE_LOCKED", EngineFailure::Busy},
    {SQLITE_NOMEM, "SQLITE_NOMEM", EngineFailure::NoMemory},
    {SQLITE_READONLY, "SQLITE_READONLY", EngineFailure::ReadOnly},
    {SQLITE_INTERRUPT, "SQLITE_INTERRUPT", EngineFailure::Interrupted},
    {SQLITE_IOERR, "SQLITE_IOERR", EngineFailure::Io},
    {SQLITE_CORRUPT, "SQLITE_CORRUPT", EngineFailure::Damaged},
    {SQLITE_NOTFOUND, "SQLITE_NOTFOUND", EngineFailure::Other},
    {SQLITE_FULL, "SQLITE_FULL", EngineFailure::Full},
    {SQLITE_CANTOPEN, "SQLITE_CANTOPEN", EngineFailure::CantOpen},
    {SQLITE_PROTOCOL, "SQLITE_PROTOCOL", EngineFailure::Io},
    {SQLITE_EMPTY, "SQLITE_EMPTY", EngineFailure::Other},
    {SQLITE_SCHEMA, "SQLITE_SCHEMA", EngineFailure::Other},
    {SQLITE_TOOBIG, "SQLITE_TOOBIG", EngineFailure::Refused},
    {SQLITE_CONSTRAINT, "SQLITE_CONSTRAINT", EngineFailure::Refused},
    {SQLITE_MISMATCH, "SQLITE_MISMATCH", EngineFailure::Refused},
    {SQLITE_MISUSE, "SQLITE_MISUSE", EngineFailure::Other},
    {SQLITE_NOLFS, "SQLITE_NOLFS", EngineFailure::Io},
    {SQLITE_AUTH, "SQLITE_AUTH", EngineFailure::ReadOnly},
    {SQLITE_FORMAT, "SQLITE_FORMAT", EngineFailure::Damaged},
    {SQLITE_RANGE, "SQLITE_RANGE", EngineFailure::Other},
    {SQLITE_NOTADB, "SQLITE_NOTADB", EngineFailure::NotADiary},
    {SQLITE_NOTICE, "SQLITE_NOTICE", EngineFailure::Other},
    {SQLITE_WARNING, "SQLITE_WARNING", EngineFailure::Other},
    {SQLITE_ROW, "SQLITE_ROW", EngineFailure::None},
    {SQLITE_DONE, "SQLITE_DONE", EngineFailure::None},
};

const ResultCode *find(int code)
{
    for (const ResultCode &c : kCodes) {
        if (c.code == (code & 0xff))
            return &c;
    }
    return nullptr;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("diary", text);
}

} // namespace

EngineFailure engineFailure(int code)
{
    const ResultCode *c = find(code);
    return c ? c->failure : EngineFailure::Other;
}

QString resultCodeName(int code)
{
    const ResultCode *c = find(code);
    return c ? QLatin1String(c->name) : QString::number(code);
}

QString writeFailureText(int code, const QString &path, const QString &engineText)
{
    switch (engineFailure(code)) {
    case EngineFailure::Busy:
        return tr("%1 is in use by another program (%2); close that program or wait for it to finish")
            .arg(path, engineText);
    case EngineFailure::ReadOnly:
        return tr("%1 or its folder cannot be written (%2); make both writable and try again").arg(path, engineText);
    case EngineFailure::Full:
        return tr("the disk holding %1 is full (%2); make room and try again").arg(path, engineText);
    case EngineFailure::Io:
    case EngineFailure::CantOpen:
        return tr("%1 could not be written (%2); check that the file and its folder are still there and "
                  "writable, and that the disk is not full")
            .arg(path, engineText);
    default:
        return engineText;
    }
}

} // namespace diary
