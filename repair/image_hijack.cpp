#include "repair/image_hijack.h"

#include <cwchar>

#include <shlwapi.h>
#include <winternl.h>

#include <string>

#include "backup/registry_backup.h"
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
// `view` is added to the access of every open: none, or the flag of a registry view.
LONG DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
    lark::UniqueRegKey key;
    const LONG opened = ::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE | view, key.put());
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
        if (DeleteTree(root, child, view) != ERROR_SUCCESS) break;
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
    return DeleteTree(root, path, 0);
}

LONG DeleteRegistryTree(HKEY root, const wchar_t* path, lark::RegistryView view) {
    if (!path || !*path) return ERROR_INVALID_PARAMETER;
    return DeleteTree(root, path, lark::ViewAccess(view));
}

namespace {

// One backup of all the keys, then their deletes. 0, or the backup's error and nothing deleted.
DWORD BackUpAndDelete(const std::vector<std::wstring>& keys) {
    const std::wstring& first = keys.front();
    std::wstring what = L"映像劫持 " + first.substr(first.find_last_of(L'\\') + 1);
    if (keys.size() > 1) what += L" 等" + std::to_wstring(keys.size()) + L"项";
    lark::backup::RegistryBackup backup(what);
    for (const std::wstring& key : keys) backup.Tree(HKEY_LOCAL_MACHINE, key.c_str());
    if (const DWORD error = backup.Save()) return error;
    // A key without subkeys goes through the handle its backup was read from: the key written is the
    // key deleted. Any other (or one that has changed since) is deleted by its path.
    for (std::size_t i = 0; i < keys.size(); ++i) {
        lark::UniqueRegKey& opened = backup.Trees()[i];
        if (opened && NtDeleteKey(opened.get()) == 0) continue;
        opened.reset();
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, keys[i].c_str());
    }
    return 0;
}

}  // namespace

DWORD DeleteImageHijacks(const std::vector<std::wstring>& keyPaths) {
    if (keyPaths.empty()) return 0;
    std::vector<std::wstring> keys;
    for (const std::wstring& keyPath : keyPaths) {
        const std::size_t backslash = keyPath.find(L'\\');
        keys.push_back(backslash == std::wstring::npos ? keyPath : keyPath.substr(backslash + 1));
    }
    const DWORD error = BackUpAndDelete(keys);
    if (error == 0 || keys.size() == 1) return error;
    // One key that cannot be kept (a name no .reg file can hold) must not keep the others: each on
    // its own then, and only the ones whose backup fails stay.
    DWORD first = 0;
    for (const std::wstring& key : keys) {
        const DWORD result = BackUpAndDelete({key});
        if (!first) first = result;
    }
    return first;
}
