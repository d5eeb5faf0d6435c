// The update description read in memory by the rules of the profile functions.
#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/description/cases.h"
#include "updater/update_description.h"

namespace {

using tolvane::DecodeLatin1;
using tolvane::UpdateDescription;

TEST(UpdateDescription, ReadsAsTheProfileFunctionsRead) {
    for (const auto& c : description_cases::Cases()) {
        SCOPED_TRACE(c.label);
        const UpdateDescription description = UpdateDescription::Parse(c.bytes, DecodeLatin1);
        if (c.room > 0) {
            EXPECT_EQ(description.String(c.section, c.key, c.room), c.text);
        } else {
            EXPECT_EQ(description.Number(c.section, c.key), c.number);
        }
    }
}

TEST(UpdateDescription, RoomCutsTheValue) {
    const UpdateDescription description = UpdateDescription::Parse("[S]\nk=abcdef\n", DecodeLatin1);
    EXPECT_EQ(description.String(L"S", L"k", 0), L"");
    EXPECT_EQ(description.String(L"S", L"k", 1), L"");
    EXPECT_EQ(description.String(L"S", L"k", 4), L"abc");
    EXPECT_EQ(description.String(L"S", L"k", 7), L"abcdef");
}

TEST(UpdateDescription, TextWithoutAMarkGoesThroughTheDecoder) {
    static std::string seen;
    const tolvane::AnsiDecoder recording = [](std::string_view bytes) {
        seen.assign(bytes);
        return std::wstring(L"[S]\nk=decoded\n");
    };
    EXPECT_EQ(UpdateDescription::Parse("raw", recording).String(L"S", L"k", 200), L"decoded");
    EXPECT_EQ(seen, "raw");
    // With a mark, the decoder is not asked.
    seen.clear();
    EXPECT_EQ(UpdateDescription::Parse("\xEF\xBB\xBF[S]\nk=utf8\n", recording).String(L"S", L"k", 200), L"utf8");
    EXPECT_EQ(seen, "");
}

TEST(UpdateDescription, IllFormedUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string value;
        std::wstring text;
    } const cases[] = {
        {"a\xC3", L"a\xFFFD"},                       // cut before its last byte
        {"\xC0\xAF", L"\xFFFD\xFFFD"},                // overlong
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},      // a surrogate
        {"\xE6\x9C", L"\xFFFD"},                      // cut in a three-byte sequence
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},        // beyond the first plane: a surrogate pair
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},  // beyond U+10FFFF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.value));
        const auto description = UpdateDescription::Parse("\xEF\xBB\xBF[S]\nk=" + c.value + "\n", DecodeLatin1);
        EXPECT_EQ(description.String(L"S", L"k", 200), c.text);
    }
}

}  // namespace
