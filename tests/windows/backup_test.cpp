// The backup layer under Wine: keys of awkward names and values of every type written, deleted
// and imported again with the system's registry editor; real paths of the 32-bit view and of shared
// keys; the folder made right and a planted link refused; no file left by a backup that fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "backup/registry_backup.h"
#include "backup/store.h"
#include "repair/system_policy.h"
#include "support/backups.h"
#include "support/raw_registry.h"
#include "support/registry.h"

namespace {

using lark::backup::RegistryBackup;
using Bytes = std::vector<BYTE>;

const std::wstring kTest = L"Software\\LarkspurBackupTest";

Bytes Utf16(const std::wstring& text, bool terminated = true) {
    Bytes bytes(reinterpret_cast<const BYTE*>(text.data()), reinterpret_cast<const BYTE*>(text.data() + text.size()));
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

void Set(const std::wstring& path, const std::wstring& name, DWORD type, const Bytes& data) {
    ASSERT_EQ(test::SetBinary(HKEY_CURRENT_USER, path, name.c_str(), data.data(), static_cast<DWORD>(data.size()), type),
              ERROR_SUCCESS);
}

std::string Text(const std::vector<unsigned char>& file) {  // the .reg file's text, ASCII only
    std::string text;
    for (size_t i = 2; i + 1 < file.size(); i += 2) {
        const unsigned unit = file[i] | (file[i + 1] << 8);
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

class Backup : public ::testing::Test {
protected:
    test::ScopedKeys keys{HKEY_CURRENT_USER, {kTest}};
    test::BackupWatch watch;
};

// What the registry editor stores for a .reg value: every byte as written, except that string data
// (types 1, 2 and 7) not ending in a NUL gets one added (Wine's and Windows' editors alike).
Bytes AsImported(DWORD type, Bytes data) {
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (text && data.size() >= 2 && data.size() % 2 == 0 && (data[data.size() - 2] || data.back())) {
        data.insert(data.end(), {0, 0});
    }
    return data;
}

TEST_F(Backup, AwkwardKeysAndValuesComeBackThroughTheRegistryEditor) {
    struct Value {
        std::wstring name;
        DWORD type;
        Bytes data;
    };
    Bytes longBinary(3000);
    for (size_t i = 0; i < longBinary.size(); ++i) longBinary[i] = static_cast<BYTE>(i * 7);
    const std::vector<Value> values = {
        {L"", REG_SZ, Utf16(L"default")},
        {L"@", REG_SZ, Utf16(L"a value named @")},
        {L"q\"uote\\back", REG_SZ, Utf16(L"C:\\x \"%1\" \\\\")},
        {L"]x[=;#", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\[a]")},
        {L"tab\tname", REG_SZ, Utf16(L"tab\tdata")},
        {L"名称\U0001F600", REG_SZ, Utf16(L"值\U0001F600")},
        {L"line break", REG_SZ, Utf16(L"a\r\nb")},
        {L"NUL inside", REG_SZ, Utf16(std::wstring(L"a\0b", 3))},
        {L"no data", REG_SZ, {}},
        {L"empty", REG_SZ, Utf16(L"")},
        {L"lone surrogate", REG_SZ, Utf16(L"a\xD800z")},
        {L"multi", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0", 4))},
        {L"dword", REG_DWORD, {1, 2, 3, 4}},
        {L"dword of 3 bytes", REG_DWORD, {1, 2, 3}},
        {L"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {L"none", REG_NONE, {}},
        {L"big-endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
        {L"binary", REG_BINARY, longBinary},
        {L"made-up type", 0x1234abcd, {0xde, 0xad}},
        {L"unterminated", REG_SZ, Utf16(L"ab", false)},
        {L"unterminated expandable", REG_EXPAND_SZ, Utf16(L"%A%", false)},
    };
    const std::wstring subkeys[] = {kTest + L"\\Tree", kTest + L"\\Tree\\a]b", kTest + L"\\Tree\\[x;y]",
                                    kTest + L"\\Tree\\ lead and trail ", kTest + L"\\Tree\\-dash",
                                    kTest + L"\\Tree\\中文\\deeper\\still"};
    for (const auto& path : subkeys) {
        for (const auto& v : values) Set(path, v.name, v.type, v.data);
    }
    const test::Snapshot before = test::TakeSnapshot(HKEY_CURRENT_USER, kTest);

    ASSERT_EQ(RegistryBackup(L"测试 树").Tree(HKEY_CURRENT_USER, (kTest + L"\\Tree").c_str()).Save(), 0u);
    const auto added = watch.Added();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(added[0].ends_with(L" 测试 树.reg"));
    const auto file = test::ReadBytes(test::BackupPath(added[0]));
    ASSERT_GE(file.size(), 2u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xFE);
    EXPECT_EQ(Text(file).rfind("Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_CURRENT_USER\\Software\\"
                               "LarkspurBackupTest\\Tree]\r\n",
                               0),
              0u);

    // A key that was changed in every way, then the backup imported.
    test::DeleteTree(HKEY_CURRENT_USER, kTest + L"\\Tree\\a]b");
    Set(kTest + L"\\Tree", L"added later", REG_DWORD, {9, 9, 9, 9});
    Set(kTest + L"\\Tree\\new", L"x", REG_SZ, Utf16(L"new"));
    ASSERT_TRUE(test::ImportNewestFirst(added));

    test::Snapshot expected = before;
    for (auto& [path, named] : expected) {
        for (auto& [name, value] : named) value.data = AsImported(value.type, value.data);
    }
    EXPECT_EQ(test::FirstDifference(expected, test::TakeSnapshot(HKEY_CURRENT_USER, kTest)), "");
}

// Names a .reg file cannot hold: the backup fails, and leaves no file.
TEST_F(Backup, NamesNoRegFileCanHoldFailTheBackup) {
    Set(kTest + L"\\Value", L"line\nbreak", REG_SZ, Utf16(L"x"));
    EXPECT_EQ(RegistryBackup(L"测试").Tree(HKEY_CURRENT_USER, (kTest + L"\\Value").c_str()).Save(),
              static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(RegistryBackup(L"测试").Value(HKEY_CURRENT_USER, (kTest + L"\\Value").c_str(), L"line\nbreak").Save(),
              static_cast<DWORD>(ERROR_INVALID_NAME));

    ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, kTest + L"\\Nul"), ERROR_SUCCESS);
    HKEY parent = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (kTest + L"\\Nul").c_str(), 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
    HKEY nul = test::CreateKeyWithRawName(parent, std::wstring(L"a\0b", 3));
    ASSERT_NE(nul, nullptr);
    // Its text before the NUL names another key, which must not be taken for it.
    ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, kTest + L"\\Nul\\a"), ERROR_SUCCESS);
    EXPECT_EQ(RegistryBackup(L"测试").Tree(HKEY_CURRENT_USER, (kTest + L"\\Nul").c_str()).Save(),
              static_cast<DWORD>(ERROR_INVALID_NAME));
    test::DeleteOpenKey(nul);
    ::RegCloseKey(nul);
    ::RegCloseKey(parent);
    EXPECT_TRUE(watch.Added().empty());
}

// Keys are written where they really are: the 32-bit view under Wow6432Node, keys that both views
// share, and the user's own keys under HKEY_CURRENT_USER. What was not there is written as its
// deletion: the first missing key of a path, or the value.
TEST_F(Backup, KeysAreWrittenUnderTheirRealPaths) {
    const std::wstring view32 = L"SOFTWARE\\LarkspurViewTest";
    const std::wstring clsid = L"CLSID\\{6E1D2C37-0000-4F00-9A00-000000000032}";
    const std::wstring ifeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\larkspur.exe";
    const test::ScopedKeys machine{HKEY_LOCAL_MACHINE,
                                   {L"SOFTWARE\\Wow6432Node\\LarkspurViewTest",
                                    L"SOFTWARE\\Classes\\Wow6432Node\\" + clsid, ifeo}};
    auto set32 = [](HKEY root, const std::wstring& path) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key,
                                    nullptr),
                  ERROR_SUCCESS);
        const DWORD one = 1;
        ::RegSetValueExW(key, L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        ::RegCloseKey(key);
    };
    set32(HKEY_LOCAL_MACHINE, view32);
    set32(HKEY_CLASSES_ROOT, clsid);
    set32(HKEY_LOCAL_MACHINE, ifeo);
    Set(kTest, L"present", REG_DWORD, {1, 0, 0, 0});

    RegistryBackup backup(L"测试 视图");
    backup.Tree(HKEY_LOCAL_MACHINE, view32.c_str(), KEY_WOW64_32KEY)
        .Tree(HKEY_CLASSES_ROOT, clsid.c_str(), KEY_WOW64_32KEY)
        .Tree(HKEY_LOCAL_MACHINE, ifeo.c_str(), KEY_WOW64_32KEY)
        .Value(HKEY_CURRENT_USER, kTest.c_str(), L"present")
        .Value(HKEY_CURRENT_USER, kTest.c_str(), L"absent")
        .Value(HKEY_CURRENT_USER, (kTest + L"\\Missing").c_str(), L"x")  // the change cannot happen there
        .ValueOfKeyToCreate(HKEY_CURRENT_USER, (kTest + L"\\New\\Deeper").c_str(), L"x");
    ASSERT_EQ(backup.Save(), 0u);
    const auto added = watch.Added();
    ASSERT_EQ(added.size(), 1u);
    std::string text = Text(test::ReadBytes(test::BackupPath(added[0])));
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* expected[] = {
        "[hkey_local_machine\\software\\wow6432node\\larkspurviewtest]\r\n\"v\"=dword:00000001\r\n",
        "[hkey_local_machine\\software\\classes\\wow6432node\\clsid\\{6e1d2c37-0000-4f00-9a00-000000000032}]\r\n",
        "[hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\image file execution "
        "options\\larkspur.exe]\r\n",
        "[hkey_current_user\\software\\larkspurbackuptest]\r\n\"present\"=dword:00000001\r\n\"absent\"=-\r\n",
        "[-hkey_current_user\\software\\larkspurbackuptest\\new]\r\n",
    };
    for (const char* part : expected) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_EQ(text.find("missing"), std::string::npos) << text;
}

TEST_F(Backup, FilesAreNewAndSortByTime) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 5; ++i) {
        std::wstring saved;
        ASSERT_EQ(lark::backup::SaveFile(L"测试 a:b/c\\d*?", L".txt", {}, &saved), 0u);
        names.push_back(saved.substr(saved.rfind(L'\\') + 1));
    }
    EXPECT_EQ(watch.Added(), names);  // sorted by name is the order they were written in
    for (const auto& name : names) {
        // "2026-12-11 14-03-07.042 测试 a_b_c_d__.txt"
        EXPECT_EQ(name.substr(23), L" 测试 a_b_c_d__.txt");
        EXPECT_EQ(name[4], L'-');
        EXPECT_EQ(name[19], L'.');
    }
    EXPECT_EQ(lark::backup::FolderPath(), L"C:\\ProgramData\\LarkspurBackup");
}

// The folder is made right before the first file goes in: a pre-made folder that everybody could
// write is locked down (Wine shows a DACL only as the Unix mode it maps it to), a planted link or
// a file in its place is refused, and then nothing is changed.
TEST_F(Backup, TheFolderIsMadeRightOrRefused) {
    const std::wstring folder = lark::backup::FolderPath();
    const std::string unix = test::UnixPath(folder);
    ASSERT_FALSE(unix.empty());
    auto reset = [&](const std::string& shell) {
        lark::backup::ReleaseFolder();
        ASSERT_EQ(test::RunUnix("rm -rf '" + unix + "' && " + shell), 0) << shell;
    };

    reset("mkdir '" + unix + "' && chmod 777 '" + unix + "'");
    ASSERT_EQ(lark::backup::PrepareFolder(), 0u);
    EXPECT_EQ(test::RunUnix("test $(( 0$(stat -c %a '" + unix + "') & 02 )) -eq 0"), 0) << "still writable by everybody";

    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                             L"DisableTaskmgr", 1),
              ERROR_SUCCESS);
    const std::string target = unix + ".target";
    for (const std::string& planted : {"mkdir '" + target + "' && ln -s '" + target + "' '" + unix + "'",
                                       "echo x > '" + unix + "'"}) {
        reset("rm -rf '" + target + "' && " + planted);
        EXPECT_NE(lark::backup::PrepareFolder(), 0u) << planted;
        EXPECT_EQ(DeletePolicyValue(L"DisableTaskmgr"), 0) << planted;
        EXPECT_TRUE(test::GetValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                                   L"DisableTaskmgr"))
            << planted;
        EXPECT_EQ(test::RunUnix("test -z $(ls -A '" + target + "' 2>/dev/null | head -c1)"), 0) << "wrote through the link";
    }
    reset("rm -rf '" + target + "'");
    EXPECT_EQ(DeletePolicyValue(L"DisableTaskmgr"), 1);
}

// A backup that cannot be written whole leaves nothing behind.
TEST_F(Backup, AFailedWriteLeavesNoFile) {
    Set(kTest, L"x", REG_SZ, Utf16(L"x"));
    {
        test::FullDisk full;
        EXPECT_EQ(RegistryBackup(L"测试").Tree(HKEY_CURRENT_USER, kTest.c_str()).Save(),
                  static_cast<DWORD>(ERROR_DISK_FULL));
    }
    test::ReadOnlyBackupFolder readOnly;
    if (readOnly.available()) {
        EXPECT_NE(RegistryBackup(L"测试").Tree(HKEY_CURRENT_USER, kTest.c_str()).Save(), 0u);
    } else {
        std::printf("the backup folder cannot be made read-only here (neither chattr nor chmod works)\n");
    }
    EXPECT_TRUE(watch.Added().empty());
}

}  // namespace
