// The two forms of a report from one model: valid UTF-8 whatever the texts hold, JSON that a strict
// reader takes, one line per entry in the text, and both saying the same.
#include <gtest/gtest.h>

#include <string>

#include "../common/report_forms.h"
#include "../common/strict_json.h"
#include "report/report_format.h"

namespace {

using report::Column;
using report::Fact;
using report::Report;
using report::Section;

std::string Utf8(std::wstring_view text) {
    std::string out;
    report::AppendUtf8(out, text);
    return out;
}

std::string Json(std::wstring_view text) {
    std::string out;
    report::AppendJsonString(out, text);
    return out;
}

TEST(ReportFormat, Utf8MendsLoneSurrogatesOnly) {
    const struct {
        std::wstring text;
        std::string utf8;
    } cases[] = {
        {L"abc", "abc"},
        {L"映像劫持", "\xE6\x98\xA0\xE5\x83\x8F\xE5\x8A\xAB\xE6\x8C\x81"},
        {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},         // a pair
        {std::wstring{L'a', wchar_t(0xD800)}, "a\xEF\xBF\xBD"},                        // high at the end
        {std::wstring{wchar_t(0xDC00), L'b'}, "\xEF\xBF\xBD" "b"},                     // low alone
        {std::wstring{wchar_t(0xDC00), wchar_t(0xD800)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair
        {std::wstring{wchar_t(0xD800), wchar_t(0xD800), wchar_t(0xDC00)}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {std::wstring(1, L'\0'), std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8(c.text), c.utf8);
        EXPECT_TRUE(strict_json::IsValidUtf8(Utf8(c.text)));
    }
}

TEST(ReportFormat, JsonStringsEscapeControlsAndLineSeparators) {
    const struct {
        std::wstring text;
        std::string json;
    } cases[] = {
        {L"C:\\a \"b\"", R"("C:\\a \"b\"")"},
        {L"a\r\nb\tc\b\f", R"("a\r\nb\tc\b\f")"},
        {std::wstring{L'\0', wchar_t(1), wchar_t(0x1F), wchar_t(0x7F)}, "\"\\u0000\\u0001\\u001F\x7F\""},
        {std::wstring{wchar_t(0x2028), wchar_t(0x2029), wchar_t(0x85)}, "\"\\u2028\\u2029\xC2\x85\""},
        {std::wstring{wchar_t(0xDBFF)}, "\"\xEF\xBF\xBD\""},
        {L"/", "\"/\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Json(c.text), c.json);
        std::string error;
        const auto parsed = strict_json::Parse(Json(c.text), &error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->text, Utf8(c.text));
    }
}

TEST(ReportFormat, OneLineShowsControlsAsPicturesAndKeepsTabs) {
    EXPECT_EQ(report::OneLine(L"a\r\nb"), L"a\u240D\u240Ab");
    EXPECT_EQ(report::OneLine(std::wstring{L'x', L'\0', wchar_t(0x1B), wchar_t(0x7F)}), L"x\u2400\u241B\u2421");
    EXPECT_EQ(report::OneLine(L"127.0.0.1\tlocalhost"), L"127.0.0.1\tlocalhost");
    EXPECT_EQ(report::OneLine(std::wstring{wchar_t(0x85), wchar_t(0x2028), wchar_t(0x2029)}), L"\u2424\u2424\u2424");
}

TEST(ReportFormat, DecimalTextPadsAndSigns) {
    EXPECT_EQ(report::DecimalText(0), L"0");
    EXPECT_EQ(report::DecimalText(7, 2), L"07");
    EXPECT_EQ(report::DecimalText(2024, 2), L"2024");
    EXPECT_EQ(report::DecimalText(-5, 2), L"-05");
    EXPECT_EQ(report::DecimalText(0xE00A), L"57354");
    EXPECT_EQ(report::DecimalText(-9223372036854775807LL - 1), L"-9223372036854775808");
}

// Everything a hostile registry or HOSTS file can put into a text.
std::vector<std::wstring> HostileTexts() {
    return {
        L"plain",
        L"",
        std::wstring{wchar_t(0xD800)},
        std::wstring{L'a', wchar_t(0xDFFF), L'b', wchar_t(0xD83D)},
        L"line\r\nbreak\nand\rmore",
        std::wstring{L'\0', wchar_t(1), wchar_t(0x1F), wchar_t(0x7F), wchar_t(0x85), wchar_t(0x2028)},
        L"\"quoted\" \\ back | bar 【title】",
        L"未发现异常",
        std::wstring(3000, L'\u00E9'),
    };
}

Report HostileReport() {
    Report report;
    report.facts = {{"program", L"程序", std::wstring(L"Larkspur")},
                    {"found", L"发现异常", true},
                    {"odd", L"奇怪", std::wstring{wchar_t(0xDC00), L'\n'}}};
    Section texts{"texts", L"文本", {{"count", L"条目数", 9LL}, {"clean", L"干净", false}},
                  {{"a", L"甲"}, {"b", L"乙 | 丙"}}, {}};
    for (const std::wstring& text : HostileTexts()) texts.entries.push_back({text, L"x" + text});
    Section empty{"empty", L"空", {{"count", L"条目数", 0LL}}, {{"line", L"内容"}}, {}};
    report.sections = {texts, empty};
    return report;
}

TEST(ReportFormat, JsonOfHostileTextsIsStrictAndKeepsEveryText) {
    const Report report = HostileReport();
    const std::string json = report::FormatJson(report);
    std::string error;
    const auto parsed = strict_json::Parse(json, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(json.back(), '\n');
    EXPECT_EQ(parsed->Get("program")->text, "Larkspur");
    EXPECT_TRUE(parsed->Get("found")->boolean);
    const auto* texts = parsed->Get("texts");
    ASSERT_NE(texts, nullptr);
    EXPECT_EQ(texts->Get("title")->text, "文本");
    EXPECT_EQ(texts->Get("count")->text, "9");
    EXPECT_EQ(texts->Get("clean")->kind, strict_json::Value::Kind::Bool);
    const auto& entries = texts->Get("entries")->items;
    const auto hostile = HostileTexts();
    ASSERT_EQ(entries.size(), hostile.size());
    for (size_t i = 0; i < hostile.size(); ++i) {
        ASSERT_EQ(entries[i].members.size(), 2u);
        EXPECT_EQ(entries[i].members[0].first, "a");
        EXPECT_EQ(entries[i].Get("a")->text, Utf8(hostile[i])) << i;
        EXPECT_EQ(entries[i].Get("b")->text, Utf8(L"x" + hostile[i])) << i;
    }
    EXPECT_TRUE(parsed->Get("empty")->Get("entries")->items.empty());
}

TEST(ReportFormat, TextHasBomOneLinePerEntryAndSaysWhatTheJsonSays) {
    const Report report = HostileReport();
    const std::string text = report::FormatText(report);
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_TRUE(strict_json::IsValidUtf8(text));
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // No line break but the CRLF at the end of each line.
    const auto lines = report_forms::Lines(text);
    size_t breaks = 0;
    for (char c : text) breaks += c == '\n' || c == '\r';
    EXPECT_EQ(breaks, 2 * lines.size());
    // title, 3 facts, blank, heading, 2 facts, columns, 9 entries, blank, heading, 1 fact, columns
    EXPECT_EQ(lines.size(), 1u + 3 + 1 + 1 + 2 + 1 + 9 + 1 + 1 + 1 + 1);
    EXPECT_EQ(lines[8], "甲 | 乙 | 丙");
    EXPECT_EQ(lines[9], "plain | xplain");

    const auto parsed = strict_json::Parse(report::FormatJson(report));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(report_forms::CompareTextWithJson(text, *parsed), "");
}

TEST(ReportFormat, StrictReaderRefusesWhatIsNotJson) {
    const char* refused[] = {
        "",        "{",        "{}x",       "{\"a\":1,}",   "[1,]",       "\xEF\xBB\xBF{}",   "{\"a\":01}",
        "NaN",     "'a'",      "\"\x01\"",  "\"\\ud800\"",  "\"\\udc00\"", "\"\xED\xA0\x80\"", "{\"a\":1,\"a\":2}",
        "\"\xC0\xAF\"", "[1 2]", "// c\n1", "\"\\x41\"",
    };
    for (const char* text : refused) EXPECT_FALSE(strict_json::Parse(text)) << text;
    EXPECT_TRUE(strict_json::Parse(" {\"a\": [1, -0.5e3, true, null, \"\\ud83d\\ude00\"]} "));
}

}  // namespace
