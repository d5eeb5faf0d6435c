// Indirect strings as the add-ons and firewall pages find them: "@module,-number".
#include <gtest/gtest.h>

#include <string>

#include "repair/indirect_string.h"

namespace {

struct Case {
    const wchar_t* text;
    bool indirect;
    const wchar_t* module;
    long number;
};

TEST(IndirectString, ModuleBeforeTheFirstCommaNumberTwoCharactersAfterIt) {
    const Case cases[] = {
        {L"@shell32.dll,-1234", true, L"shell32.dll", 1234},
        {L"@C:\\Tools\\ext.dll,-1000", true, L"C:\\Tools\\ext.dll", 1000},
        {L"@a.dll,-12,-34", true, L"a.dll", 12},            // the first comma counts
        {L"@a.dll,+5", true, L"a.dll", 5},                   // whatever stands after the comma is skipped
        {L"@a.dll,12", true, L"a.dll", 2},
        {L"@a.dll,--5", true, L"a.dll", -5},                 // a sign after the skipped one is wcstol's
        {L"@a.dll,- 42", true, L"a.dll", 42},                // blanks first, as wcstol skips them
        {L"@a.dll,-1234567890123", true, L"a.dll", 123456789},  // at most nine characters
        {L"@a.dll,-        12", true, L"a.dll", 1},             // the blanks count among the nine
        {L"@a.dll,-12ab", true, L"a.dll", 12},
        {L"@a.dll,-abc", true, L"a.dll", 0},
        {L"@a.dll,-", true, L"a.dll", 0},                    // nothing after the sign
        {L"@a.dll,", true, L"a.dll", 0},                     // the text ends at the comma
        {L"@,-7", true, L"", 7},
        {L"@no comma", false, L"", 0},
        {L"plain,-12", false, L"", 0},
        {L"", false, L"", 0},
        {L" @a.dll,-1", false, L"", 0},
    };
    for (const auto& c : cases) {
        const auto ref = ParseIndirectString(c.text);
        ASSERT_EQ(ref.has_value(), c.indirect) << testing::PrintToString(std::wstring(c.text));
        if (!ref) continue;
        EXPECT_EQ(ref->module, c.module) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(ref->number, c.number) << testing::PrintToString(std::wstring(c.text));
    }
}

// A view that is not terminated where it ends: nothing past it is read.
TEST(IndirectString, ReadsNothingPastTheGivenText) {
    const std::wstring storage = L"@a.dll,-12345";
    EXPECT_EQ(ParseIndirectString(std::wstring_view(storage).substr(0, 10))->number, 12);
    EXPECT_EQ(ParseIndirectString(std::wstring_view(storage).substr(0, 7))->number, 0);
}

}  // namespace
