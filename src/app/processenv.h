#pragma once

#include <QByteArray>

// What the process environment must hold before the toolkit starts.
namespace app {

// Where no desktop session bus exists, the D-Bus library would start
// dbus-launch (and with it a bus daemon) on its own the first time the
// toolkit looks for desktop services. A diary has no use for a bus of its
// own making, and the program starts no other program, so the look-up is
// switched off there. Where a session bus exists, nothing changes.
// `runtimeDir` is $XDG_RUNTIME_DIR, where a session bus has its socket.
// Returns whether the environment was changed.
bool keepFromStartingABus(const QByteArray &runtimeDir);

} // namespace app
