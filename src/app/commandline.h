#pragma once

#include <QStringList>

#include <optional>

// What `mealwise` does with its arguments before any window exists. It starts
// with none; --help and --version are answered without a display.
namespace app {

// The help text, naming the program as the user calls it (never a path).
QString mealwiseHelpText();

// With no argument: nullopt, the program starts as always. Otherwise the exit
// status after printing: 0 for --help or --version, 2 (with the usage on
// standard error) for anything else.
std::optional<int> answerCommandLine(const QStringList &arguments);

// Makes the toolkit's start-up failure for want of a display (which aborts)
// a clear message on standard error and exit status 1. Call before the
// QApplication is made; startupDone() once it exists.
void guardDisplayStartup();
void startupDone();

// True when no platform the toolkit could use is named by the environment:
// no QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY.
bool noDisplayNamed();

inline constexpr char kNoDisplayMessage[] = "MEALWISE needs a graphical desktop (no display was found)";

} // namespace app
