// Registry keys that the Win32 registry calls cannot make or address: names with a NUL inside.
#pragma once

#include <windows.h>

#include <string>

namespace test {

// Creates a subkey of the parent whose name is exactly these units, NULs included. The open key
// (the only way to reach it again; the caller closes it), or nullptr when it cannot be made.
HKEY CreateKeyWithRawName(HKEY parent, std::wstring name);
// Deletes the key behind an open handle; 0 or the NTSTATUS. The handle stays open.
LONG DeleteOpenKey(HKEY key);

}  // namespace test
