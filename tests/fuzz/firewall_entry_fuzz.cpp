// Any UTF-16 text, terminated or not, as the data of a firewall list entry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "repair/firewall_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the given units, in a buffer of their own, so that a read past them is caught.
    std::vector<wchar_t> text(size / sizeof(wchar_t));
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    const std::wstring_view view(text.data(), text.size());
    const FirewallEntryFields entry = SplitFirewallEntry(view);
    if (entry.path.size() >= kFirewallPathChars || entry.scope.size() >= kFirewallScopeChars ||
        entry.state.size() >= kFirewallStateChars || entry.name.size() >= kFirewallNameChars) {
        __builtin_trap();
    }
    // Nothing cut and three colons: the fields joined again are the data up to its first NUL.
    const std::wstring_view given = view.substr(0, view.find(L'\0'));
    const bool cut = entry.path.size() == kFirewallPathChars - 1 || entry.scope.size() == kFirewallScopeChars - 1 ||
                     entry.state.size() == kFirewallStateChars - 1 || entry.name.size() == kFirewallNameChars - 1;
    if (!cut && std::count(given.begin(), given.end(), L':') >= 3 &&
        entry.path + L':' + entry.scope + L':' + entry.state + L':' + entry.name != given) {
        __builtin_trap();
    }
    // Fewer than three colons: the data itself is the path (cut to its buffer), nothing else is set.
    if (std::count(given.begin(), given.end(), L':') < 3 &&
        (!entry.scope.empty() || !entry.state.empty() || !entry.name.empty() ||
         entry.path != given.substr(0, kFirewallPathChars - 1))) {
        __builtin_trap();
    }
    return 0;
}
