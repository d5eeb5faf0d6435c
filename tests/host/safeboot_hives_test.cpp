// The Safe Mode hive images, read back with hivex (hivexregedit, hivexsh, hivexml) as an
// independent reader and compared with the .reg texts they are written from.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/hive/registry_tree.h"

namespace {

const std::string kRootPath = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

struct Image {
    const char* name;
    size_t size;
    size_t minimal, network;  // subkey counts of the lists, as the sources document them
};
const Image kImages[] = {
    {"win2000", 28672, 37, 63}, {"winxp", 28672, 42, 80}, {"win2003", 28672, 44, 82},
    {"winvista", 32768, 57, 107}, {"win7", 36864, 59, 113},
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ImagePath(const Image& image) { return std::string(SAFEBOOT_IMAGE_DIR) + "/" + image.name + ".hiv"; }
std::string SourcePath(const Image& image) {
    return std::string(LARKSPUR_SOURCE_DIR) + "/resources/safeboot/" + image.name + ".reg";
}

// Standard output of a shell command; the test fails when the command does not exit with 0.
std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return out;
}

hive::Key Parse(const std::string& text, const std::string& what) {
    hive::Key root;
    std::string error;
    EXPECT_TRUE(hive::ParseRegText(text, root, error)) << what << ": " << error;
    return root;
}

// The tree exported by hivex, under the same root path as the sources.
hive::Key ExportWithHivex(const std::string& imagePath) {
    return Parse(RunCommand("hivexregedit --export --prefix '" + kRootPath + "' '" + imagePath + "' '\\'"), imagePath);
}

// One line per key and per value (path, name, type, data in hex), in no particular order.
void Flatten(const hive::Key& key, const std::string& path, std::set<std::string>& out) {
    out.insert("key " + path);
    for (const hive::Value& v : key.values) {
        std::ostringstream line;
        line << "value " << path << " [" << v.name << "] type " << v.type << ":";
        for (uint8_t b : v.data) line << ' ' << std::hex << static_cast<int>(b);
        out.insert(line.str());
    }
    for (const hive::Key& k : key.subkeys) Flatten(k, path + "\\" + k.name, out);
}

void ExpectSameTree(const hive::Key& expected, const hive::Key& actual, const std::string& what) {
    std::set<std::string> want, got;
    Flatten(expected, "", want);
    Flatten(actual, "", got);
    int shown = 0;
    for (const std::string& line : want) {
        if (!got.count(line) && shown++ < 10) ADD_FAILURE() << what << ": hivex lacks " << line;
    }
    for (const std::string& line : got) {
        if (!want.count(line) && shown++ < 10) ADD_FAILURE() << what << ": hivex has extra " << line;
    }
    EXPECT_EQ(want.size(), got.size()) << what;
}

const hive::Key* Find(const hive::Key& key, const std::string& name) {
    for (const hive::Key& k : key.subkeys) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

TEST(SafeBootHives, EachImageHasTheSizeOfItsReleaseAndIsAVersion13Hive) {
    for (const Image& image : kImages) {
        const std::string bytes = ReadFile(ImagePath(image));
        ASSERT_EQ(bytes.size(), image.size) << image.name;
        EXPECT_EQ(bytes.substr(0, 4), "regf") << image.name;
        EXPECT_EQ(Le32(bytes, 0x14), 1u) << image.name;
        EXPECT_EQ(Le32(bytes, 0x18), 3u) << image.name;
        EXPECT_EQ(Le32(bytes, 0x28), image.size - 4096) << image.name;  // every byte after the base block is bins
    }
}

TEST(SafeBootHives, HivexReadsBackEveryKeyAndValueOfTheSource) {
    for (const Image& image : kImages) {
        const hive::Key source = Parse(ReadFile(SourcePath(image)), SourcePath(image));
        const hive::Key read = ExportWithHivex(ImagePath(image));
        ExpectSameTree(source, read, image.name);

        // The counts the sources document, taken from what hivex read.
        const hive::Key* minimal = Find(read, "Minimal");
        const hive::Key* network = Find(read, "Network");
        ASSERT_TRUE(minimal && network) << image.name;
        EXPECT_EQ(minimal->subkeys.size(), image.minimal) << image.name;
        EXPECT_EQ(network->subkeys.size(), image.network) << image.name;
        ASSERT_EQ(read.values.size(), 1u) << image.name;
        EXPECT_EQ(read.values[0].name, "AlternateShell") << image.name;

        // Strings as hivex decodes them itself.
        EXPECT_EQ(RunCommand("hivexget '" + ImagePath(image) + "' '\\' AlternateShell"), "cmd.exe\n") << image.name;
        EXPECT_EQ(RunCommand("hivexget '" + ImagePath(image) + "' '\\Minimal\\Base' @"), "Driver Group\n")
            << image.name;
    }
}

// Windows finds a subkey by a binary search over the stored list, so each list must be in the
// order of the upper-case names, which is the order of the sources. hivexml walks the keys as
// stored, depth first, the root (named SafeBoot) first.
TEST(SafeBootHives, KeysAreStoredInUpperCaseOrderUnderARootNamedSafeBoot) {
    for (const Image& image : kImages) {
        std::vector<std::string> expected = {"SafeBoot"};
        std::istringstream source(ReadFile(SourcePath(image)));
        for (std::string line; std::getline(source, line);) {
            if (line.size() > kRootPath.size() + 3 && line[0] == '[') {
                expected.push_back(line.substr(line.rfind('\\') + 1, line.size() - line.rfind('\\') - 2));
            }
        }
        std::vector<std::string> stored;
        const std::string xml = RunCommand("hivexml '" + ImagePath(image) + "'");
        const std::string tag = "<node name=\"";
        for (size_t at = xml.find(tag); at != std::string::npos; at = xml.find(tag, at + 1)) {
            const size_t begin = at + tag.size();
            stored.push_back(xml.substr(begin, xml.find('"', begin) - begin));
        }
        EXPECT_EQ(stored, expected) << image.name;
    }
}

TEST(HiveTool, WritesEveryKindOfValueAndRefusesATreeThatDoesNotFit) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe]\r\n"
        "@=\"\"\r\n"
        "\"Quoted\"=\"a \\\"b\\\" c:\\\\d\"\r\n"
        "\"Number\"=dword:0000002a\r\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\\r\n"
        "  12,13\r\n"
        "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Four\"=hex:de,ad,be,ef\r\n"
        "\"Empty\"=hex:\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe\\Deep\\Er\\Key]\r\n"
        "\"\xE5\x80\xBC\"=\"\xE6\xB5\x8B\xE8\xAF\x95\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe\\\xE9\x94\xAE]\r\n";
    const hive::Key root = Parse(text, "probe");
    ASSERT_EQ(root.values.size(), 7u);

    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(hive::WriteHive(root, 8192, image, error)) << error;
    ASSERT_EQ(image.size(), 8192u);
    const std::string path = testing::TempDir() + "probe.hiv";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    hive::Key read = Parse(RunCommand("hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\\SOFTWARE\\Probe' '" + path +
                               "' '\\'"),
                           path);
    ExpectSameTree(root, read, "probe");
    EXPECT_EQ(RunCommand("hivexget '" + path + "' '\\' Quoted"), "a \"b\" c:\\d\n");
    EXPECT_EQ(RunCommand("hivexget '" + path + "' '\\Deep\\Er\\Key' '\xE5\x80\xBC'"), "\xE6\xB5\x8B\xE8\xAF\x95\n");

    hive::Key big = root;
    for (int i = 0; i < 200; ++i) big.subkeys.push_back(hive::Key{"Key" + std::to_string(i), root.values, {}});
    EXPECT_FALSE(hive::WriteHive(big, 8192, image, error));
    EXPECT_NE(error.find("more than 8192"), std::string::npos) << error;
}

}  // namespace
