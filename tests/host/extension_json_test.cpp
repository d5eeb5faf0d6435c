// The browsers' extension data as the add-ons page reads it: identifiers, force-list entries, the
// ExtensionSettings policy (and one member taken out of it), manifests and messages.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <chrono>
#include <string>
#include <vector>

#include "repair/extension_json.h"

namespace {

const std::u16string kId = u"abcdefghijklmnopabcdefghijklmnop";
const std::u16string kOther = u"ponmlkjihgfedcbaponmlkjihgfedcba";

std::string Print(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

TEST(ExtensionIds, ThirtyTwoLettersAToPInEitherCase) {
    const struct {
        std::u16string text;
        bool valid;
    } cases[] = {
        {kId, true},
        {u"ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP", true},
        {u"abcdefghijklmnopabcdefghijklmno", false},    // 31
        {u"abcdefghijklmnopabcdefghijklmnopa", false},  // 33
        {u"abcdefghijklmnopabcdefghijklmnoq", false},   // q
        {u"abcdefghijklmnopabcdefghijklmno1", false},
        {u"abcdefghijklmnopabcdefghijklmno ", false},
        {std::u16string(u"abcdefghijklmnopabcdefghijklmno") + u'\0', false},
        {u"abcdefghijklmnopabcdefghijklmn\u00e9", false},
        {u"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsExtensionId(c.text), c.valid) << Print(c.text);
}

TEST(ForceList, IdBeforeTheFirstSemicolonUpdateUrlAfterIt) {
    const struct {
        std::u16string text;
        bool valid;
        std::u16string url;
    } cases[] = {
        {kId, true, u""},
        {kId + u";https://clients2.example/service/update2/crx", true, u"https://clients2.example/service/update2/crx"},
        {kId + u";", true, u""},
        {kId + u";a;b", true, u"a;b"},
        {u" " + kId + u";x", false, u""},
        {kId + u" ;x", false, u""},
        {u";" + kId, false, u""},
        {u"", false, u""},
        {u"abcdefghijklmnopabcdefghijklmnoz;https://x", false, u""},
    };
    for (const auto& c : cases) {
        const auto entry = ParseForceListEntry(c.text);
        ASSERT_EQ(entry.has_value(), c.valid) << Print(c.text);
        if (!entry) continue;
        EXPECT_EQ(entry->id, kId);
        EXPECT_EQ(entry->updateUrl, c.url);
    }
}

TEST(ForceList, ItemNamesAreNumbersOf32Bits) {
    for (const char16_t* name : {u"1", u"2", u"10000", u"01", u"-3", u"+4", u"2147483647", u"-2147483648"}) {
        EXPECT_TRUE(IsListItemName(name)) << Print(name);
    }
    for (const char16_t* name : {u"", u"-", u"+", u"a", u"1a", u" 1", u"1 ", u"1.0", u"2147483648", u"-2147483649",
                                 u"99999999999999999999", u"\uff11"}) {
        EXPECT_FALSE(IsListItemName(name)) << Print(name);
    }
}

// ---- ExtensionSettings ----

struct Member {
    std::u16string key, mode, url;
    bool operator==(const Member&) const = default;
};
void PrintTo(const Member& m, std::ostream* os) { *os << Print(m.key) << " " << Print(m.mode) << " " << Print(m.url); }

std::optional<std::vector<Member>> Members(std::u16string_view text) {
    const auto read = ReadExtensionSettings(text);
    if (!read) return std::nullopt;
    std::vector<Member> members;
    for (const auto& m : *read) members.push_back({m.key, m.installationMode, m.updateUrl});
    return members;
}

TEST(ExtensionSettings, MembersWithTheirModeAndUpdateUrl) {
    const std::u16string text = u"{\"" + kId +
                                u"\": {\"installation_mode\": \"force_installed\", \"update_url\": \"https://u/x\"},"
                                u" \"*\": {\"installation_mode\": \"blocked\"},\n \"" +
                                kOther +
                                u"\":{\"installation_mode\":\"normal_installed\","
                                u"\"other\":[1,{\"update_url\":\"no\"}]},"
                                u"\"x\":{}}";
    const auto members = Members(text);
    ASSERT_TRUE(members);
    EXPECT_EQ(*members, (std::vector<Member>{{kId, u"force_installed", u"https://u/x"},
                                             {u"*", u"blocked", u""},
                                             {kOther, u"normal_installed", u""},
                                             {u"x", u"", u""}}));
    const auto read = ReadExtensionSettings(text);
    EXPECT_TRUE((*read)[0].Installs());
    EXPECT_FALSE((*read)[1].Installs());
    EXPECT_TRUE((*read)[2].Installs());
}

TEST(ExtensionSettings, TheLastOfARepeatedKeyCountsAndNonStringsAreNoMode) {
    const struct {
        const char* name;
        std::u16string text;
        Member member;
    } cases[] = {
        {"repeated mode", u"{\"k\":{\"installation_mode\":\"force_installed\",\"installation_mode\":\"allowed\"}}",
         {u"k", u"allowed", u""}},
        {"mode then a number", u"{\"k\":{\"installation_mode\":\"force_installed\",\"installation_mode\":1}}",
         {u"k", u"", u""}},
        {"mode then an object", u"{\"k\":{\"installation_mode\":\"force_installed\",\"installation_mode\":{}}}",
         {u"k", u"", u""}},
        {"number mode", u"{\"k\":{\"installation_mode\":12,\"update_url\":true}}", {u"k", u"", u""}},
        {"escaped", u"{\"\\u0061bc\":{\"installation_mode\":\"force\\u005finstalled\"}}",
         {u"abc", u"force_installed", u""}},
        {"case counts", u"{\"k\":{\"Installation_Mode\":\"force_installed\"}}", {u"k", u"", u""}},
        {"nested mode is not the member's", u"{\"k\":{\"a\":{\"installation_mode\":\"force_installed\"}}}",
         {u"k", u"", u""}},
    };
    for (const auto& c : cases) {
        const auto members = Members(c.text);
        ASSERT_TRUE(members) << c.name;
        ASSERT_EQ(members->size(), 1u) << c.name;
        EXPECT_EQ(members->front(), c.member) << c.name;
    }
    // A key that comes twice is two members.
    const auto twice = Members(u"{\"k\":{},\"k\":{\"installation_mode\":\"normal_installed\"}}");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->size(), 2u);
}

TEST(ExtensionSettings, AnythingButAnObjectOfObjectsGivesNothing) {
    const struct {
        const char* name;
        std::u16string text;
    } cases[] = {
        {"empty", u""},
        {"blank", u"  "},
        {"array", u"[{}]"},
        {"string", u"\"x\""},
        {"number", u"12"},
        {"member is a string", u"{\"a\":{},\"b\":\"force_installed\"}"},
        {"member is an array", u"{\"a\":[]}"},
        {"member is null", u"{\"a\":null}"},
        {"member is a number", u"{\"a\":1}"},
        {"unclosed", u"{\"a\":{}"},
        {"trailing comma", u"{\"a\":{},}"},
        {"trailing text", u"{\"a\":{}} x"},
        {"two documents", u"{}{}"},
        {"single quotes", u"{'a':{}}"},
        {"comment", u"{/*x*/\"a\":{}}"},
        {"lone surrogate", std::u16string(u"{\"a\":{\"b\":\"") + char16_t(0xD800) + u"\"}}"},
        {"escaped lone trail surrogate", u"{\"a\":{\"b\":\"x\\uDC00\"}}"},
        {"escaped lone trail surrogate in a key", u"{\"\\udfff\":{}}"},
        {"escaped trail before its lead", u"{\"a\":{\"b\":\"\\uDC00\\uD800\"}}"},
        {"escaped lead without its trail", u"{\"a\":{\"b\":\"\\uD800x\"}}"},
        {"unescaped control", u"{\"a\":{\"b\":\"\x01\"}}"},
        {"bad escape", u"{\"a\":{\"b\":\"\\x\"}}"},
        {"NUL inside", std::u16string(u"{\"a\":") + u'\0' + u"{}}"},
    };
    for (const auto& c : cases) EXPECT_FALSE(ReadExtensionSettings(c.text)) << c.name;
    // An escaped pair is one character.
    const auto paired = Members(u"{\"\\uD83D\\uDE00\":{}}");
    ASSERT_TRUE(paired);
    EXPECT_EQ(paired->at(0).key, std::u16string(u"\U0001F600"));
    EXPECT_TRUE(Members(u" {} "));
    EXPECT_TRUE(Members(u"{}")->empty());
    // The text ends at its first NUL.
    const auto cut = Members(std::u16string(u"{\"a\":{}}") + u'\0' + u"garbage");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), 1u);
    // Long numbers are fine; an exponent beyond any double is refused by the reader, and such a
    // text gives nothing.
    EXPECT_TRUE(Members(u"{\"a\":{\"n\":1e308,\"m\":-123456789012345678901234567890.5e-300,\"l\":" +
                        std::u16string(300, u'7') + u"}}"));
    EXPECT_FALSE(Members(u"{\"a\":{\"n\":1e999999}}"));
}

// The remaining text parses to the same object less the member (checked with a document of its
// own), and every other character stays.
void ExpectRemoved(const std::u16string& text, std::size_t index, const std::u16string& expected) {
    const auto rest = RemoveSettingsMember(text, index);
    ASSERT_TRUE(rest) << Print(text) << " #" << index;
    EXPECT_EQ(*rest, expected) << Print(text) << " #" << index;
    using Document = rapidjson::GenericDocument<rapidjson::UTF16<char16_t>>;
    Document before, after;
    before.Parse(text.c_str());
    after.Parse(rest->c_str());
    ASSERT_FALSE(before.HasParseError());
    ASSERT_FALSE(after.HasParseError()) << Print(*rest);
    ASSERT_TRUE(before.IsObject() && after.IsObject());
    before.EraseMember(before.MemberBegin() + static_cast<std::ptrdiff_t>(index));
    EXPECT_TRUE(before == after) << Print(*rest);
}

TEST(ExtensionSettings, RemovingAMemberLeavesEveryOtherCharacter) {
    const std::u16string a = u"\"a\": {\"installation_mode\": \"force_installed\"}", b = u"\"b\":{\"x\":[{}]}",
                         c = u"\"c\" : { }";
    ExpectRemoved(u"{" + a + u"}", 0, u"{}");
    ExpectRemoved(u"{ " + a + u" }", 0, u"{ }");
    ExpectRemoved(u"{" + a + u"," + b + u"," + c + u"}", 0, u"{" + b + u"," + c + u"}");
    ExpectRemoved(u"{" + a + u"," + b + u"," + c + u"}", 1, u"{" + a + u"," + c + u"}");
    ExpectRemoved(u"{" + a + u"," + b + u"," + c + u"}", 2, u"{" + a + u"," + b + u"}");
    // Pretty-printed, as an administrator's tool writes it.
    const std::u16string pretty = u"{\r\n  " + a + u",\r\n  " + b + u"\r\n}\r\n";
    ExpectRemoved(pretty, 0, u"{\r\n  " + b + u"\r\n}\r\n");
    ExpectRemoved(pretty, 1, u"{\r\n  " + a + u"\r\n}\r\n");
    ExpectRemoved(u"{" + a + u" \t\n, " + b + u"}", 0, u"{ " + b + u"}");
    // Of a repeated key, only the member asked for.
    ExpectRemoved(u"{\"k\":{\"n\":1},\"k\":{\"n\":2}}", 1, u"{\"k\":{\"n\":1}}");
    // Braces and commas inside strings are text.
    ExpectRemoved(u"{\"}\":{\"v\":\"},{\"},\",\":{}}", 0, u"{\",\":{}}");
    // What follows the first NUL stays too.
    const auto rest = RemoveSettingsMember(u"{" + a + u"}" + u'\0' + u"tail", 0);
    ASSERT_TRUE(rest);
    EXPECT_EQ(*rest, u"{}" + std::u16string(1, u'\0') + u"tail");

    EXPECT_FALSE(RemoveSettingsMember(u"{" + a + u"}", 1));
    EXPECT_FALSE(RemoveSettingsMember(u"{}", 0));
    EXPECT_FALSE(RemoveSettingsMember(u"{\"a\":{},\"b\":1}", 0));
    EXPECT_FALSE(RemoveSettingsMember(u"[{}]", 0));
}

std::u16string Nested(std::size_t depth) {
    return std::u16string(depth, u'[') + std::u16string(depth, u']');
}

double Milliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(ExtensionSettings, DeepNestingAndLargeTextsAreReadWithoutTheCallStack) {
    for (const std::size_t depth : {10'000u, 1'000'000u}) {
        const std::u16string deep = u"{\"" + kId + u"\":{\"installation_mode\":\"force_installed\",\"d\":" +
                                    Nested(depth) + u"},\"b\":{}}";
        const auto members = Members(deep);
        ASSERT_TRUE(members) << depth;
        EXPECT_EQ(members->size(), 2u);
        const auto rest = RemoveSettingsMember(deep, 0);
        ASSERT_TRUE(rest);
        EXPECT_EQ(*rest, u"{\"b\":{}}");
        // The same depth as the document itself, or unclosed, is no object of objects.
        EXPECT_FALSE(ReadExtensionSettings(Nested(depth)));
        EXPECT_FALSE(ReadExtensionSettings(u"{\"a\":{\"d\":" + std::u16string(depth, u'[') + u"}}"));
    }

    // One megabyte: many members, one of them forced, in the middle.
    std::u16string big = u"{";
    int count = 0;
    while (big.size() < 512 * 1024) {
        const std::string number = std::to_string(count++);
        big += u"\"m" + std::u16string(number.begin(), number.end()) +
               u"\":{\"installation_mode\":\"allowed\",\"pad\":\"" +
               std::u16string(40, u'x') + u"\"},";
        if (count == 1000) big += u"\"" + kId + u"\":{\"installation_mode\":\"force_installed\"},";
    }
    big += u"\"end\":{}}";
    std::optional<std::vector<Member>> members;
    const double ms = Milliseconds([&] { members = Members(big); });
    ASSERT_TRUE(members);
    EXPECT_EQ(members->size(), static_cast<std::size_t>(count) + 2);
    EXPECT_EQ((*members)[1000].key, kId);
    std::printf("1 MB settings text (%zu members) read in %.1f ms\n", members->size(), ms);
    const auto rest = RemoveSettingsMember(big, 1000);
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->size(), big.size() - (u",\"" + kId + u"\":{\"installation_mode\":\"force_installed\"}").size());
}

// ---- manifests and messages ----

TEST(Manifest, NameAndDefaultLocaleAtTheTop) {
    const struct {
        const char* name;
        std::string text;
        bool found;
        std::u16string extension, locale;
    } cases[] = {
        {"plain", R"({"name":"Coupon Finder","version":"1.0","default_locale":"zh_CN"})", true, u"Coupon Finder",
         u"zh_CN"},
        {"byte-order mark", "\xEF\xBB\xBF{\"name\":\"\xE4\xBC\x98\xE6\x83\xA0\"}", true, u"\u4f18\u60e0", u""},
        {"nested name is not it", R"({"browser_action":{"name":"x"},"name":"Top"})", true, u"Top", u""},
        {"last name counts", R"({"name":"One","name":"Two"})", true, u"Two", u""},
        {"name then a number", R"({"name":"One","name":2})", false, u"", u""},
        {"no name", R"({"version":"1"})", false, u"", u""},
        {"number name", R"({"name":5})", false, u"", u""},
        {"locale with a path", R"({"name":"N","default_locale":"..\\..\\x"})", true, u"N", u""},
        {"locale too long", R"({"name":"N","default_locale":"abcdefghijklmnopqrstu"})", true, u"N", u""},
        {"locale not a string", R"({"name":"N","default_locale":["en"]})", true, u"N", u""},
        {"array", R"([{"name":"N"}])", false, u"", u""},
        {"invalid UTF-8", "{\"name\":\"\xC3\x28\"}", false, u"", u""},
        {"escaped lone trail surrogate", "{\"name\":\"\\udc00\"}", false, u"", u""},
        {"truncated", R"({"name":"N")", false, u"", u""},
        {"empty", "", false, u"", u""},
    };
    for (const auto& c : cases) {
        const auto manifest = ReadManifestName(c.text);
        ASSERT_EQ(manifest.has_value(), c.found) << c.name;
        if (!manifest) continue;
        EXPECT_EQ(manifest->name, c.extension) << c.name;
        EXPECT_EQ(manifest->defaultLocale, c.locale) << c.name;
    }
}

TEST(Manifest, MessagesAreFoundIgnoringCaseAndReferencesReplaced) {
    const std::string messages =
        R"({"appName":{"message":"Shopping Helper","description":"d"},"Short":{"message":"SH"},)"
        R"("empty":{"message":""},"noText":{"description":"x"},"list":{"message":["a"]}})";
    EXPECT_EQ(ReadMessage(messages, u"appname"), u"Shopping Helper");
    EXPECT_EQ(ReadMessage(messages, u"APPNAME"), u"Shopping Helper");
    EXPECT_EQ(ReadMessage(messages, u"short"), u"SH");
    EXPECT_EQ(ReadMessage(messages, u"empty"), u"");
    EXPECT_FALSE(ReadMessage(messages, u"noText"));
    EXPECT_FALSE(ReadMessage(messages, u"list"));
    EXPECT_FALSE(ReadMessage(messages, u"missing"));
    EXPECT_FALSE(ReadMessage("{\"appName\":{\"message\":\"x\"}", u"appName"));  // unclosed
    EXPECT_EQ(ReadMessage(R"({"a":{"message":"1"},"A":{"message":"2"}})", u"a"), u"2");
    EXPECT_FALSE(ReadMessage(R"({"a":{"message":"1"},"A":"2"})", u"a"));

    const auto lookup = [&](std::u16string_view name) { return ReadMessage(messages, name); };
    const struct {
        std::u16string name;
        std::optional<std::u16string> resolved;
    } cases[] = {
        {u"Plain", u"Plain"},
        {u"__MSG_appName__", u"Shopping Helper"},
        {u"__MSG_short__ Pro (__MSG_appName__)", u"SH Pro (Shopping Helper)"},
        {u"__MSG_missing__", std::nullopt},
        {u"__MSG_noText__", std::nullopt},
        {u"__MSG_app name__", u"__MSG_app name__"},  // not a message name
        {u"__MSG___", u"__MSG___"},
        {u"__MSG_appName", u"__MSG_appName"},        // not closed
        {u"x__MSG_empty__y", u"xy"},
        {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveMessageReferences(c.name, lookup), c.resolved) << Print(c.name);
}

}  // namespace
