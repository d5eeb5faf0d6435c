// Registry keys that the Win32 registry calls cannot make or address: names with a NUL inside.
#pragma once

#include <windows.h>

#include <string>

namespace test {

// Creates a subkey of the parent whose name is exactly these units, NULs included. The open key
// (the only way to reach it again; the caller closes it), or nullptr when it cannot be made.
HKEY CreateKeyWithRawName(HKEY parent, std::wstring name);
// Deletes the key behind an open handle; 0 or the NTSTATUS. The handle stays open.
LONG DeleteOpenKey(HKEY key);

// A key with a raw name below root\parentPath (created if missing), made for a test and deleted
// through its handle when the object goes (it must have no subkeys of its own by then).
class RawNamedKey {
public:
    RawNamedKey(HKEY root, const std::wstring& parentPath, std::wstring name);
    ~RawNamedKey();
    RawNamedKey(const RawNamedKey&) = delete;
    RawNamedKey& operator=(const RawNamedKey&) = delete;
    HKEY get() const { return key_; }  // nullptr when it could not be made
    // Sets a string value in the key; the Windows error.
    LONG SetString(const wchar_t* name, const std::wstring& value) const;
    LONG SetBinary(const wchar_t* name, const void* data, DWORD size) const;

private:
    HKEY key_ = nullptr;
};

}  // namespace test
