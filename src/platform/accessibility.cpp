#include "platform/accessibility.h"

#include "platform/flexgrid.h"
#include "platform/flexgridaccessible.h"
#include "platform/namedcomboaccessible.h"

#include <QAccessible>
#include <QComboBox>

namespace vb {

namespace {
QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *grid = qobject_cast<FlexGrid *>(object))
        return new FlexGridAccessible(grid);
    if (auto *combo = qobject_cast<QComboBox *>(object))
        return new NamedComboAccessible(combo);
    return nullptr;
}
} // namespace

void installAccessibility()
{
    // Installed after the toolkit's own factory, so asked before it.
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace vb
