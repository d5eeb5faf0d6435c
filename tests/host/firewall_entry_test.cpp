// Firewall list entries as the registry holds them: "path:scope:state:name", split from the right.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "repair/firewall_entry.h"

namespace {

struct Case {
    std::wstring data;
    std::wstring path, scope, state, name;
};

std::wstring Cut(std::wstring text, std::size_t capacity) { return text.substr(0, capacity - 1); }

TEST(FirewallEntry, FieldsAreTheLastThreeColonsFromTheRight) {
    const std::wstring longName(300, L'n'), longPath = L"C:\\" + std::wstring(300, L'p');
    const Case cases[] = {
        {L"C:\\Tools\\app.exe:*:Enabled:Tool", L"C:\\Tools\\app.exe", L"*", L"Enabled", L"Tool"},
        {L"8080:TCP:*:Enabled:Web", L"8080:TCP", L"*", L"Enabled", L"Web"},
        {L"\\\\?\\C:\\a:b.exe:LocalSubNet:Disabled:x", L"\\\\?\\C:\\a:b.exe", L"LocalSubNet", L"Disabled", L"x"},
        {L"C:\\a.exe:10.0.0.0/255.0.0.0,LocalSubNet:Enabled:@x.dll,-101", L"C:\\a.exe",
         L"10.0.0.0/255.0.0.0,LocalSubNet", L"Enabled", L"@x.dll,-101"},
        // Only the path may hold colons: one in the name moves every field.
        {L"C:\\a.exe:*:Enabled:@C:\\x.dll,-101", L"C:\\a.exe:*", L"Enabled", L"@C", L"\\x.dll,-101"},
        // Empty fields are fields: two colons side by side end one and start the next.
        {L"C:\\a.exe:*::Tool", L"C:\\a.exe", L"*", L"", L"Tool"},
        {L"C:\\a.exe::Enabled:Tool", L"C:\\a.exe", L"", L"Enabled", L"Tool"},
        {L"C:\\a.exe:*:Enabled:", L"C:\\a.exe", L"*", L"Enabled", L""},
        {L":::", L"", L"", L"", L""},
        {L"::::", L":", L"", L"", L""},
        // Fewer than three colons: the whole data is the path, so the entry is shown and found as itself.
        {L"", L"", L"", L"", L""},
        {L"C", L"C", L"", L"", L""},
        {L"C:\\a.exe", L"C:\\a.exe", L"", L"", L""},
        {L"a:Enabled:Tool", L"a:Enabled:Tool", L"", L"", L""},
        {L":", L":", L"", L"", L""},
        {L"::", L"::", L"", L"", L""},
        {L"C:\\" + std::wstring(300, L'p'), Cut(L"C:\\" + std::wstring(300, L'p'), 260), L"", L"", L""},
        {std::wstring(L"C:\\a.exe\0:x:y", 13), L"C:\\a.exe", L"", L"", L""},
        // The data ends at its first NUL.
        {std::wstring(L"C:\\a.exe:*:Enabled:Tool\0:x:y:z", 31), L"C:\\a.exe", L"*", L"Enabled", L"Tool"},
        {std::wstring(L"\0a:b:c:d", 8), L"", L"", L"", L""},
        // Fields longer than their buffers are cut to them.
        {L"C:\\a.exe:*:EnabledEnabled123:Tool", L"C:\\a.exe", L"*", L"EnabledEnabled1", L"Tool"},
        {L"C:\\a.exe:*:EnabledEnabled12:Tool", L"C:\\a.exe", L"*", L"EnabledEnabled1", L"Tool"},
        {L"C:\\a.exe:*:EnabledEnabled1:Tool", L"C:\\a.exe", L"*", L"EnabledEnabled1", L"Tool"},
        {longPath + L":" + longName + L":Enabled:" + longName, Cut(longPath, 260), Cut(longName, 260), L"Enabled",
         Cut(longName, 260)},
        {std::wstring(259, L'p') + L":" + std::wstring(259, L's') + L":e:" + std::wstring(259, L'n'),
         std::wstring(259, L'p'), std::wstring(259, L's'), L"e", std::wstring(259, L'n')},
    };
    for (const Case& c : cases) {
        const FirewallEntryFields entry = SplitFirewallEntry(c.data);
        const std::string label = testing::PrintToString(c.data.substr(0, 60));
        EXPECT_EQ(entry.path, c.path) << label;
        EXPECT_EQ(entry.scope, c.scope) << label;
        EXPECT_EQ(entry.state, c.state) << label;
        EXPECT_EQ(entry.name, c.name) << label;
    }
}

// Data read into a full buffer has no terminator: the view's end is the data's end.
TEST(FirewallEntry, ReadsNothingPastTheGivenData) {
    const std::wstring storage = L"C:\\a.exe:*:Enabled:Tool:more:and more";
    const FirewallEntryFields entry = SplitFirewallEntry(std::wstring_view(storage).substr(0, 23));
    EXPECT_EQ(entry.path, L"C:\\a.exe");
    EXPECT_EQ(entry.name, L"Tool");
    EXPECT_EQ(SplitFirewallEntry(std::wstring_view(storage).substr(0, 1)).path, L"C");
    EXPECT_EQ(SplitFirewallEntry(std::wstring_view()).path, L"");
}

}  // namespace
