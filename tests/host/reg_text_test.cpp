// The .reg text of a backup: its exact form, and that the importer reads every name and every
// value back to the same bytes, awkward ones included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup/reg_text.h"
#include "tests/host/reg_import.h"

namespace {

using lark::backup::FormatRegText;
using lark::backup::RegEntry;
using lark::backup::RegFileBytes;
using lark::backup::RegSection;
using Bytes = std::vector<std::uint8_t>;

Bytes Utf16(std::u16string_view text, bool terminated = true) {
    Bytes bytes;
    for (const char16_t c : text) bytes.push_back(c & 0xFF), bytes.push_back(c >> 8);
    if (terminated) bytes.push_back(0), bytes.push_back(0);
    return bytes;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

TEST(RegText, HasTheRegistryEditorsExportForm) {
    Bytes longBinary;
    for (int i = 0; i < 60; ++i) longBinary.push_back(static_cast<std::uint8_t>(i));
    const std::vector<RegSection> sections = {
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Old", true, {}},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Old",
         false,
         {
             {u"", false, 1, Utf16(u"C:\\x.exe \"%1\"")},
             {u"q\"uote\\", false, 4, {0x2a, 0, 0, 0}},
             {u"long", false, 3, longBinary},
             {u"exp", false, 2, Utf16(u"%A%")},
             {u"gone", true, 0, {}},
             {u"", true, 0, {}},
         }},
    };
    const auto text = FormatRegText(sections);
    ASSERT_TRUE(text);
    EXPECT_EQ(Narrow(*text),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
              "@=\"C:\\\\x.exe \\\"%1\\\"\"\r\n"
              "\"q\\\"uote\\\\\"=dword:0000002a\r\n"
              "\"long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
              "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
              "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b\r\n"
              "\"exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
              "\"gone\"=-\r\n"
              "@=-\r\n"
              "\r\n");
    const auto bytes = RegFileBytes(u"A中");
    EXPECT_EQ(bytes, (std::vector<std::byte>{std::byte{0xFF}, std::byte{0xFE}, std::byte{0x41}, std::byte{0},
                                            std::byte{0x2D}, std::byte{0x4E}}));
}

TEST(RegText, EveryNameAndValueReadsBackToTheSameBytes) {
    struct Case {
        const char* what;
        std::u16string name;
        std::uint32_t type;
        Bytes data;
    };
    const Case cases[] = {
        {"plain string", u"Debugger", 1, Utf16(u"C:\\tools\\procexp.exe")},
        {"quotes and backslashes", u"\"a\\b\"", 1, Utf16(u"\\\\\"\"\\")},
        {"brackets, equals, at, semicolon", u"]x[=@;", 1, Utf16(u"[a]=b;c")},
        {"a value named @", u"@", 1, Utf16(u"at")},
        {"tab in name", u"a\tb", 1, Utf16(u"c\td")},
        {"Chinese and an emoji", u"名称\U0001F600", 1, Utf16(u"值\U0001F600")},
        {"string with a line break", u"nl", 1, Utf16(u"a\r\nb")},
        {"string without terminator", u"noterm", 1, Utf16(u"ab", false)},
        {"string of odd size", u"odd", 1, {0x41, 0x00, 0x42}},
        {"string with a NUL inside", u"nul", 1, Utf16(std::u16string(u"a\0b", 3))},
        {"empty data string", u"empty", 1, {}},
        {"empty string", u"emptys", 1, Utf16(u"")},
        {"lone surrogate", u"lone", 1, Utf16(u"a\xD800z")},
        {"control character", u"ctl", 1, Utf16(u"a\x01z")},
        {"expandable", u"exp", 2, Utf16(u"%SystemRoot%\\x")},
        {"multi-string", u"multi", 7, Bytes{0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}},
        {"dword", u"d", 4, {1, 2, 3, 4}},
        {"dword of three bytes", u"d3", 4, {1, 2, 3}},
        {"qword", u"q", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"none, empty", u"", 0, {}},
        {"binary, long", u"bin", 3, Bytes(1000, 0xAB)},
        {"made-up type", u"made", 0x1234abcd, {0xde, 0xad}},
        {"largest type", u"max", 0xffffffff, {0}},
        {"big-endian dword", u"be", 5, {0, 0, 0, 1}},
    };
    const std::u16string paths[] = {
        u"HKEY_CURRENT_USER\\Software\\T",
        u"HKEY_CURRENT_USER\\Software\\T\\a]b",
        u"HKEY_CURRENT_USER\\Software\\T\\[x;y]",
        u"HKEY_CURRENT_USER\\Software\\T\\ lead and trail ",
        u"HKEY_CURRENT_USER\\Software\\T\\-dash",
        u"HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}\\名\"\\@",
    };
    for (const auto& path : paths) {
        RegSection section{path, false, {}};
        for (const Case& c : cases) section.entries.push_back({c.name, false, c.type, c.data});
        const auto text = FormatRegText({section});
        ASSERT_TRUE(text) << Narrow(path);
        std::string error;
        const auto imported = test::Import(RegFileBytes(*text), {}, &error);
        ASSERT_TRUE(imported) << Narrow(path) << ": " << error;
        const auto key = imported->find(test::Folded(path));
        ASSERT_NE(key, imported->end()) << Narrow(path);
        for (const Case& c : cases) {
            const auto value = key->second.values.find(test::Folded(c.name));
            ASSERT_NE(value, key->second.values.end()) << c.what;
            EXPECT_EQ(value->second.name, c.name) << c.what;
            EXPECT_EQ(value->second.type, c.type) << c.what;
            EXPECT_EQ(value->second.data, c.data) << c.what;
        }
        EXPECT_EQ(key->second.values.size(), std::size(cases));
    }
}

// An import of the backup puts back what was there: the key deleted first, then written whole;
// values that were not there deleted again.
TEST(RegText, ImportingDeletionsPutsTheOldStateBack) {
    test::Registry before;
    test::Apply(before, {u"HKEY_LOCAL_MACHINE\\S\\IFEO\\a.exe", false, {{u"Debugger", false, 1, Utf16(u"evil.exe")}}});
    test::Apply(before, {u"HKEY_LOCAL_MACHINE\\S\\IFEO\\a.exe\\sub", false, {{u"x", false, 4, {1, 0, 0, 0}}}});
    test::Apply(before, {u"HKEY_CURRENT_USER\\P", false, {{u"Keep", false, 4, {0, 0, 0, 0}}}});

    const std::vector<RegSection> backup = {
        {u"HKEY_LOCAL_MACHINE\\S\\IFEO\\a.exe", true, {}},
        {u"HKEY_LOCAL_MACHINE\\S\\IFEO\\a.exe", false, {{u"Debugger", false, 1, Utf16(u"evil.exe")}}},
        {u"HKEY_LOCAL_MACHINE\\S\\IFEO\\a.exe\\sub", false, {{u"x", false, 4, {1, 0, 0, 0}}}},
        {u"HKEY_CURRENT_USER\\P", false, {{u"DisableTaskmgr", true, 0, {}}}},
        {u"HKEY_CURRENT_USER\\New", true, {}},
    };
    // What the changes made of it: the hijack gone, a policy value and a key added.
    test::Registry after = before;
    test::Apply(after, {u"HKEY_LOCAL_MACHINE\\S\\IFEO\\a.exe", true, {}});
    test::Apply(after, {u"HKEY_CURRENT_USER\\P", false, {{u"DisableTaskmgr", false, 4, {1, 0, 0, 0}}}});
    test::Apply(after, {u"HKEY_CURRENT_USER\\New\\Deep", false, {{u"Flags", false, 4, {1, 0, 0, 0}}}});
    ASSERT_NE(after, before);

    const auto text = FormatRegText(backup);
    ASSERT_TRUE(text);
    std::string error;
    const auto restored = test::Import(RegFileBytes(*text), after, &error);
    ASSERT_TRUE(restored) << error;
    // HKEY_CURRENT_USER itself stays, as a root does.
    test::Registry expected = before;
    test::Apply(expected, {u"HKEY_CURRENT_USER", false, {}});
    EXPECT_EQ(*restored, expected);
}

TEST(RegText, NamesWithALineBreakOrANulCannotBeWritten) {
    const std::u16string bad[] = {u"a\nb", u"a\rb", std::u16string(u"a\0b", 3), std::u16string(1, u'\0')};
    for (const auto& name : bad) {
        EXPECT_FALSE(lark::backup::IsRepresentable(name));
        EXPECT_FALSE(FormatRegText({{u"HKEY_CURRENT_USER\\T", false, {{name, false, 1, Utf16(u"x")}}}}));
        EXPECT_FALSE(FormatRegText({{u"HKEY_CURRENT_USER\\T\\" + name, false, {}}}));
        EXPECT_FALSE(FormatRegText({{u"HKEY_CURRENT_USER\\T", false, {{name, true, 0, {}}}}}));
    }
    EXPECT_TRUE(lark::backup::IsRepresentable(u"a\tb\"]\\"));
    // A deletion carries no values; an empty path names nothing.
    EXPECT_FALSE(FormatRegText({{u"HKEY_CURRENT_USER\\T", true, {{u"x", true, 0, {}}}}}));
    EXPECT_FALSE(FormatRegText({{u"", false, {}}}));
}

}  // namespace
