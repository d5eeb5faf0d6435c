// The hand-off to the updater at every start: Tolvane runs in the background and its exit code
// decides between the update notice on the fast-check page and the product page.
#pragma once

#include <windows.h>

// The updater's exit code, written by RunUpdater once the updater has ended.
DWORD UpdaterExitCode();

// Starts Tolvane.exe from the program's own folder with "Tolvane.exe K00000031 v1.6 "<name.ext>""
// (the program's file name quoted) and the desktop user's rights, waits for it without a time limit
// and stores its exit code. 1: it ran and the code is stored; 0: it was not started (module path
// unavailable, name too long for the command line, no Tolvane.exe beside the program, no desktop
// user's rights to be had, or the process could not be created), as if the update server could
// not be reached.
int RunUpdater();

// Thread procedure; the parameter is the fast-check page (CFastCheckDialog*). 100 starts the
// page's update notice, 101 asks the desktop's shell to open the product page, anything else does
// nothing. Returns 0.
DWORD WINAPI UpdateHandOffThread(LPVOID page);
