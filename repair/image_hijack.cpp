#include "repair/image_hijack.h"

#include <cwchar>

#include <shlwapi.h>
#include <winternl.h>

#include <string>

#include "framework/handles.h"
#include "framework/registry.h"
#include "repair/key_names.h"

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace {

constexpr DWORD kNameSize = 260;   // characters, terminator included
constexpr DWORD kValueSize = 260;  // characters, terminator included
constexpr const wchar_t kTemplateEntry[] = L"Your Image File Name Here without a path";
constexpr const wchar_t kMachinePrefix[] = L"HKEY_LOCAL_MACHINE\\";

// The entry's Debugger value, read with the buffer's 520 bytes (a longer one is not read), always
// terminated.
bool ReadDebugger(HKEY entry, wchar_t (&debugger)[kValueSize + 1]) {
    DWORD size = kValueSize * sizeof(wchar_t);
    return ::RegQueryValueExW(entry, L"Debugger", nullptr, nullptr, reinterpret_cast<BYTE*>(debugger), &size) ==
           ERROR_SUCCESS;
}

}  // namespace

DWORD ScanImageHijacks(DWORD* found, const HijackSink& sink, const HijackSink& nulNamed) {
    if (!sink) return kNoSink;
    DWORD unused = 0;
    if (!found) found = &unused;
    lark::ListedKey options;
    if (const LONG error = lark::OpenForListing(HKEY_LOCAL_MACHINE, kImageOptionsKey, KEY_READ, options)) {
        return static_cast<DWORD>(error);
    }
    DWORD delivered = 0;
    LONG result = ERROR_SUCCESS;
    for (DWORD index = 0; index < options.subkeys; ++index) {
        wchar_t name[kNameSize] = {};
        DWORD nameLength = kNameSize;
        result = ::RegEnumKeyExW(options.key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) break;
        wchar_t debugger[kValueSize + 1] = {};  // one more than the read may fill: always terminated

        // Opened by its exact name, and shown marked: the text before the NUL names another key.
        if (lark::NameHoldsNul(name, nameLength)) {
            lark::UniqueRegKey entry;
            if (!nulNamed ||
                lark::OpenExactSubkey(options.key.get(), {name, nameLength}, KEY_READ, entry) != ERROR_SUCCESS ||
                !ReadDebugger(entry.get(), debugger)) {
                continue;
            }
            ++delivered;
            const std::wstring keyPath = kMachinePrefix + (kImageOptionsKey + MarkedKeyName(name));
            nulNamed(MarkedKeyName(name).c_str(), debugger, keyPath.c_str());
            continue;
        }
        if (::StrCmpIW(name, kTemplateEntry) == 0) continue;

        // Key names reach 255 characters, so the paths are held whole rather than in 260.
        const std::wstring entryPath = std::wstring(kImageOptionsKey) + name;
        lark::UniqueRegKey entry;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, entryPath.c_str(), 0, KEY_READ, entry.put()) != ERROR_SUCCESS) {
            continue;
        }
        if (ReadDebugger(entry.get(), debugger)) {
            ++delivered;
            const std::wstring keyPath = kMachinePrefix + entryPath;
            sink(name, debugger, keyPath.c_str());
        }
    }
    *found = delivered;
    return static_cast<DWORD>(result);
}

namespace {

// The key itself is opened, not what a link points to, so a planted link is removed as a link.
LONG DeleteTree(HKEY root, const std::wstring& path) {
    lark::UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (opened != ERROR_SUCCESS) return opened;
    std::wstring previous;
    for (;;) {
        wchar_t name[kNameSize] = {};
        DWORD nameLength = kNameSize;
        if (::RegEnumKeyExW(key.get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        // A name with a NUL inside cannot be opened by its path, and a child that is still first after
        // its deletion "succeeded" would be tried for ever: both leave the key in place.
        if (lark::NameHoldsNul(name, nameLength) || previous == name) break;
        previous = name;
        std::wstring child = path;
        if (child.empty() || child.back() != L'\\') child += L'\\';
        child += name;
        if (DeleteTree(root, child) != ERROR_SUCCESS) break;
    }
    const NTSTATUS status = NtDeleteKey(key.get());
    if (status == 0) return ERROR_SUCCESS;
    // For instance a key whose subkeys could not all be deleted.
    return static_cast<LONG>(::RtlNtStatusToDosError(status));
}

}  // namespace

// An empty path would name the root itself and take everything below it: refused.
LONG DeleteRegistryTree(HKEY root, const wchar_t* path) {
    if (!path || !*path) return ERROR_INVALID_PARAMETER;
    return DeleteTree(root, path);
}
