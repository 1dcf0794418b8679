#include "data/writehooks.h"

namespace diary {

namespace {
WriteHooks &hooks()
{
    static WriteHooks h;
    return h;
}
} // namespace

WriteHooks setWriteHooks(WriteHooks next)
{
    WriteHooks previous = std::move(hooks());
    hooks() = std::move(next);
    return previous;
}

const WriteHooks &writeHooks()
{
    return hooks();
}

} // namespace diary
