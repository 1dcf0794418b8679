#pragma once

#include <QtGlobal>

namespace vb {

// Shows the busy cursor for the life of the object, for work that may keep
// the user waiting longer than a moment. Nests; the cursor goes back to what
// it was when the outermost one ends.
class BusyCursor
{
    Q_DISABLE_COPY_MOVE(BusyCursor)
public:
    BusyCursor();
    ~BusyCursor();
    // Ends it early, before a message that the user must read and answer.
    void release();

private:
    bool m_active = false;
};

} // namespace vb
