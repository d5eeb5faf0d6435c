// DLLs of the system that are not KnownDLLs (crypt32, WinINet, version, wintrust) are never
// imported: Windows would look for them in the program's folder first, before our code runs, and
// people start us elevated from download folders. They are loaded here, from the system folder only.
// Header and source use nothing but kernel32, so that Tolvane compiles them as well.
#pragma once

#include <windows.h>

namespace lark {

// Takes the program's and the current folder out of the DLL search for the rest of the run: every
// later load by name, and every dependency of a loaded DLL, comes from the system folder. The first
// thing wWinMain does. Where the system lacks SetDefaultDllDirectories (a loader update), at least
// the current folder leaves the search.
void RestrictDllSearchToSystemFolder();

// Loads the system's DLL of this file name ("crypt32.dll") from the system folder, never from
// another. The caller owns the module (lark::UniqueModule); nullptr when it cannot be loaded,
// GetLastError tells why.
[[nodiscard]] HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace lark
