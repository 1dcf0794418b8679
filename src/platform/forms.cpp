#include "platform/forms.h"

#include <QObject>

namespace vb {

namespace {
QList<QPointer<QWidget>> &openWindows()
{
    static QList<QPointer<QWidget>> windows;
    return windows;
}
} // namespace

void Forms::add(QWidget *window)
{
    if (!window)
        return;
    for (const QPointer<QWidget> &w : openWindows()) {
        if (w == window)
            return;
    }
    openWindows().append(window);
    QObject::connect(window, &QObject::destroyed, window, [window] { Forms::remove(window); });
}

void Forms::remove(QWidget *window)
{
    openWindows().removeIf([window](const QPointer<QWidget> &w) { return w.isNull() || w.data() == window; });
}

QList<QWidget *> Forms::list()
{
    QList<QWidget *> result;
    for (const QPointer<QWidget> &w : openWindows()) {
        if (w)
            result.append(w.data());
    }
    return result;
}

int Forms::count()
{
    return int(list().size());
}

} // namespace vb
