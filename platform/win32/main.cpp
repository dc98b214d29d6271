#include <windows.h>

#include <stdlib.h>

#include "platform/platform.h"

// A GUI-subsystem entry, so that no console window opens.  The start-up code
// has already split the command line into __argc/__argv; the rest of what a
// GUI entry receives is of no use to the launcher.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return launcherMain(__argc, __argv); }
