#include "support/raw_registry.h"

#include <winternl.h>

namespace test {

namespace {

template <class Function>
Function NtFunction(const char* name) {
    return reinterpret_cast<Function>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name));
}

}  // namespace

HKEY CreateKeyWithRawName(HKEY parent, std::wstring name) {
    using Create = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, ULONG, UNICODE_STRING*, ULONG, ULONG*);
    const auto create = NtFunction<Create>("NtCreateKey");
    const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    UNICODE_STRING text{bytes, bytes, name.data()};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof(attributes);
    attributes.RootDirectory = parent;
    attributes.ObjectName = &text;
    HANDLE key = nullptr;
    if (!create || create(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr) != 0) return nullptr;
    return static_cast<HKEY>(key);
}

LONG DeleteOpenKey(HKEY key) {
    const auto remove = NtFunction<LONG(NTAPI*)(HANDLE)>("NtDeleteKey");
    return remove ? remove(key) : -1;
}

RawNamedKey::RawNamedKey(HKEY root, const std::wstring& parentPath, std::wstring name) {
    HKEY parent = nullptr;
    if (::RegCreateKeyExW(root, parentPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    key_ = CreateKeyWithRawName(parent, std::move(name));
    ::RegCloseKey(parent);
}

RawNamedKey::~RawNamedKey() {
    if (!key_) return;
    DeleteOpenKey(key_);
    ::RegCloseKey(key_);
}

LONG RawNamedKey::SetString(const wchar_t* name, const std::wstring& value) const {
    return ::RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG RawNamedKey::SetBinary(const wchar_t* name, const void* data, DWORD size) const {
    return ::RegSetValueExW(key_, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

}  // namespace test
