// What Tolvane used to read through GetPrivateProfileStringW and GetPrivateProfileIntW from a file,
// and what it reads now from the same bytes in memory: the table of cases, measured on both.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/files.h"
#include "support/ui.h"
#include "tests/fixtures/description/cases.h"
#include "updater/ansi_text.h"
#include "updater/update_description.h"

namespace {

TEST(ProfileParity, TheParserReadsWhatTheProfileFunctionsRead) {
    int index = 0;
    for (const auto& c : description_cases::Cases()) {
        SCOPED_TRACE(c.label);
        // A file of its own per case: the profile functions keep what they read of a file.
        const std::wstring file = test::TempPath(L"update-" + std::to_wstring(index++) + L".ini");
        ASSERT_TRUE(test::WriteFileBytes(file, c.bytes));
        const auto parsed = tolvane::UpdateDescription::Parse(c.bytes, tolvane::DecodeAnsi);
        if (c.room > 0) {
            std::wstring buffer(c.room, L'#');
            const DWORD length = ::GetPrivateProfileStringW(c.section, c.key, L"", buffer.data(),
                                                            static_cast<DWORD>(c.room), file.c_str());
            const std::wstring system(buffer.data(), length);
            EXPECT_EQ(parsed.String(c.section, c.key, c.room), c.text);
            if (c.wineDiffers) {
                // Wine drops the closing quote and the character before it when the quoted text
                // fills the room exactly; the parser keeps every character that fits.
                EXPECT_EQ(system, c.text.substr(0, c.text.size() - 1));
            } else {
                EXPECT_EQ(system, c.text);
            }
        } else {
            const UINT system = ::GetPrivateProfileIntW(c.section, c.key, 0, file.c_str());
            EXPECT_EQ(system, c.number);
            EXPECT_EQ(parsed.Number(c.section, c.key), c.number);
        }
    }
}

}  // namespace
