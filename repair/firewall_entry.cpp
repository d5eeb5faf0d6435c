#include "repair/firewall_entry.h"

namespace {

std::wstring Clip(std::wstring_view field, std::size_t capacity) {
    return std::wstring(field.substr(0, capacity - 1));
}

}  // namespace

FirewallEntryFields SplitFirewallEntry(std::wstring_view data) {
    data = data.substr(0, data.find(L'\0'));
    // Right to left: name, state, scope; what is left of the third colon is the path. Without
    // three colons the whole data is the path.
    std::wstring_view fields[3];
    std::wstring_view rest = data;
    for (std::wstring_view& field : fields) {
        const std::size_t colon = rest.rfind(L':');
        if (colon == std::wstring_view::npos) {
            fields[0] = fields[1] = fields[2] = {};
            rest = data;
            break;
        }
        field = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
    }
    FirewallEntryFields entry;
    entry.name = Clip(fields[0], kFirewallNameChars);
    entry.state = Clip(fields[1], kFirewallStateChars);
    entry.scope = Clip(fields[2], kFirewallScopeChars);
    entry.path = Clip(rest, kFirewallPathChars);
    return entry;
}
