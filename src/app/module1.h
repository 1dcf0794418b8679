#pragma once

#include <QtGlobal>

class frmMain;

// The one main window of the run; empty until Main creates it, never cleared.
extern frmMain *gMainWindow;

// The start procedure: splash window up, main window loaded behind it,
// splash down, main window shown. Returns once the main window is showing.
void Main();

// How long the last Main waited for the desktop to put the splash window on
// the screen, in nanoseconds: time of the desktop's, not start-up work.
qint64 splashExposureWaitNs();
