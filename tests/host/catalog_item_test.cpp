// Catalogue entries as the LSP page finds them in the registry, standard or planted.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "repair/catalog_item.h"

namespace {

struct Value {
    std::vector<std::byte> bytes = std::vector<std::byte>(kCatalogItemSize);

    Value& Bytes(std::size_t offset, const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) bytes.at(offset + i) = static_cast<std::byte>(text[i]);
        return *this;
    }
    Value& Protocol(const std::u16string& text, std::size_t offset = kProtocolOffset) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            bytes.at(offset + 2 * i) = static_cast<std::byte>(text[i] & 0xFF);
            bytes.at(offset + 2 * i + 1) = static_cast<std::byte>(text[i] >> 8);
        }
        return *this;
    }
    Value& Fill(std::size_t from, std::size_t to, char c) {
        for (std::size_t i = from; i < to; ++i) bytes.at(i) = static_cast<std::byte>(c);
        return *this;
    }
    Value& Resize(std::size_t size) {
        bytes.resize(size);
        return *this;
    }
};

// {E70F1AA0-AB8B-11CF-8CA3-00805F48A192} as it is stored.
const std::string kTcpipId("\xA0\x1A\x0F\xE7\x8B\xAB\xCF\x11\x8C\xA3\x00\x80\x5F\x48\xA1\x92", 16);

CatalogItem Parse(const Value& value) { return ParseCatalogItem(value.bytes); }

TEST(CatalogItem, ReadsTheThreeFieldsOfAStandardEntry) {
    const CatalogItem item = Parse(Value{}
                                       .Bytes(0, "%SystemRoot%\\system32\\mswsock.dll")
                                       .Bytes(kProviderIdOffset, kTcpipId)
                                       .Protocol(u"MSAFD Tcpip [TCP/IP]")
                                       .Fill(296, 376, '\x7F'));  // the rest of the record
    EXPECT_EQ(item.path, "%SystemRoot%\\system32\\mswsock.dll");
    EXPECT_EQ(FormatProviderId(item.providerId), L"{E70F1AA0-AB8B-11CF-8CA3-00805F48A192}");
    EXPECT_EQ(item.protocol, u"MSAFD Tcpip [TCP/IP]");
}

TEST(CatalogItem, ProviderIdTextDropsLeadingZerosOfTheFirstFiveFieldsOnly) {
    struct Case {
        std::string stored;
        const wchar_t* text;
    } cases[] = {
        {std::string("\x01\x00\x00\x00\x0A\x00\x00\x00\x0C\x05\x00\x01\x02\x03\x04\x05", 16), L"{1-A-0-C5-000102030405}"},
        {std::string(16, '\0'), L"{0-0-0-00-000000000000}"},
        {std::string(16, '\xFF'), L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
        {std::string("\xCD\xAB\x00\x00\x34\x12\x00\x01\x00\xAB\xF0\x0F\x00\x00\x10\x01", 16), L"{ABCD-1234-100-0AB-F00F00001001}"},
        {std::string("\x00\x00\x00\x10\x00\x10\x00\x10\x12\x00\x00\x00\x00\x00\x00\x00", 16), L"{10000000-1000-1000-120-000000000000}"},
        {kTcpipId, L"{E70F1AA0-AB8B-11CF-8CA3-00805F48A192}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatProviderId(Parse(Value{}.Bytes(kProviderIdOffset, c.stored)).providerId), c.text);
    }
}

// Fields without their terminator end where their room ends, and a short value ends where its
// bytes end: nothing beyond either is read.
TEST(CatalogItem, UnterminatedFieldsAndShortValuesAreReadOnlyAsFarAsTheyReach) {
    struct Case {
        const char* name;
        Value value;
        std::string path;
        const wchar_t* id;
        std::u16string protocol;
    } cases[] = {
        {"path without a NUL in its 260 bytes",
         Value{}.Fill(0, 260, 'A').Fill(260, 280, 'B').Bytes(kProviderIdOffset, kTcpipId), std::string(260, 'A'),
         L"{E70F1AA0-AB8B-11CF-8CA3-00805F48A192}", u""},
        {"path ends at its first NUL", Value{}.Bytes(0, std::string("C:\\a.dll\0C:\\b.dll", 17)), "C:\\a.dll",
         L"{0-0-0-00-000000000000}", u""},
        {"name without a NUL in its 512 bytes",
         Value{}.Resize(1024).Protocol(std::u16string(256, u'P')).Fill(888, 1024, 'Q'), "",
         L"{0-0-0-00-000000000000}", std::u16string(256, u'P')},
        {"non-ASCII path bytes kept for the code page", Value{}.Bytes(0, "C:\\\xCD\xF8\xC2\xE7.dll"),
         "C:\\\xCD\xF8\xC2\xE7.dll", L"{0-0-0-00-000000000000}", u""},
        {"empty value", Value{}.Resize(0), "", L"{0-0-0-00-000000000000}", u""},
        {"value ends inside the path", Value{}.Fill(0, 260, 'A').Resize(100), std::string(100, 'A'),
         L"{0-0-0-00-000000000000}", u""},
        {"value ends inside the identifier", Value{}.Bytes(0, "x.dll").Bytes(kProviderIdOffset, kTcpipId).Resize(290),
         "x.dll", L"{E70F1AA0-AB8B-11CF-8CA3-000000000000}", u""},
        {"value ends inside the name", Value{}.Protocol(u"MSAFD Tcpip").Resize(kProtocolOffset + 10), "",
         L"{0-0-0-00-000000000000}", u"MSAFD"},
        {"value ends inside a character", Value{}.Protocol(u"\u4E2D\u6587").Resize(kProtocolOffset + 3), "",
         L"{0-0-0-00-000000000000}", u"\u4E2D\u0087"},
        {"value longer than the standard", Value{}.Resize(1024).Protocol(u"TCP").Fill(888, 1024, 'Z'), "",
         L"{0-0-0-00-000000000000}", u"TCP"},
    };
    for (const auto& c : cases) {
        const CatalogItem item = Parse(c.value);
        EXPECT_EQ(item.path, c.path) << c.name;
        EXPECT_EQ(FormatProviderId(item.providerId), c.id) << c.name;
        EXPECT_EQ(item.protocol, c.protocol) << c.name;
    }
}

}  // namespace
