#include "framework/system_library.h"

#include <string>

namespace lark {

void RestrictDllSearchToSystemFolder() {
    // Looked up, not imported: systems without the loader update must still start us.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    ::SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    if (HMODULE module = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // Systems without the restricted search flags: the full path, its dependencies searched from
    // that folder first.
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0) return nullptr;
    if (length >= MAX_PATH) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    const std::wstring path = std::wstring(system, length) + L"\\" + fileName;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace lark
