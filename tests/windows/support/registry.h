// Registry fixtures for tests: every test works in keys of its own and removes them afterwards.
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
               DWORD type = REG_SZ);
LONG SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
LONG SetBinary(HKEY root, const std::wstring& path, const wchar_t* name, const void* data, DWORD size,
               DWORD type = REG_BINARY);
LONG CreateKey(HKEY root, const std::wstring& path);
// Reads a value; nothing when the key or the value is missing.
std::optional<RegValue> GetValue(HKEY root, const std::wstring& path, const wchar_t* name);
bool KeyExists(HKEY root, const std::wstring& path);
// Deletes the key with everything below it; a missing key is fine.
void DeleteTree(HKEY root, const std::wstring& path);
// Names of the direct subkeys, sorted.
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path);

// Every key below root\path (that key included) with its values, one line per key and per value
// ("key" / "key|name|type|data in hex"), sorted. Registry links are listed as keys, not followed.
// Two snapshots are equal exactly when nothing below the key changed.
std::vector<std::wstring> RegistrySnapshot(HKEY root, const std::wstring& path = L"");

// Deletes the listed keys when created and again when destroyed.
class ScopedKeys {
public:
    ScopedKeys(HKEY root, std::vector<std::wstring> paths);
    ~ScopedKeys();
    ScopedKeys(const ScopedKeys&) = delete;
    ScopedKeys& operator=(const ScopedKeys&) = delete;

private:
    HKEY root_;
    std::vector<std::wstring> paths_;
};

}  // namespace test
