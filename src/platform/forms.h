#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// The program's open windows, in the order in which they were opened. A window
// joins when it is first shown and leaves when it is destroyed.
namespace vb {

class Forms
{
public:
    static void add(QWidget *window);
    static void remove(QWidget *window);
    static QList<QWidget *> list(); // oldest first; windows already destroyed are left out
    static int count();
};

} // namespace vb
