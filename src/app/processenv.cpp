#include "app/processenv.h"

#include <QFileInfo>
#include <QString>

namespace app {

bool keepFromStartingABus(const QByteArray &runtimeDir)
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    // The D-Bus library finds a per-user bus at $XDG_RUNTIME_DIR/bus by itself.
    if (!runtimeDir.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtimeDir) + QStringLiteral("/bus")))
        return false;
    // An address that names no transport: look-ups fail at once, nothing is run.
    return qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
}

} // namespace app
