#include "repair/firewall_policy.h"

#include <shlwapi.h>

#include <string>
#include <string_view>

#include "backup/registry_backup.h"
#include "framework/handles.h"
#include "framework/registry.h"
#include "repair/firewall_entry.h"
#include "repair/ie_loader.h"

namespace {

constexpr DWORD kNameChars = 1024;  // value names, terminator included
constexpr DWORD kDataChars = 1024;  // value data

constexpr const wchar_t* kTypeTexts[kFirewallListCount] = {L"DomainApp", L"DomainPort", L"StandardApp",
                                                           L"StandardPort"};

bool KnownType(int type) { return type >= 0 && type < kFirewallListCount; }

// Data as read (size in bytes, no terminator needed) to the sink.
void Deliver(int type, const wchar_t* data, DWORD size, const FirewallSink& sink) {
    const FirewallEntryFields entry = SplitFirewallEntry(std::wstring_view(data, size / sizeof(wchar_t)));
    const std::wstring name = ResolveIndirectString(entry.name.c_str());
    sink(name.c_str(), entry.state.c_str(), type, entry.scope.c_str(), entry.path.c_str());
}

}  // namespace

const wchar_t* FirewallTypeText(int type) { return KnownType(type) ? kTypeTexts[type] : L"-----"; }

int FirewallTypeCode(const wchar_t* text) {
    for (int type = 0; type < kFirewallListCount; ++type) {
        if (text && ::StrCmpIW(text, kTypeTexts[type]) == 0) return type;
    }
    return -1;
}

DWORD EnumerateFirewallList(int type, const wchar_t* keyPath, const FirewallSink& sink) {
    if (!sink) return kNoSink;
    lark::ListedKey list;
    if (const LONG error = lark::OpenForListing(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE, list)) {
        return static_cast<DWORD>(error);
    }
    for (DWORD index = 0; index < list.values; ++index) {
        wchar_t name[kNameChars];
        DWORD nameLength = kNameChars;
        wchar_t data[kDataChars];
        DWORD size = sizeof(data);
        if (::RegEnumValueW(list.key.get(), index, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                            &size) != ERROR_SUCCESS) {
            continue;
        }
        Deliver(type, data, size, sink);
    }
    return ERROR_SUCCESS;
}

DWORD ReadFirewallEntry(int type, const wchar_t* valueName, const FirewallSink& sink) {
    if (!sink) return kNoSink;
    if (!KnownType(type) || !valueName) return ERROR_INVALID_PARAMETER;
    lark::UniqueRegKey list;
    LONG error = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirewallListKeys[type], 0, KEY_QUERY_VALUE, list.put());
    if (error != ERROR_SUCCESS) return static_cast<DWORD>(error);
    wchar_t data[kDataChars];
    DWORD size = sizeof(data);
    error = ::RegQueryValueExW(list.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    if (error != ERROR_SUCCESS) return static_cast<DWORD>(error);
    Deliver(type, data, size, sink);
    return ERROR_SUCCESS;
}

int DeleteFirewallEntry(const wchar_t* valueName, int type) {
    if (!KnownType(type) || !valueName) return 0;  // no name would be the key's default value
    lark::UniqueRegKey list;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirewallListKeys[type], 0, KEY_SET_VALUE, list.put()) != ERROR_SUCCESS) {
        return 0;
    }
    lark::backup::RegistryBackup backup(std::wstring(L"防火墙规则 ") + valueName);
    if (backup.Value(HKEY_LOCAL_MACHINE, kFirewallListKeys[type], valueName).Save() != 0) return 0;
    return ::RegDeleteValueW(list.get(), valueName) == ERROR_SUCCESS ? 1 : 0;
}
