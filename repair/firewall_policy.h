// The firewall's exception lists (programs allowed through and ports held open, for the domain and
// the standard profile): their listing and the deletion of one entry.
#pragma once

#include <windows.h>

#include <functional>

#include "repair/results.h"

// The lists below HKEY_LOCAL_MACHINE in listing order; a list's index is its type code.
inline constexpr int kFirewallListCount = 4;
inline constexpr const wchar_t* kFirewallListKeys[kFirewallListCount] = {
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\DomainProfile\\"
    L"AuthorizedApplications\\List",
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\DomainProfile\\"
    L"GloballyOpenPorts\\List",
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"GloballyOpenPorts\\List",
};

// Receives one entry: its display name (an indirect one resolved), state, the type code of its
// list, scope and path (or port and protocol). The texts are valid during the call only.
using FirewallSink = std::function<void(const wchar_t* name, const wchar_t* state, int type, const wchar_t* scope,
                                        const wchar_t* path)>;

// "DomainApp", "DomainPort", "StandardApp", "StandardPort"; "-----" for any other code.
const wchar_t* FirewallTypeText(int type);
// The type code of one of those texts, compared ignoring case; -1 for any other text.
int FirewallTypeCode(const wchar_t* text);

// Hands every value of HKEY_LOCAL_MACHINE\keyPath to the sink, as `type`, in enumeration order.
// Each is read into a name buffer of 1024 characters and a data buffer of 1024 (the type is not
// looked at); a value that does not fit or cannot be read is skipped. Its data is split as
// SplitFirewallEntry does. 0 on success; 0xB0000001 for an empty sink; otherwise the Windows
// error of opening or counting the key (nothing handed over then).
DWORD EnumerateFirewallList(int type, const wchar_t* keyPath, const FirewallSink& sink);

// The one value `valueName` of the list `type`, read and handed to the sink as the listing would.
// 0 when it was handed over; 0xB0000001 for an empty sink; ERROR_INVALID_PARAMETER for a type
// outside 0 to 3 or no name; otherwise the Windows error of opening the key or reading the value.
DWORD ReadFirewallEntry(int type, const wchar_t* valueName, const FirewallSink& sink);

// Deletes the value `valueName` from the list `type` (0 to 3), after a backup of it ("防火墙规则
// <name>"). 1 when it was deleted; 0 when the type is unknown, no name is given, the key cannot be
// opened for writing, the backup cannot be written (nothing is deleted then) or there is no such
// value.
int DeleteFirewallEntry(const wchar_t* valueName, int type);
