#include "repair/wow64.h"

#include <optional>
#include <string_view>

namespace {

// The subfolders of the system folder that 32-bit programs reach as they are.
constexpr std::wstring_view kNotRedirected[] = {
    L"\\catroot", L"\\catroot2", L"\\driverstore", L"\\drivers\\etc", L"\\logfiles", L"\\spool",
};

using FolderCall = UINT(WINAPI*)(LPWSTR, UINT);

// A folder of the system, without a trailing backslash; empty when it cannot be had.
std::wstring Folder(FolderCall call) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = call(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring text(folder, length);
    while (!text.empty() && text.back() == L'\\') text.pop_back();
    return text;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           (a.empty() || ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL);
}

// What follows the folder in the path when the path is the folder or lies below it: empty, or
// starting with a backslash. Nothing for any other path.
std::optional<std::wstring_view> Below(std::wstring_view path, std::wstring_view folder) {
    if (folder.empty() || path.size() < folder.size() || !SameIgnoringCase(path.substr(0, folder.size()), folder)) {
        return std::nullopt;
    }
    const std::wstring_view rest = path.substr(folder.size());
    if (!rest.empty() && rest.front() != L'\\') return std::nullopt;
    return rest;
}

bool IsAbsoluteDrivePath(const wchar_t* path) {
    const wchar_t letter = path[0];
    return ((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z')) && path[1] == L':' &&
           (path[2] == L'\\' || path[2] == L'/');
}

// The path with plain separators and without "." or ".." parts; empty when that fails.
std::wstring PlainPath(const wchar_t* path) {
    const DWORD needed = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path, needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    return full;
}

}  // namespace

std::wstring MarkForView(const wchar_t* text, lark::RegistryView view) {
    std::wstring marked = text ? text : L"";
    if (view == lark::RegistryView::Bits32) marked += k32BitMark;
    return marked;
}

std::wstring PathFor32BitPrograms(const wchar_t* path) {
    const std::wstring given = path ? path : L"";
    if (!path || !IsAbsoluteDrivePath(path)) return given;
    const std::wstring plain = PlainPath(path);
    const std::wstring system = Folder(&::GetSystemDirectoryW);
    const std::wstring system32Bit = Folder(&::GetSystemWow64DirectoryW);
    if (plain.empty() || system.empty() || system32Bit.empty()) return given;

    if (const auto rest = Below(plain, system)) {
        for (const std::wstring_view kept : kNotRedirected) {
            if (Below(*rest, kept)) return given;
        }
        return system32Bit + std::wstring(*rest);
    }
    const std::wstring windows = Folder(&::GetSystemWindowsDirectoryW);
    if (const auto rest = windows.empty() ? std::nullopt : Below(plain, windows + L"\\Sysnative")) {
        return system + std::wstring(*rest);
    }
    return given;
}
