#pragma once

#include <QString>

#include <functional>

// What the program wants done around the writes of the row sets, without the
// data layer knowing what it is: the application sets these (a backup before
// the first delete, a note that the diary changed). Empty unless set.
namespace diary {

struct WriteHooks
{
    // Before a row set deletes a row that is in the file `path`.
    std::function<void(const QString &path)> beforeDelete;
    // After a row set's write to `path` was committed.
    std::function<void(const QString &path)> afterWrite;
};

// Returns the hooks that were in place.
WriteHooks setWriteHooks(WriteHooks hooks);
const WriteHooks &writeHooks();

} // namespace diary
