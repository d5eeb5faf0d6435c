// A registry key opened to walk what lies directly below it.
#pragma once

#include <windows.h>

#include "framework/handles.h"

namespace lark {

struct ListedKey {
    UniqueRegKey key;
    DWORD subkeys = 0;  // direct subkeys
    DWORD values = 0;
};

// Opens root\path with the access given and counts its direct subkeys and values
// (RegQueryInfoKeyW). 0, or the Windows error of the call that failed; then the key is closed.
inline LONG OpenForListing(HKEY root, const wchar_t* path, REGSAM access, ListedKey& listed) {
    LONG error = ::RegOpenKeyExW(root, path, 0, access, listed.key.put());
    if (error != ERROR_SUCCESS) return error;
    error = ::RegQueryInfoKeyW(listed.key.get(), nullptr, nullptr, nullptr, &listed.subkeys, nullptr, nullptr,
                               &listed.values, nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) listed.key.reset();
    return error;
}

}  // namespace lark
