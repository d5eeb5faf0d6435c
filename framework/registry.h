// A registry key opened to walk what lies directly below it, and the two registry views of a
// 64-bit program.
#pragma once

#include <windows.h>

#include <string_view>

#include "framework/handles.h"

namespace lark {

// On 64-bit Windows most keys below HKEY_LOCAL_MACHINE\SOFTWARE (HKEY_CLASSES_ROOT\CLSID among them)
// exist twice: once for 64-bit programs, once for 32-bit programs (below Wow6432Node). A view is
// the access flag that opens the one or the other; a few keys are shared by both.
enum class RegistryView : REGSAM {
    Bits64 = KEY_WOW64_64KEY,  // the view of 64-bit programs, this program's own
    Bits32 = KEY_WOW64_32KEY,  // the view of 32-bit programs
};

// Both views in the order they are listed: 64-bit first.
inline constexpr RegistryView kRegistryViews[] = {RegistryView::Bits64, RegistryView::Bits32};

// The flag to add to the access of every open or create in the view.
constexpr REGSAM ViewAccess(RegistryView view) { return static_cast<REGSAM>(view); }

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
