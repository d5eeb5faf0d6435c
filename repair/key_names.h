// How a registry key whose name holds a NUL is shown. Such a key cannot be reached by a path (the
// text before the NUL names another key, or the parent itself when the NUL comes first), so it is
// listed under a marked name, and nothing is ever done to it.
#pragma once

#include <cwchar>
#include <string>

// Put first, where a narrow column still shows it.
inline constexpr wchar_t kNulNameMarker[] = L"〔含空字符〕";

// The name as shown: the marker, the text up to the first NUL, then "\0" where the NUL is. The
// backslash is one no key name holds: a marked name is never taken for the name of a key, and a
// routine that acts on one key name refuses it.
inline std::wstring MarkedKeyName(const wchar_t* nameUpToNul) {
    return std::wstring(kNulNameMarker) + nameUpToNul + L"\\0";
}

// Whether a text can be the name of one key: not empty, and no backslash (a marked name has one).
inline bool IsSingleKeyName(const wchar_t* name) { return name && *name && !std::wcschr(name, L'\\'); }
