// Extensions that Chrome, Edge and Chromium install by policy or registration, under Wine: read from
// registry fixtures of both hives and both views, named from installed copies in the user's
// profiles, deleted one entry at a time, and shown on the real add-ons page.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pages/ie_loader_dialog.h"
#include "repair/browser_extensions.h"
#include "repair/extension_json.h"
#include "repair/ie_loader.h"
#include "resource.h"
#include "support/backups.h"
#include "support/files.h"
#include "support/list_page.h"
#include "support/process_recorder.h"
#include "support/raw_registry.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

using lark::RegistryView;
constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr ExtensionBrowser kChrome = ExtensionBrowser::Chrome, kEdge = ExtensionBrowser::Edge,
                           kChromium = ExtensionBrowser::Chromium;
constexpr ExtensionSource kList = ExtensionSource::ForceList, kSettings = ExtensionSource::Settings,
                          kExternal = ExtensionSource::External;
const HKEY kLM = HKEY_LOCAL_MACHINE, kCU = HKEY_CURRENT_USER;
constexpr RegistryView k64View = RegistryView::Bits64, k32View = RegistryView::Bits32;

const ExtensionBrowserKeys& Keys(ExtensionBrowser browser) { return kExtensionBrowsers[static_cast<int>(browser)]; }
std::wstring Policies(ExtensionBrowser browser) { return Keys(browser).policies; }
std::wstring ForceList(ExtensionBrowser browser) { return Policies(browser) + L"\\" + kForceListSubkey; }
std::wstring External(ExtensionBrowser browser) { return Keys(browser).external; }

// A distinct extension identifier for each n below 65536.
std::wstring Id(int n) {
    std::wstring id(28, L'a');
    for (int shift = 12; shift >= 0; shift -= 4) id += static_cast<wchar_t>(L'a' + ((n >> shift) & 15));
    return id;
}
std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

struct Row {
    ExtensionBrowser browser;
    ExtensionSource source;
    HKEY root;
    RegistryView view;
    std::wstring entry;
    std::size_t occurrence;
    std::wstring id, file;
    bool fileIsPath;
    std::wstring name;
    bool operator==(const Row&) const = default;
};
void PrintTo(const Row& r, std::ostream* os) {
    *os << "browser " << static_cast<int>(r.browser) << " source " << static_cast<int>(r.source)
        << (r.root == kCU ? " HKCU" : " HKLM") << (r.view == k32View ? " 32-bit " : " ")
        << testing::PrintToString(r.entry) << "#" << r.occurrence << " " << testing::PrintToString(r.id) << " "
        << testing::PrintToString(r.file) << (r.fileIsPath ? " (path) " : " ") << testing::PrintToString(r.name);
}
Row RowOf(const BrowserExtension& e) {
    return {e.browser, e.source, e.root, e.view, e.entry, e.occurrence, e.id, e.file, e.fileIsPath, e.name};
}
BrowserExtension EntryOf(const Row& r) {
    BrowserExtension e;
    e.browser = r.browser;
    e.source = r.source;
    e.root = r.root;
    e.view = r.view;
    e.entry = r.entry;
    e.occurrence = r.occurrence;
    e.id = r.id;
    e.file = r.file;
    e.fileIsPath = r.fileIsPath;
    e.name = r.name;
    return e;
}
// A row whose name is its identifier (no installed copy).
Row Listed(ExtensionBrowser browser, ExtensionSource source, HKEY root, RegistryView view, const std::wstring& entry,
           std::size_t occurrence, const std::wstring& id, const std::wstring& file = L"", bool fileIsPath = false) {
    return {browser, source, root, view, entry, occurrence, id, file, fileIsPath, id};
}

std::vector<Row> ListAll() {
    std::vector<Row> rows;
    EXPECT_EQ(EnumerateBrowserExtensionEntries([&](const BrowserExtension& e) { rows.push_back(RowOf(e)); }), 0u);
    return rows;
}

void SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, REGSAM view = 0,
             DWORD type = REG_SZ) {
    ASSERT_EQ(test::SetString(root, path, name, text, type, view), ERROR_SUCCESS);
}
// A string value whose data is exactly these units, without a terminator (a unit other than NUL
// follows them in memory, or Wine would store one).
void SetUnterminated(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text,
                     REGSAM view = 0) {
    const std::wstring followed = text + L"X";
    ASSERT_EQ(test::SetBinary(root, path, name, followed.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                              REG_SZ, view),
              ERROR_SUCCESS);
    const auto stored = test::GetValue(root, path, name, view);
    ASSERT_TRUE(stored && stored->data.size() == text.size() * sizeof(wchar_t));
}

// Every key and value below the sources, by path, for "nothing else changed".
using Snapshot = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;
void Take(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& label, Snapshot& into) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    into[label + L"\\"] = {};
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD length = 16384, type = 0, size = 0;
        if (::RegEnumValueW(key, i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size);
        length = 16384;
        ::RegEnumValueW(key, i, name, &length, nullptr, &type, data.data(), &size);
        into[label + L"|" + name] = {type, data};
    }
    for (const auto& sub : test::SubkeyNames(root, path, view)) {
        Take(root, path + L"\\" + sub, view, label + L"\\" + sub, into);
    }
    ::RegCloseKey(key);
}
Snapshot Everything() {
    Snapshot all;
    for (const auto& keys : kExtensionBrowsers) {
        for (const HKEY root : {kLM, kCU}) {
            const std::wstring hive = root == kLM ? L"HKLM\\" : L"HKCU\\";
            Take(root, keys.policies, 0, hive + keys.policies, all);
            Take(root, keys.external, 0, hive + keys.external, all);
        }
        Take(kLM, keys.external, k32, std::wstring(L"HKLM32\\") + keys.external, all);
    }
    return all;
}

std::wstring LocalAppData() {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}
void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(path);
            } else {
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}
// Writes the file, making its folders.
void WriteProfileFile(const std::wstring& path, const std::string& bytes) {
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS ||
                  ::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES,
              true);
    ASSERT_TRUE(test::WriteFileBytes(path, bytes));
}
// The copy of one extension in a profile of a browser: "<User Data>\<profile>\Extensions\<id>\<version>".
std::wstring CopyFolder(ExtensionBrowser browser, const std::wstring& profile, const std::wstring& id,
                        const std::wstring& version = L"1.0_0") {
    return LocalAppData() + L"\\" + Keys(browser).userData + L"\\" + profile + L"\\Extensions\\" + id + L"\\" + version;
}

// The sources of all three browsers in both hives and views, and their profile folders, are
// removed before and after each test.
class BrowserExtensionTest : public ::testing::Test {
protected:
    static std::vector<std::wstring> Paths(bool withPolicies) {
        std::vector<std::wstring> paths;
        for (const auto& keys : kExtensionBrowsers) {
            if (withPolicies) paths.push_back(keys.policies);
            paths.push_back(keys.external);
        }
        return paths;
    }
    static void RemoveProfiles() {
        for (const auto& keys : kExtensionBrowsers) RemoveFolder(LocalAppData() + L"\\" + keys.userData);
    }
    void SetUp() override { RemoveProfiles(); }
    void TearDown() override { RemoveProfiles(); }

    test::ScopedKeys machine{kLM, Paths(true)};
    test::ScopedKeys machine32{kLM, Paths(false), k32};
    test::ScopedKeys user{kCU, Paths(true)};
};

using BrowserExtensionRoutines = BrowserExtensionTest;

const std::wstring kStoreUrl = L"https://clients2.google.com/service/update2/crx";

TEST_F(BrowserExtensionRoutines, EveryLayoutIsOneRowThatKeepsItsEntry) {
    SetText(kLM, ForceList(kChrome), L"1", Id(1) + L";" + kStoreUrl);
    SetText(kLM, ForceList(kChrome), L"2", Id(2));
    SetText(kCU, ForceList(kEdge), L"1", Id(3));
    SetText(kCU, ForceList(kChromium), L"7", Id(11) + L";https://x/%APPDATA%", 0, REG_EXPAND_SZ);  // not expanded
    SetText(kLM, Policies(kChrome), kExtensionSettingsValue,
            L"{\"" + Id(4) + L"\": {\"installation_mode\": \"force_installed\", \"update_url\": \"https://u/4\"},\n"
            L" \"*\": {\"installation_mode\": \"blocked\"},\n \"" + Id(5) +
            L"\": {\"installation_mode\": \"normal_installed\"},\n \"" + Id(6) +
            L"\": {\"installation_mode\": \"allowed\"},\n \"" + Id(4) +
            L"\": {\"installation_mode\": \"force_installed\"}}");
    SetText(kCU, Policies(kEdge), kExtensionSettingsValue,
            L"{\"" + Id(7) + L"\":{\"installation_mode\":\"normal_installed\",\"update_url\":\"https://u/7\"}}");
    SetText(kLM, External(kChromium) + L"\\" + Id(8), L"update_url", L"https://u/8");
    SetText(kLM, External(kChrome) + L"\\" + Id(9), L"path", L"C:\\ext\\nine.crx", k32);
    SetText(kLM, External(kChrome) + L"\\" + Id(9), L"version", L"1.0", k32);
    SetText(kCU, External(kEdge) + L"\\" + Id(10), L"update_url", L"https://u/10");
    // update_url wins over path, as the browser reads it.
    SetText(kLM, External(kEdge) + L"\\" + Id(12), L"update_url", L"https://u/12");
    SetText(kLM, External(kEdge) + L"\\" + Id(12), L"path", L"C:\\ext\\twelve.crx");

    const std::vector<Row> expected = {
        Listed(kChrome, kList, kLM, k64View, L"1", 0, Id(1), kStoreUrl),
        Listed(kChrome, kList, kLM, k64View, L"2", 0, Id(2)),
        Listed(kEdge, kList, kCU, k64View, L"1", 0, Id(3)),
        Listed(kChromium, kList, kCU, k64View, L"7", 0, Id(11), L"https://x/%APPDATA%"),
        Listed(kChrome, kSettings, kLM, k64View, Id(4), 0, Id(4), L"https://u/4"),
        Listed(kChrome, kSettings, kLM, k64View, Id(5), 0, Id(5)),
        Listed(kChrome, kSettings, kLM, k64View, Id(4), 1, Id(4)),
        Listed(kEdge, kSettings, kCU, k64View, Id(7), 0, Id(7), L"https://u/7"),
        Listed(kChrome, kExternal, kLM, k32View, Id(9), 0, Id(9), L"C:\\ext\\nine.crx", true),
        Listed(kEdge, kExternal, kLM, k64View, Id(12), 0, Id(12), L"https://u/12"),
        Listed(kEdge, kExternal, kCU, k64View, Id(10), 0, Id(10), L"https://u/10"),
        Listed(kChromium, kExternal, kLM, k64View, Id(8), 0, Id(8), L"https://u/8"),
    };
    EXPECT_EQ(ListAll(), expected);
    EXPECT_EQ(EnumerateBrowserExtensionEntries({}), kNoSink);
}

TEST_F(BrowserExtensionRoutines, MalformedValuesAddNoRowAndChangeNothing) {
    const std::wstring valid = Id(1);
    // The force list: only "1" is an entry the browser takes.
    SetText(kLM, ForceList(kChrome), L"1", valid);
    const DWORD number = 7;
    ASSERT_EQ(test::SetBinary(kLM, ForceList(kChrome), L"2", &number, sizeof(number), REG_DWORD), 0);
    ASSERT_EQ(test::SetBinary(kLM, ForceList(kChrome), L"3", valid.c_str(),
                              static_cast<DWORD>((valid.size() + 1) * sizeof(wchar_t)), REG_BINARY),
              0);
    ASSERT_EQ(test::SetBinary(kLM, ForceList(kChrome), L"4", (valid + L'\0' + L'\0').c_str(),
                              static_cast<DWORD>((valid.size() + 2) * sizeof(wchar_t)), REG_MULTI_SZ),
              0);
    SetUnterminated(kLM, ForceList(kChrome), L"5", Id(2));
    SetText(kLM, ForceList(kChrome), L"6", valid.substr(1));                   // 31 letters
    SetText(kLM, ForceList(kChrome), L"7", valid + L"a");                      // 33
    SetText(kLM, ForceList(kChrome), L"8", L"q" + valid.substr(1));            // beyond p
    SetText(kLM, ForceList(kChrome), L"9", L" " + valid);
    SetText(kLM, ForceList(kChrome), L"10", L"");
    SetText(kLM, ForceList(kChrome), L"first", Id(3));                         // not a list item
    SetText(kLM, ForceList(kChrome), L"99999999999", Id(3));
    ASSERT_EQ(test::SetBinary(kLM, ForceList(kChrome), L"11", "\x01", 1, REG_SZ), 0);  // an odd byte
    // Settings that are no object of objects give no row at all, the valid member included.
    const std::wstring member = L"\"" + Id(4) + L"\":{\"installation_mode\":\"force_installed\"}";
    ASSERT_EQ(test::SetDword(kLM, Policies(kEdge), kExtensionSettingsValue, 1), 0);
    SetText(kCU, Policies(kChrome), kExtensionSettingsValue, L"{" + member);
    SetText(kCU, Policies(kEdge), kExtensionSettingsValue, L"[{" + member + L"}]");
    SetText(kLM, Policies(kChromium), kExtensionSettingsValue, L"{" + member + L",\"x\":1}");
    SetText(kCU, Policies(kChromium), kExtensionSettingsValue,
            std::wstring(10000, L'[') + std::wstring(10000, L']'));
    SetUnterminated(kLM, Policies(kChrome), kExtensionSettingsValue, L"{" + member + L"}");
    // External subkeys.
    SetText(kLM, External(kChrome) + L"\\" + Id(5).substr(1), L"update_url", L"https://u");
    ASSERT_EQ(test::CreateKey(kLM, External(kChrome) + L"\\" + Id(6)), 0);  // neither value
    ASSERT_EQ(test::SetDword(kLM, External(kEdge) + L"\\" + Id(7), L"update_url", 1), 0);
    SetUnterminated(kLM, External(kEdge) + L"\\" + Id(8), L"update_url", L"https://u", k32);
    SetText(kCU, External(kChromium) + L"\\" + Id(9) + L"z", L"update_url", L"https://u");
    // A wrong update_url leaves the path to the browser.
    ASSERT_EQ(test::SetDword(kLM, External(kChromium) + L"\\" + Id(10), L"update_url", 1), 0);
    SetText(kLM, External(kChromium) + L"\\" + Id(10), L"path", L"C:\\ext\\ten.crx");

    // A subkey whose name holds a NUL after a valid identifier: the browser opens the key the text
    // before the NUL names, which is not there.
    HKEY external = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(kLM, External(kChrome).c_str(), 0, KEY_ALL_ACCESS, &external), ERROR_SUCCESS);
    HKEY hidden = test::CreateKeyWithRawName(external, Id(11) + L'\0' + L"x");
    ASSERT_NE(hidden, nullptr);
    ASSERT_EQ(::RegSetValueExW(hidden, L"update_url", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"https://u"),
                               10 * sizeof(wchar_t)),
              ERROR_SUCCESS);

    const Snapshot before = Everything();
    EXPECT_EQ(ListAll(), (std::vector<Row>{Listed(kChrome, kList, kLM, k64View, L"1", 0, valid),
                                           Listed(kChromium, kExternal, kLM, k64View, Id(10), 0, Id(10),
                                                  L"C:\\ext\\ten.crx", true)}));
    EXPECT_EQ(Everything(), before);
    test::DeleteOpenKey(hidden);
    ::RegCloseKey(hidden);
    ::RegCloseKey(external);
}

double Milliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(BrowserExtensionRoutines, LargeListsAndTextsAreReadInTime) {
    // 10,000 list values, all but two of them no entry the browser takes.
    HKEY list = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(kLM, ForceList(kChrome).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &list,
                                nullptr),
              ERROR_SUCCESS);
    for (int n = 1; n <= 10000; ++n) {
        const std::wstring name = std::to_wstring(n);
        const std::wstring text = n == 17 || n == 9998 ? Id(n) : L"notanid" + name;  // (neither a multiple of 3)
        ::RegSetValueExW(list, name.c_str(), 0, n % 3 ? REG_SZ : REG_DWORD, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(n % 3 ? (text.size() + 1) * sizeof(wchar_t) : 4));
    }
    ::RegCloseKey(list);
    // A settings text of a megabyte with a forced member 10,000 deep in the middle.
    std::wstring big = L"{";
    for (int n = 0; big.size() < 512 * 1024; ++n) {
        big += L"\"m" + std::to_wstring(n) + L"\":{\"installation_mode\":\"allowed\",\"pad\":\"" +
               std::wstring(60, L'x') + L"\"},";
        if (n == 1000) {
            big += L"\"" + Id(5) + L"\":{\"installation_mode\":\"force_installed\",\"deep\":" +
                   std::wstring(10000, L'[') + std::wstring(10000, L']') + L"},";
        }
    }
    big += L"\"end\":{}}";
    SetText(kLM, Policies(kEdge), kExtensionSettingsValue, big);

    std::vector<Row> rows;
    const double ms = Milliseconds([&] { rows = ListAll(); });
    std::printf("10,000 list values and a %zu KB settings text listed in %.0f ms\n", big.size() * 2 / 1024, ms);
    ASSERT_EQ(rows, (std::vector<Row>{Listed(kChrome, kList, kLM, k64View, L"17", 0, Id(17)),
                                      Listed(kChrome, kList, kLM, k64View, L"9998", 0, Id(9998)),
                                      Listed(kEdge, kSettings, kLM, k64View, Id(5), 0, Id(5))}));

    // The deep member goes, every other character of the megabyte stays.
    ASSERT_EQ(DeleteBrowserExtension(EntryOf(rows[2])), ERROR_SUCCESS);
    const auto after = test::GetValue(kLM, Policies(kEdge), kExtensionSettingsValue);
    ASSERT_TRUE(after);
    const auto removed = RemoveSettingsMember(U16(big), 1001);
    ASSERT_TRUE(removed);
    EXPECT_EQ(U16(after->Text()), *removed);
    EXPECT_EQ(ListAll().size(), 2u);
}

// ---- deleting ----

struct Deletion {
    const char* name;
    Row row;
};

TEST_F(BrowserExtensionRoutines, DeleteRemovesExactlyTheEntryOfTheRow) {
    const std::wstring settings = L"{\"" + Id(4) + L"\": {\"installation_mode\": \"force_installed\"},\r\n \"" + Id(5) +
                                  L"\": {\"installation_mode\": \"normal_installed\", \"x\": [1, 2.5e3, null]}}";
    const auto seed = [&] {
        SetText(kLM, ForceList(kChrome), L"1", Id(1));
        SetText(kLM, ForceList(kChrome), L"2", Id(2));
        SetText(kLM, ForceList(kChrome), L"Note", L"kept");
        SetText(kCU, ForceList(kEdge), L"1", Id(3) + L";" + kStoreUrl);
        SetText(kLM, Policies(kChrome), kExtensionSettingsValue, settings, 0, REG_EXPAND_SZ);
        SetText(kLM, Policies(kChrome), L"HomepageLocation", L"https://example.test/");
        SetText(kLM, External(kChromium) + L"\\" + Id(6), L"update_url", L"https://u/6");
        SetText(kLM, External(kChromium) + L"\\" + Id(6) + L"\\sub", L"v", L"x");
        SetText(kLM, External(kChromium) + L"\\" + Id(6), L"update_url", L"https://u/6-32", k32);  // same id, 32-bit
        SetText(kCU, External(kChrome) + L"\\" + Id(7), L"path", L"C:\\ext\\seven.crx");
    };
    const Deletion deletions[] = {
        {"Chrome force list, HKLM", Listed(kChrome, kList, kLM, k64View, L"1", 0, Id(1))},
        {"Edge force list, HKCU", Listed(kEdge, kList, kCU, k64View, L"1", 0, Id(3), kStoreUrl)},
        {"Chrome settings member", Listed(kChrome, kSettings, kLM, k64View, Id(4), 0, Id(4))},
        {"Chromium external", Listed(kChromium, kExternal, kLM, k64View, Id(6), 0, Id(6), L"https://u/6")},
        {"Chromium external, 32-bit", Listed(kChromium, kExternal, kLM, k32View, Id(6), 0, Id(6), L"https://u/6-32")},
        {"Chrome external, HKCU",
         Listed(kChrome, kExternal, kCU, k64View, Id(7), 0, Id(7), L"C:\\ext\\seven.crx", true)},
    };
    for (const auto& d : deletions) {
        for (const auto& path : BrowserExtensionTest::Paths(true)) {
            test::DeleteTree(kLM, path);
            test::DeleteTree(kCU, path);
            test::DeleteTree(kLM, path, k32);
        }
        seed();
        const std::vector<Row> before = ListAll();
        ASSERT_EQ(before.size(), 8u) << d.name;
        ASSERT_NE(std::find(before.begin(), before.end(), d.row), before.end()) << d.name;
        Snapshot expected = Everything();
        const std::wstring hive = d.row.root == kLM ? (d.row.view == k32View ? L"HKLM32\\" : L"HKLM\\") : L"HKCU\\";
        switch (d.row.source) {
        case kList: expected.erase(hive + ForceList(d.row.browser) + L"|" + d.row.entry); break;
        case kSettings: {
            // The text less the member, every other character as it stood (what is left parses to
            // the same object less that member: the host test of the settings reader shows it).
            const auto rest = RemoveSettingsMember(U16(settings), 0);
            ASSERT_TRUE(rest);
            ASSERT_EQ(*rest, u"{\r\n \"" + U16(Id(5)) +
                                 u"\": {\"installation_mode\": \"normal_installed\", \"x\": [1, 2.5e3, null]}}");
            std::vector<BYTE> data(reinterpret_cast<const BYTE*>(rest->c_str()),
                                   reinterpret_cast<const BYTE*>(rest->c_str() + rest->size() + 1));
            expected[hive + Policies(d.row.browser) + L"|" + kExtensionSettingsValue] = {REG_EXPAND_SZ, data};
            break;
        }
        case kExternal: {
            const std::wstring key = hive + External(d.row.browser) + L"\\" + d.row.entry;
            std::erase_if(expected, [&](const auto& item) {
                return item.first.compare(0, key.size() + 1, key + L"\\") == 0 ||
                       item.first.compare(0, key.size() + 1, key + L"|") == 0;
            });
            break;
        }
        }
        const Snapshot seeded = Everything();
        test::BackupWatch backups;
        EXPECT_EQ(DeleteBrowserExtension(EntryOf(d.row)), ERROR_SUCCESS) << d.name;
        EXPECT_EQ(Everything(), expected) << d.name;
        std::vector<Row> left = before;
        std::erase(left, d.row);
        EXPECT_EQ(ListAll(), left) << d.name;
        // Its backup, imported, undoes it.
        const auto written = backups.Added();
        ASSERT_EQ(written.size(), 1u) << d.name;
        EXPECT_NE(written[0].find(L"浏览器加载项 删除 " + std::wstring(BrowserExtensionKindText(EntryOf(d.row))) +
                                  L" " + d.row.id),
                  std::wstring::npos)
            << d.name;
        ASSERT_TRUE(test::ImportNewestFirst(written)) << d.name;
        EXPECT_EQ(Everything(), seeded) << d.name;
    }
}

TEST_F(BrowserExtensionRoutines, DeleteActsOnlyWhileTheEntryIsTheOneShown) {
    SetText(kLM, ForceList(kChrome), L"1", Id(1));
    const std::wstring twice = L"{\"" + Id(2) + L"\":{\"installation_mode\":\"force_installed\"},\"" + Id(2) +
                               L"\":{\"installation_mode\":\"normal_installed\",\"update_url\":\"https://u/2\"}}";
    SetText(kLM, Policies(kChrome), kExtensionSettingsValue, twice);
    SetText(kLM, External(kEdge) + L"\\" + Id(3), L"update_url", L"https://u/3");
    const std::vector<Row> rows = ListAll();
    ASSERT_EQ(rows.size(), 4u);
    const Row list = rows[0], first = rows[1], second = rows[2], external = rows[3];
    ASSERT_EQ(second.occurrence, 1u);

    struct Case {
        const char* name;
        std::function<void()> change;
        Row row;
        LONG result;
    } cases[] = {
        {"list value now names another extension", [&] { SetText(kLM, ForceList(kChrome), L"1", Id(9)); }, list,
         ERROR_INVALID_DATA},
        {"list value now a number", [&] { ASSERT_EQ(test::SetDword(kLM, ForceList(kChrome), L"1", 1), 0); }, list,
         ERROR_INVALID_DATA},
        {"list value gone", [&] { ::RegDeleteKeyValueW(kLM, ForceList(kChrome).c_str(), L"1"); }, list,
         ERROR_FILE_NOT_FOUND},
        {"settings no longer parse", [&] { SetText(kLM, Policies(kChrome), kExtensionSettingsValue, twice + L","); },
         first, ERROR_INVALID_DATA},
        {"member no longer installs",
         [&] {
             std::wstring changed = twice;
             changed.replace(changed.find(L"force_installed"), 15, L"allowed");
             SetText(kLM, Policies(kChrome), kExtensionSettingsValue, changed);
         },
         first, ERROR_INVALID_DATA},
        {"second member gone",
         [&] {
             SetText(kLM, Policies(kChrome), kExtensionSettingsValue,
                     L"{\"" + Id(2) + L"\":{\"installation_mode\":\"force_installed\"}}");
         },
         second, ERROR_FILE_NOT_FOUND},
        {"external now another URL",
         [&] { SetText(kLM, External(kEdge) + L"\\" + Id(3), L"update_url", L"https://v"); }, external,
         ERROR_INVALID_DATA},
        {"external gone", [&] { test::DeleteTree(kLM, External(kEdge) + L"\\" + Id(3)); }, external,
         ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        c.change();
        const Snapshot before = Everything();
        EXPECT_EQ(DeleteBrowserExtension(EntryOf(c.row)), c.result) << c.name;
        EXPECT_EQ(Everything(), before) << c.name;
        // Put the fixture back.
        SetText(kLM, ForceList(kChrome), L"1", Id(1));
        SetText(kLM, Policies(kChrome), kExtensionSettingsValue, twice);
        SetText(kLM, External(kEdge) + L"\\" + Id(3), L"update_url", L"https://u/3");
    }

    // Without a backup, nothing is deleted.
    {
        test::FullDisk full;
        for (const Row& row : {list, first, external}) {
            const Snapshot before = Everything();
            EXPECT_NE(DeleteBrowserExtension(EntryOf(row)), ERROR_SUCCESS) << testing::PrintToString(row);
            EXPECT_EQ(Everything(), before) << testing::PrintToString(row);
        }
    }

    // Of a key that comes twice, the second member goes and the first stays.
    ASSERT_EQ(DeleteBrowserExtension(EntryOf(second)), ERROR_SUCCESS);
    EXPECT_EQ(test::GetValue(kLM, Policies(kChrome), kExtensionSettingsValue)->Text(),
              L"{\"" + Id(2) + L"\":{\"installation_mode\":\"force_installed\"}}");
    EXPECT_EQ(DeleteBrowserExtension(EntryOf(second)), ERROR_FILE_NOT_FOUND);
}

// ---- names ----

TEST_F(BrowserExtensionRoutines, NamesComeFromTheUsersInstalledCopy) {
    const std::string messages = R"({"APPNAME":{"message":"优惠助手"},"suffix":{"message":"Pro"}})";
    struct Case {
        const char* name;
        std::string manifest;
        std::string messagesAt;  // locale folder holding the messages ("" none)
        std::wstring expected;   // empty: the identifier
    } cases[] = {
        {"plain", R"({"name":"Coupon Finder","version":"1.0"})", "", L"Coupon Finder"},
        {"message", R"({"name":"__MSG_appName__","default_locale":"zh_CN"})", "zh_CN", L"优惠助手"},
        {"two messages", R"({"name":"__MSG_appName__ __MSG_suffix__","default_locale":"en"})", "en",
         L"优惠助手 Pro"},
        {"message without messages", R"({"name":"__MSG_appName__","default_locale":"zh_CN"})", "", L""},
        {"message without a locale", R"({"name":"__MSG_appName__"})", "zh_CN", L""},
        {"locale naming another folder", R"({"name":"__MSG_appName__","default_locale":"..\\zh_CN"})", "zh_CN", L""},
        {"not JSON", "name=Coupon", "", L""},
        {"empty name", R"({"name":""})", "", L""},
        {"too large", "{\"name\":\"Big\",\"pad\":\"" + std::string(4 * 1024 * 1024, 'x') + "\"}", "", L""},
    };
    int n = 100;
    for (const auto& c : cases) {
        const std::wstring id = Id(++n);
        SetText(kLM, ForceList(kChrome), std::to_wstring(n).c_str(), id);
        const std::wstring copy = CopyFolder(kChrome, L"Default", id);
        WriteProfileFile(copy + L"\\manifest.json", c.manifest);
        if (!c.messagesAt.empty()) {
            std::wstring locale(c.messagesAt.begin(), c.messagesAt.end());
            WriteProfileFile(copy + L"\\_locales\\" + locale + L"\\messages.json", messages);
        }
    }
    const auto rows = ListAll();
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].name, cases[i].expected.empty() ? rows[i].id : cases[i].expected) << cases[i].name;
    }
    EXPECT_EQ(ExtensionDisplayName(kChrome, Id(102)), L"优惠助手");
    EXPECT_EQ(ExtensionDisplayName(kChrome, Id(999)), L"");
}

TEST_F(BrowserExtensionRoutines, NamesAreTakenFromAnyProfileOfTheSameBrowserOnly) {
    SetText(kLM, ForceList(kEdge), L"1", Id(1));
    SetText(kLM, ForceList(kChrome), L"1", Id(1));
    SetText(kLM, ForceList(kChrome), L"2", Id(2));
    // Edge's copy in a second profile; Chrome's copy is broken in "Default", whole in another version.
    WriteProfileFile(CopyFolder(kEdge, L"Profile 3", Id(1)) + L"\\manifest.json", R"({"name":"Edge Helper"})");
    WriteProfileFile(CopyFolder(kChrome, L"Default", Id(2), L"1.0_0") + L"\\manifest.json", "{");
    WriteProfileFile(CopyFolder(kChrome, L"Default", Id(2), L"2.0_0") + L"\\manifest.json", R"({"name":"Two"})");
    // A file where a profile folder would be is no profile.
    WriteProfileFile(LocalAppData() + L"\\" + Keys(kChrome).userData + L"\\Local State", "{}");
    const auto rows = ListAll();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, Id(1));  // Chrome has no copy of it
    EXPECT_EQ(rows[1].name, L"Two");
    EXPECT_EQ(rows[2].name, L"Edge Helper");
}

// ---- the page ----

class BrowserExtensionPage : public BrowserExtensionTest {
protected:
    void SetUp() override {
        BrowserExtensionTest::SetUp();
        SetText(kLM, ForceList(kChrome), L"1", Id(1) + L";" + kStoreUrl);
        SetText(kCU, ForceList(kEdge), L"1", Id(2));
        SetText(kLM, Policies(kChrome), kExtensionSettingsValue,
                L"{\"" + Id(3) + L"\":{\"installation_mode\":\"force_installed\",\"update_url\":\"https://u/3\"}}");
        SetText(kLM, External(kChromium) + L"\\" + Id(4), L"path", L"C:\\ext\\four.crx");
        SetText(kLM, External(kChromium) + L"\\" + Id(4), L"version", L"1.2");
        WriteProfileFile(CopyFolder(kChrome, L"Default", Id(1)) + L"\\manifest.json",
                         R"({"name":"__MSG_n__","default_locale":"zh_CN"})");
        WriteProfileFile(CopyFolder(kChrome, L"Default", Id(1)) + L"\\_locales\\zh_CN\\messages.json",
                         R"({"n":{"message":"购物比价"}})");
        ASSERT_TRUE(host.Create(page, IDD_LISTPAGE));
    }
    void ClickRow(int row) {
        list.Select(row);
        list.RightClick(row);
    }
    int RowOfId(const std::wstring& id) { return list.RowOf(id, 4); }

    test::ScopedKeys helpers{kLM, {kHelperObjectsKey}};
    test::ScopedKeys classes{HKEY_CLASSES_ROOT, {L"CLSID\\{0ADD0000-0000-4000-8000-0000000000B1}"}};
    test::ScriptedPrompts prompts;
    test::PageHost host;
    CIELoaderDialog page;
    test::ListPageDriver list{page, prompts};
};

TEST_F(BrowserExtensionPage, RowsFollowTheAddOnsWithKindTextsThatFitTheColumn) {
    const std::wstring guid = L"{0ADD0000-0000-4000-8000-0000000000B1}";
    SetText(HKEY_CLASSES_ROOT, L"CLSID\\" + guid, nullptr, L"Search Helper");
    ASSERT_EQ(test::CreateKey(kLM, std::wstring(kHelperObjectsKey) + guid), 0);
    list.Command(ID_ADDON_REFRESH);
    EXPECT_EQ(list.Snapshot(), (test::ListPageDriver::Rows{
                                   {L"Search Helper", L"已启用", L"浏览器辅助对象", L"", guid},
                                   {L"购物比价", L"已启用", L"谷歌强制", kStoreUrl, Id(1)},
                                   {Id(2), L"已启用", L"Edge强制·户", L"", Id(2)},
                                   {Id(3), L"已启用", L"谷歌设置", L"https://u/3", Id(3)},
                                   {Id(4), L"已启用", L"Cr外部", L"C:\\ext\\four.crx", Id(4)},
                               }));
    EXPECT_EQ(list.RowColour(2), RGB(0, 0, 0));

    // Every kind text fits the column's 80 pixels with the list's margins (12 pixels) in its font.
    std::set<std::wstring> texts;
    BrowserExtension e;
    for (const auto& keys : kExtensionBrowsers) {
        for (const auto source : {kList, kSettings, kExternal}) {
            for (const auto& [root, view] : {std::pair{kLM, k64View}, {kLM, k32View}, {kCU, k64View}}) {
                e.browser = keys.browser;
                e.source = source;
                e.root = root;
                e.view = view;
                texts.insert(BrowserExtensionKindText(e));
            }
        }
    }
    EXPECT_EQ(texts.size(), 27u);
    const int column = static_cast<int>(page.List().SendMessage(LVM_GETCOLUMNWIDTH, 2, 0));
    EXPECT_EQ(column, 80);
    for (const auto& text : texts) {
        const auto textParam = reinterpret_cast<LPARAM>(text.c_str());
        const int width = static_cast<int>(page.List().SendMessage(LVM_GETSTRINGWIDTHW, 0, textParam));
        EXPECT_LE(width + 12, column) << testing::PrintToString(text);
        EXPECT_EQ(AddOnKindCode(text.c_str()), -1) << testing::PrintToString(text);  // never an add-on kind
    }
}

TEST_F(BrowserExtensionPage, MenuGreysDisableAndEnableAndLocatesOnlyAFile) {
    const std::set<UINT> deletable = {ID_ADDON_REFRESH, ID_ADDON_DELETE};
    ClickRow(RowOfId(Id(1)));
    EXPECT_EQ(list.EnabledItems(), deletable);
    ClickRow(RowOfId(Id(4)));
    EXPECT_EQ(list.EnabledItems(), (std::set<UINT>{ID_ADDON_REFRESH, ID_ADDON_DELETE, ID_ADDON_LOCATE}));
    list.Select(-1);
    list.RightClick(RowOfId(Id(4)));
    EXPECT_EQ(list.EnabledItems(), std::set<UINT>{ID_ADDON_REFRESH});

    // Disable and enable sent anyway change nothing; locate on a row without a file starts nothing.
    test::ProcessRecorder recorder;
    const Snapshot before = Everything();
    ClickRow(RowOfId(Id(1)));
    list.Command(ID_ADDON_DISABLE);
    list.Command(ID_ADDON_ENABLE);
    list.Command(ID_ADDON_LOCATE);
    EXPECT_EQ(list.Text(RowOfId(Id(1)), 1), L"已启用");
    EXPECT_FALSE(test::KeyExists(kCU, std::wstring(kAddOnSettingsKey) + Id(1)));
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(recorder.starts.empty());

    EXPECT_TRUE(recorder.selections.empty());

    // The .crx file, where it is.
    ::CreateDirectoryW(L"C:\\ext", nullptr);
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\ext\\four.crx", "Cr24"));
    ClickRow(RowOfId(Id(4)));
    list.Command(ID_ADDON_LOCATE);
    EXPECT_TRUE(recorder.starts.empty());
    EXPECT_EQ(recorder.selections, std::vector<std::wstring>{L"C:\\ext\\four.crx"});
    ::DeleteFileW(L"C:\\ext\\four.crx");
    ::RemoveDirectoryW(L"C:\\ext");
    EXPECT_TRUE(prompts.Messages().empty());
}

// The entry stays with its row through a sort: the row clicked is the entry deleted.
TEST_F(BrowserExtensionPage, DeleteAsksThenRemovesTheRowsEntryEvenAfterASort) {
    list.ClickColumn(2);  // by kind, descending
    const int row = RowOfId(Id(2));
    prompts.messageBoxAnswers = {IDNO};
    ClickRow(row);
    list.Command(ID_ADDON_DELETE);
    EXPECT_TRUE(test::GetValue(kCU, ForceList(kEdge), L"1"));
    EXPECT_EQ(list.Count(), 4);

    prompts.messageBoxAnswers = {IDYES};
    list.Command(ID_ADDON_DELETE);
    EXPECT_FALSE(test::GetValue(kCU, ForceList(kEdge), L"1"));
    EXPECT_TRUE(test::KeyExists(kCU, ForceList(kEdge)));
    EXPECT_EQ(list.ColumnTexts(4), (std::vector<std::wstring>{Id(1), Id(3), Id(4)}));  // listed anew, in order

    // The settings member and the external subkey, each by its row.
    prompts.messageBoxAnswers = {IDYES, IDYES};
    ClickRow(RowOfId(Id(3)));
    list.Command(ID_ADDON_DELETE);
    EXPECT_EQ(test::GetValue(kLM, Policies(kChrome), kExtensionSettingsValue)->Text(), L"{}");
    ClickRow(RowOfId(Id(4)));
    list.Command(ID_ADDON_DELETE);
    EXPECT_FALSE(test::KeyExists(kLM, External(kChromium) + L"\\" + Id(4)));
    EXPECT_TRUE(test::KeyExists(kLM, External(kChromium)));
    EXPECT_EQ(list.ColumnTexts(4), std::vector<std::wstring>{Id(1)});
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>(4, L"提示|确定要删除该项？"));
}

TEST_F(BrowserExtensionPage, ADeleteThatCannotBeMadeSaysSoAndChangesNothing) {
    const int row = RowOfId(Id(3));
    // The settings were changed since the listing into a text that does not parse.
    const std::wstring broken = L"{\"" + Id(3) + L"\":{\"installation_mode\":\"force_installed\",}}";
    SetText(kLM, Policies(kChrome), kExtensionSettingsValue, broken);
    const Snapshot before = Everything();
    prompts.messageBoxAnswers = {IDYES};
    ClickRow(row);
    list.Command(ID_ADDON_DELETE);
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::wstring>{L"提示|确定要删除该项？", L"提示|删除失败"}));
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(RowOfId(Id(3)), -1);  // listed anew: the broken text gives no row
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(BrowserExtensionPage, DemoSeedShowsAForcedChromeAndAnExternalEdgeExtension) {
    const std::wstring seed =
        test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) + L"\\scripts\\seed\\76-browsers.reg";
    for (const auto& path : BrowserExtensionTest::Paths(true)) {
        test::DeleteTree(kLM, path);
        test::DeleteTree(kCU, path);
    }
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    list.Command(ID_ADDON_REFRESH);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Text(0, 2), L"谷歌强制");
    EXPECT_EQ(list.Text(1, 2), L"Edge外部");
    for (int row = 0; row < 2; ++row) EXPECT_TRUE(IsExtensionId(U16(list.Text(row, 4)))) << row;
}

}  // namespace
