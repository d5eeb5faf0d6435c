// A registry key opened to walk what lies directly below it.
#pragma once

#include <windows.h>

#include <string_view>

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

// Key names are counted in the registry, so a name may hold a NUL. A path is a text that ends at
// its first NUL: "abc\0def" reached by its path would be the key "abc", and a name that begins
// with a NUL would be the parent itself. `length` is what RegEnumKeyExW reported for the name.
inline bool NameHoldsNul(const wchar_t* name, DWORD length) {
    return std::wstring_view(name, length).find(L'\0') != std::wstring_view::npos;
}

// Opens the subkey of `parent` (an open key, not a predefined root) whose name is exactly these
// units, NULs included: the one way to reach a key whose name holds a NUL. 0 or a Windows error;
// `key` is left empty on failure.
LONG OpenExactSubkey(HKEY parent, std::wstring_view name, REGSAM access, UniqueRegKey& key);

}  // namespace lark
