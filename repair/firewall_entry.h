// One entry of the firewall's exception lists, "path:scope:state:name", taken apart into its
// fields. Pure text work: no Windows header, built in both presets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Field buffers in characters, terminator included: a longer field is cut to one less.
inline constexpr std::size_t kFirewallNameChars = 260;
inline constexpr std::size_t kFirewallStateChars = 16;
inline constexpr std::size_t kFirewallScopeChars = 260;
inline constexpr std::size_t kFirewallPathChars = 260;

struct FirewallEntryFields {
    std::wstring path;   // program path, or port and protocol ("80:TCP")
    std::wstring scope;
    std::wstring state;
    std::wstring name;   // display name, possibly indirect ("@module,-number")
};

// The fields are found from the right, at the last three colons, so the path may hold colons of
// its own (a drive, a port with its protocol); a field may be empty. The data ends at its first
// NUL or where the view ends. With fewer than three colons the data is no such entry: the whole
// of it is the path ("C:\a.exe" stays one path, so the entry can be found and deleted by it) and
// name, state and scope are empty. Fields are cut to their buffers.
FirewallEntryFields SplitFirewallEntry(std::wstring_view data);
