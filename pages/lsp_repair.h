// The routines of the Winsock LSP page, and the showing of a file in Explorer that the add-ons and
// firewall pages use as well.
#pragma once

#include <windows.h>

// Opens an Explorer window with the file selected: "<Windows folder>\Explorer /select,<path>"
// (the path not quoted), Explorer started from the Windows folder by its full path and not waited
// for. Nothing is started when the Windows folder cannot be had or the command line would not fit
// its 520 characters. 1 when Explorer was started, 0 otherwise; the pages show nothing either way.
int LocateFileInExplorer(const wchar_t* path);
