// Registry fixtures for tests: every test works in keys of its own and removes them afterwards.
// `view` is added to the access of every open: 0 for this program's own view, KEY_WOW64_32KEY for
// the keys of 32-bit programs (below Wow6432Node).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace test {

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::wstring Text() const;  // REG_SZ / REG_EXPAND_SZ data up to the first NUL
    DWORD Dword() const;
};

// Creates the key (and its parents) and sets one value. Returns the Windows error code.
LONG SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value,
               DWORD type = REG_SZ, REGSAM view = 0);
LONG SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value, REGSAM view = 0);
LONG SetBinary(HKEY root, const std::wstring& path, const wchar_t* name, const void* data, DWORD size,
               DWORD type = REG_BINARY, REGSAM view = 0);
LONG CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0);
// Reads a value; nothing when the key or the value is missing.
std::optional<RegValue> GetValue(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
// Deletes the key with everything below it; a missing key is fine.
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
// Names of the direct subkeys, sorted.
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path, REGSAM view = 0);

// Every key below root\path (that key included) with its values, one line per key and per value
// ("key" / "key|name|type|data in hex"), sorted. Registry links are listed as keys, not followed.
// Two snapshots are equal exactly when nothing below the key changed.
std::vector<std::wstring> RegistrySnapshot(HKEY root, const std::wstring& path = L"");

// Deletes the listed keys when created and again when destroyed.
class ScopedKeys {
public:
    ScopedKeys(HKEY root, std::vector<std::wstring> paths, REGSAM view = 0);
    ~ScopedKeys();
    ScopedKeys(const ScopedKeys&) = delete;
    ScopedKeys& operator=(const ScopedKeys&) = delete;

private:
    HKEY root_;
    std::vector<std::wstring> paths_;
    REGSAM view_;
};

}  // namespace test
