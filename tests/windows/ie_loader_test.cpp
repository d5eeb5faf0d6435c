// Browser add-ons under Wine: the three sources read from registry fixtures, the per-user state,
// indirect names read from a module that must never run, and the real page with its menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "pages/ie_loader_dialog.h"
#include "repair/ie_loader.h"
#include "repair/key_names.h"
#include "resource.h"
#include "support/files.h"
#include "support/list_page.h"
#include "support/process_recorder.h"
#include "support/raw_registry.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kHelpers = kHelperObjectsKey;
const std::wstring kPreApproved = kPreApprovedKey;
const std::wstring kExtensions = kExtensionsKey;
const std::wstring kSettings = kAddOnSettingsKey;
constexpr COLORREF kPurple = 0x00A000A0;
constexpr COLORREF kBlack = RGB(0, 0, 0);
using lark::RegistryView;
constexpr REGSAM k32 = KEY_WOW64_32KEY;  // fixtures of the 32-bit view
// Where the 32-bit view keeps the helper objects on 64-bit Windows.
const std::wstring kHelpersBelowWow6432Node =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BROWSER HELPER OBJECTS\\";

std::wstring Guid(int n) {
    wchar_t text[64];
    wsprintfW(text, L"{0ADD0000-0000-4000-8000-%012d}", n);
    return text;
}
std::wstring ClsidKey(const std::wstring& guid) { return L"CLSID\\" + guid; }

// The CLSID registration (of the view): a default value unless name is null, an InprocServer32
// default value unless file is null.
void Register(const std::wstring& guid, const wchar_t* name, const wchar_t* file, DWORD fileType = REG_SZ,
              REGSAM view = 0) {
    ASSERT_EQ(test::CreateKey(HKEY_CLASSES_ROOT, ClsidKey(guid), view), ERROR_SUCCESS);
    if (name) {
        ASSERT_EQ(test::SetString(HKEY_CLASSES_ROOT, ClsidKey(guid), nullptr, name, REG_SZ, view), ERROR_SUCCESS);
    }
    if (file) {
        ASSERT_EQ(test::SetString(HKEY_CLASSES_ROOT, ClsidKey(guid) + L"\\InprocServer32", nullptr, file, fileType,
                                  view),
                  ERROR_SUCCESS);
    }
}
void Register32(const std::wstring& guid, const wchar_t* name, const wchar_t* file) {
    Register(guid, name, file, REG_SZ, k32);
}
void AddTo(const std::wstring& source, const std::wstring& keyName, REGSAM view = 0) {
    ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, source + keyName, view), ERROR_SUCCESS);
}
void SetFlags(const std::wstring& keyName, DWORD flags) {
    ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kSettings + keyName, L"Flags", flags), ERROR_SUCCESS);
}
void SetExtensionValue(const std::wstring& keyName, const wchar_t* value, const std::wstring& text) {
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kExtensions + keyName, value, text), ERROR_SUCCESS);
}

struct AddOn {
    std::wstring name, file;
    int enabled, kind;
    std::wstring keyName;
    RegistryView view = RegistryView::Bits64;
    bool operator==(const AddOn&) const = default;
};
void PrintTo(const AddOn& a, std::ostream* os) {
    *os << testing::PrintToString(a.name) << " " << testing::PrintToString(a.file) << " enabled " << a.enabled
        << " kind " << a.kind << " " << testing::PrintToString(a.keyName)
        << (a.view == RegistryView::Bits32 ? " 32-bit" : " 64-bit");
}

// The test module with string resources, copied into the test's own folder; its entry point
// would leave "<path>.loaded" beside it.
class StringModule {
public:
    StringModule() : path_(test::TempPath(L"addon_strings.dll")) {
        const std::wstring built =
            test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")) + L"\\addon\\addon_strings.dll";
        copied_ = ::CopyFileW(built.c_str(), path_.c_str(), FALSE) != 0;
        ::DeleteFileW(Mark().c_str());
    }
    bool Copied() const { return copied_; }
    const std::wstring& Path() const { return path_; }
    std::wstring Mark() const { return path_ + L".loaded"; }
    bool Ran() const { return ::GetFileAttributesW(Mark().c_str()) != INVALID_FILE_ATTRIBUTES; }

private:
    std::wstring path_;
    bool copied_ = false;
};

// Every source and the test CLSIDs of both views, and the settings key, are removed before and
// after each test.
class AddOnTest : public ::testing::Test {
protected:
    static std::vector<std::wstring> ClsidKeys() {
        std::vector<std::wstring> keys;
        for (int n = 0; n < 20; ++n) keys.push_back(ClsidKey(Guid(n)));
        return keys;
    }

    test::ScopedKeys sources{HKEY_LOCAL_MACHINE, {kHelpers, kPreApproved, kExtensions}};
    test::ScopedKeys sources32{HKEY_LOCAL_MACHINE, {kHelpers, kPreApproved, kExtensions}, k32};
    test::ScopedKeys classes{HKEY_CLASSES_ROOT, ClsidKeys()};
    test::ScopedKeys classes32{HKEY_CLASSES_ROOT, ClsidKeys(), k32};
    test::ScopedKeys settings{HKEY_CURRENT_USER, {kSettings}};
};

class AddOnRoutines : public AddOnTest {
protected:
    std::vector<AddOn> rows;
    AddOnSink Collect() {
        return [this](const wchar_t* name, const wchar_t* file, int enabled, int kind, const wchar_t* keyName,
                      RegistryView view) { rows.push_back({name, file, enabled, kind, keyName, view}); };
    }
};

TEST_F(AddOnRoutines, ClsidSourcesListObjectsWithARegisteredNameAndTheirFileAsStored) {
    const std::wstring longName(259, L'n');
    Register(Guid(1), L"Helper One", L"%SystemRoot%\\system32\\one.dll", REG_EXPAND_SZ);
    Register(Guid(2), nullptr, L"C:\\nameless.dll");  // no default value: not listed
    // Guid(3) has no CLSID key at all: not listed
    Register(Guid(4), L"No Server", nullptr);
    Register(Guid(5), L"Empty Server", nullptr);
    ASSERT_EQ(test::CreateKey(HKEY_CLASSES_ROOT, ClsidKey(Guid(5)) + L"\\InprocServer32"), ERROR_SUCCESS);
    Register(Guid(6), longName.c_str(), (L"C:\\" + std::wstring(256, L'f')).c_str());
    Register(Guid(7), (longName + L"x").c_str(), L"C:\\toolong.dll");  // does not fit: not listed
    for (int n = 1; n <= 7; ++n) AddTo(kHelpers, Guid(n));
    AddTo(kPreApproved, Guid(1));
    AddTo(kPreApproved, Guid(3));

    EXPECT_EQ(EnumerateAddOns(Collect()), 2u);  // the extensions source is missing
    const std::vector<AddOn> expected = {
        {L"Helper One", L"%SystemRoot%\\system32\\one.dll", 1, 2, Guid(1)},
        {L"No Server", L"", 1, 2, Guid(4)},
        {L"Empty Server", L"", 1, 2, Guid(5)},
        {longName, L"C:\\" + std::wstring(256, L'f'), 1, 2, Guid(6)},
        {L"Helper One", L"%SystemRoot%\\system32\\one.dll", 1, 0, Guid(1)},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(AddOnRoutines, DisabledExactlyWhenFlagsReadsAsFourBytesHoldingOne) {
    const BYTE one[8] = {1};
    struct Case {
        const char* name;
        DWORD type;
        DWORD size;  // of `one`; 0 with type REG_NONE: no value; ~0u: no settings key
        int disabled;
    } cases[] = {
        {"no settings key", REG_NONE, ~0u, 0},
        {"no Flags value", REG_NONE, 0, 0},
        {"dword 1", REG_DWORD, 4, 1},
        {"binary 01 00 00 00", REG_BINARY, 4, 1},
        {"one byte", REG_BINARY, 1, 0},
        {"qword 1", REG_QWORD, 8, 0},
    };
    for (const auto& c : cases) {
        test::DeleteTree(HKEY_CURRENT_USER, kSettings);
        const std::wstring key = kSettings + Guid(1);
        if (c.size != ~0u) {
            ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, key), ERROR_SUCCESS);
        }
        if (c.type != REG_NONE) {
            ASSERT_EQ(test::SetBinary(HKEY_CURRENT_USER, key, L"Flags", one, c.size, c.type), 0);
        }
        EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), c.disabled) << c.name;
    }
    for (const DWORD flags : {0u, 2u, 0x101u}) {
        SetFlags(Guid(1), flags);
        EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 0) << flags;
    }
    SetFlags(Guid(1), 1);
    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);
    // Key names are matched as the registry matches them.
    std::wstring lower = Guid(1);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    EXPECT_EQ(IsAddOnDisabled(lower.c_str()), 1);
}

TEST_F(AddOnRoutines, ExtensionsTakeMenuTextThenButtonTextAndReadIndirectNamesWithoutRunningTheModule) {
    StringModule module;
    ASSERT_TRUE(module.Copied());
    const std::wstring at = L"@" + module.Path() + L",-";
    const std::wstring appData = test::Env(L"APPDATA");
    ASSERT_GT(appData.size(), 9u);  // longer than "%APPDATA%"
    struct Case {
        const wchar_t* key;
        const wchar_t* menuText;   // null: no value
        const wchar_t* buttonText;
        const wchar_t* exec;
        std::wstring name, file;
    };
    std::wstring cut;  // the 270-character string comes back in 259
    for (int i = 0; i < 26; ++i) cut += L"ABCDEFGHIJ";
    cut.resize(259);
    const std::wstring menus[] = {at + L"1234", at + L"1235", at + L"999", at + L"2000"};
    // Expanded, 259 characters and the terminator; one more does not fit.
    const std::wstring tail(259 - appData.size(), L'x');
    const std::wstring fits = L"%APPDATA%" + tail, overflows = fits + L"x";
    const std::wstring unreadable(260, L'e');
    const Case cases[] = {
        {L"a-both", L"Menu", L"Button", L"%SystemRoot%\\pt.exe", L"Menu", L"C:\\windows\\pt.exe"},
        {L"b-button", nullptr, L"Button", nullptr, L"Button", L""},
        {L"c-neither", nullptr, nullptr, L"C:\\x.exe", L"", L"C:\\x.exe"},
        {L"d-indirect", menus[0].c_str(), L"Button", nullptr, L"网页翻译工具栏", L""},
        {L"e-indirect-button", nullptr, menus[1].c_str(), nullptr, L"Page Tools", L""},
        {L"f-no-such-string", menus[2].c_str(), nullptr, nullptr, L"", L""},
        {L"g-long-string", menus[3].c_str(), nullptr, nullptr, cut, L""},
        {L"h-no-comma", L"@pagetools.dll", nullptr, nullptr, L"@pagetools.dll", L""},
        {L"i-missing-module", L"@C:\\nowhere\\gone.dll,-1234", nullptr, nullptr, L"@C:\\nowhere\\gone.dll,-1234", L""},
        {L"j-exec-fits", nullptr, nullptr, fits.c_str(), L"", appData + tail},
        {L"k-exec-overflows", nullptr, nullptr, overflows.c_str(), L"", L""},
        {L"l-exec-unreadable", nullptr, nullptr, unreadable.c_str(), L"", L""},
    };
    std::vector<AddOn> expected;
    for (const auto& c : cases) {
        ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, kExtensions + c.key), ERROR_SUCCESS);
        if (c.menuText) SetExtensionValue(c.key, L"MenuText", c.menuText);
        if (c.buttonText) SetExtensionValue(c.key, L"ButtonText", c.buttonText);
        if (c.exec) SetExtensionValue(c.key, L"Exec", c.exec);
        expected.push_back({c.name, c.file, 1, 1, c.key});
    }
    SetFlags(L"b-button", 1);
    expected[1].enabled = 0;

    EXPECT_EQ(EnumerateBrowserExtensions(RegistryView::Bits64, Collect()), 0u);
    EXPECT_EQ(rows, expected);
    EXPECT_FALSE(module.Ran());

    EXPECT_EQ(ResolveIndirectString(menus[0].c_str()), L"网页翻译工具栏");
    EXPECT_EQ(ResolveIndirectString(L"plain text"), L"plain text");
    EXPECT_EQ(ResolveIndirectString(nullptr), L"");
    EXPECT_FALSE(module.Ran());
    // The mark works: loading the module to run it leaves one.
    HMODULE loaded = ::LoadLibraryW(module.Path().c_str());
    ASSERT_NE(loaded, nullptr);
    ::FreeLibrary(loaded);
    EXPECT_TRUE(module.Ran());
}

// Deleting the later entries from inside the sink makes the next enumeration fail.
TEST_F(AddOnRoutines, AnEnumerationErrorEndsOnlyItsOwnSource) {
    for (int n = 1; n <= 4; ++n) Register(Guid(n), (L"Object " + std::to_wstring(n)).c_str(), nullptr);
    for (int n = 1; n <= 3; ++n) AddTo(kHelpers, Guid(n));
    AddTo(kPreApproved, Guid(4));
    for (const wchar_t* key : {L"e1", L"e2", L"e3"}) SetExtensionValue(key, L"MenuText", key);

    std::vector<std::wstring> names;
    const DWORD result = EnumerateAddOns([&](const wchar_t* name, const wchar_t*, int, int, const wchar_t*, RegistryView) {
        names.push_back(name);
        if (names.size() == 1) {
            test::DeleteTree(HKEY_LOCAL_MACHINE, kHelpers + Guid(2));
            test::DeleteTree(HKEY_LOCAL_MACHINE, kHelpers + Guid(3));
        }
        if (std::wstring(name) == L"e1") test::DeleteTree(HKEY_LOCAL_MACHINE, kExtensions + L"e2");
    });
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    // Extensions go on past a failed enumeration: e3 moved up to the index e2 had.
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Object 1", L"Object 4", L"e1", L"e3"}));
}

TEST_F(AddOnRoutines, EmptySinksAndMissingSources) {
    for (const RegistryView view : lark::kRegistryViews) {
        EXPECT_EQ(EnumerateClsidAddOns(kHelperObjectsKey, 2, view, AddOnSink{}), 0xB0000001u);
        EXPECT_EQ(EnumerateBrowserExtensions(view, AddOnSink{}), 0xB0000001u);
        EXPECT_EQ(EnumerateClsidAddOns(kPreApprovedKey, 0, view, Collect()), 2u);
        EXPECT_EQ(EnumerateBrowserExtensions(view, Collect()), 2u);
    }
    EXPECT_EQ(EnumerateAddOns(AddOnSink{}), 0xB0000001u);
    for (const auto& source : {kHelpers, kPreApproved, kExtensions}) test::CreateKey(HKEY_LOCAL_MACHINE, source);
    EXPECT_EQ(EnumerateAddOns(Collect()), 2u);  // the sources of the 32-bit view are missing
    for (const auto& source : {kHelpers, kPreApproved, kExtensions}) test::CreateKey(HKEY_LOCAL_MACHINE, source, k32);
    EXPECT_EQ(EnumerateAddOns(Collect()), 0u);
    EXPECT_TRUE(rows.empty());
}

// A subkey whose name holds a NUL is loaded by the browser under the text before the NUL: it is
// listed, marked, with what that text names (an extension with its own values, read through its
// exact name), and no routine acts on it: not on the add-on its start names, nor on the source.
TEST_F(AddOnRoutines, SubkeysWhoseNameHoldsANulAreListedMarkedAndNeverActedOn) {
    Register(Guid(1), L"Hidden Helper", L"C:\\hidden.dll");
    SetFlags(Guid(1), 1);
    SetExtensionValue(Guid(3), L"MenuText", L"Genuine Tool");
    test::RawNamedKey helper(HKEY_LOCAL_MACHINE, kHelpers, Guid(1) + std::wstring(L"\0x", 2));
    test::RawNamedKey control(HKEY_LOCAL_MACHINE, kPreApproved, std::wstring(L"\0y", 2));  // names the source
    test::RawNamedKey extension(HKEY_LOCAL_MACHINE, kExtensions, Guid(3) + std::wstring(L"\0z", 2));
    ASSERT_TRUE(helper.get() && control.get() && extension.get());
    ASSERT_EQ(extension.SetString(L"MenuText", L"Hidden Tool"), ERROR_SUCCESS);
    ASSERT_EQ(extension.SetString(L"Exec", L"C:\\hidden.exe"), ERROR_SUCCESS);

    EnumerateAddOns(Collect());  // the 32-bit view has no sources here
    const std::vector<AddOn> expected = {
        {L"Hidden Helper", L"C:\\hidden.dll", 0, kAddOnHelperObject, L"〔含空字符〕" + Guid(1) + L"\\0"},
        {L"", L"", 1, kAddOnActiveX, L"〔含空字符〕\\0"},
        {L"Genuine Tool", L"", 1, kAddOnExtension, Guid(3)},
        {L"Hidden Tool", L"C:\\hidden.exe", 1, kAddOnExtension, L"〔含空字符〕" + Guid(3) + L"\\0"},
    };
    EXPECT_EQ(rows, expected);

    for (const AddOn& row : rows) {
        if (row.keyName.find(L'\\') == std::wstring::npos) continue;
        for (const int enable : {0, 1}) {
            EXPECT_EQ(SetAddOnEnabled(row.keyName.c_str(), enable), ERROR_INVALID_PARAMETER);
        }
        EXPECT_EQ(DeleteAddOn(row.kind, row.keyName.c_str(), row.view), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(IsAddOnDisabled(row.keyName.c_str()), 0);
    }
    // A name with a backslash would name a key below another add-on's.
    AddTo(kPreApproved, Guid(2) + L"\\child");
    EXPECT_EQ(DeleteAddOn(kAddOnActiveX, (Guid(2) + L"\\child").c_str(), RegistryView::Bits64), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2) + L"\\child"));

    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);
    EXPECT_EQ(test::SubkeyNames(HKEY_CURRENT_USER, kSettings), std::vector<std::wstring>{Guid(1)});
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kExtensions + Guid(3)));
    for (const auto& source : {kHelpers, kExtensions}) {
        EXPECT_EQ(test::SubkeyNames(HKEY_LOCAL_MACHINE, source).size(), source == kHelpers ? 1u : 2u);
    }
    EXPECT_EQ(test::SubkeyNames(HKEY_LOCAL_MACHINE, kPreApproved).size(), 2u);
}

TEST_F(AddOnRoutines, SettingTheStateWritesOrDeletesOnlyTheAddOnsSettingsKey) {
    const std::wstring key = kSettings + Guid(1);
    ASSERT_EQ(test::SetString(HKEY_CURRENT_USER, key, L"Other", L"kept"), ERROR_SUCCESS);
    EXPECT_EQ(SetAddOnEnabled(Guid(1).c_str(), 0), ERROR_SUCCESS);
    const auto flags = test::GetValue(HKEY_CURRENT_USER, key, L"Flags");
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(flags->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(flags->data, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_TRUE(test::GetValue(HKEY_CURRENT_USER, key, L"Other").has_value());
    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);

    EXPECT_EQ(SetAddOnEnabled(Guid(1).c_str(), 1), ERROR_SUCCESS);
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_EQ(SetAddOnEnabled(Guid(1).c_str(), 1), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, key + L"\\sub"), ERROR_SUCCESS);
    EXPECT_EQ(SetAddOnEnabled(Guid(1).c_str(), 1), ERROR_ACCESS_DENIED);  // a single key only
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, key + L"\\sub"));

    // An empty name would be the settings key itself; a name whose path exceeds 260 characters
    // would be cut to another key's. Neither is touched.
    for (const int enable : {0, 1}) {
        EXPECT_EQ(SetAddOnEnabled(L"", enable), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(SetAddOnEnabled(std::wstring(205, L'k').c_str(), enable), ERROR_INSUFFICIENT_BUFFER);
    }
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kSettings));
    EXPECT_EQ(test::SubkeyNames(HKEY_CURRENT_USER, kSettings), std::vector<std::wstring>{Guid(1)});
    const std::wstring longest(204, L'k');  // 55 + 204 characters: fits
    EXPECT_EQ(SetAddOnEnabled(longest.c_str(), 0), ERROR_SUCCESS);
    EXPECT_EQ(IsAddOnDisabled(longest.c_str()), 1);
}

TEST_F(AddOnRoutines, DeleteRemovesOnlyTheSubkeyInTheSourceOfItsKind) {
    Register(Guid(1), L"Everywhere", L"C:\\e.dll");
    AddTo(kHelpers, Guid(1));
    AddTo(kPreApproved, Guid(1) + L"\\child\\grandchild");
    AddTo(kExtensions, Guid(1));
    AddTo(kPreApproved, Guid(2));
    SetFlags(Guid(1), 1);

    EXPECT_EQ(DeleteAddOn(kAddOnActiveX, Guid(1).c_str(), RegistryView::Bits64), ERROR_SUCCESS);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kExtensions + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_CLASSES_ROOT, ClsidKey(Guid(1)) + L"\\InprocServer32"));
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kSettings + Guid(1)));

    EXPECT_EQ(DeleteAddOn(kAddOnHelperObject, Guid(1).c_str(), RegistryView::Bits64), ERROR_SUCCESS);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
    EXPECT_EQ(DeleteAddOn(kAddOnExtension, Guid(1).c_str(), RegistryView::Bits64), ERROR_SUCCESS);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kExtensions + Guid(1)));

    // Nothing is deleted for an unknown kind, an empty name (the whole source) or a path that
    // would not fit (cut, it would name another key).
    EXPECT_EQ(DeleteAddOn(3, Guid(2).c_str(), RegistryView::Bits64), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DeleteAddOn(kAddOnActiveX, L"", RegistryView::Bits64), ERROR_INVALID_PARAMETER);
    AddTo(kPreApproved, std::wstring(201, L'k'));
    EXPECT_EQ(DeleteAddOn(kAddOnActiveX, std::wstring(202, L'k').c_str(), RegistryView::Bits64), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(test::SubkeyNames(HKEY_LOCAL_MACHINE, kPreApproved).size(), 2u);
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + std::wstring(201, L'k')));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2)));
}

// ---- both registry views ----

TEST_F(AddOnRoutines, EachSourceIsListedIn64BitThen32BitViewWithItsOwnViewsClassRegistration) {
    // The same helper object in both views, registered differently in each.
    Register(Guid(1), L"Helper 64", L"C:\\Program Files\\H\\h64.dll");
    Register32(Guid(1), L"Helper 32", L"%SystemRoot%\\system32\\h32.dll");
    AddTo(kHelpers, Guid(1));
    AddTo(kHelpers, Guid(1), k32);
    Register32(Guid(2), L"Only 32", L"C:\\Program Files (x86)\\o\\o.dll");  // in the 32-bit view only
    AddTo(kHelpers, Guid(2), k32);
    Register(Guid(3), L"Only 64", nullptr);  // in the 64-bit view only
    AddTo(kHelpers, Guid(3));
    Register(Guid(4), L"Class of the other view", nullptr);  // listed 32-bit, registered 64-bit: not listed
    AddTo(kHelpers, Guid(4), k32);
    AddTo(kPreApproved, Guid(2), k32);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kExtensions + L"x32", L"ButtonText", L"Bar 32", REG_SZ, k32), 0);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kExtensions + L"x32", L"Exec", L"%SystemRoot%\\bar.exe", REG_SZ, k32), 0);
    SetFlags(Guid(2), 1);  // the settings key is shared: both views see it
    // The fixtures of the 32-bit view are where 64-bit Windows keeps them.
    ASSERT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpersBelowWow6432Node + Guid(2)));
    ASSERT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(2)));

    EXPECT_EQ(EnumerateAddOns(Collect()), 2u);  // the 64-bit extensions source is missing
    const auto b32 = RegistryView::Bits32;
    const std::vector<AddOn> expected = {
        {L"Helper 64", L"C:\\Program Files\\H\\h64.dll", 1, 2, Guid(1)},
        {L"Only 64", L"", 1, 2, Guid(3)},
        {L"Helper 32", L"%SystemRoot%\\system32\\h32.dll", 1, 2, Guid(1), b32},
        {L"Only 32", L"C:\\Program Files (x86)\\o\\o.dll", 0, 2, Guid(2), b32},
        {L"Only 32", L"C:\\Program Files (x86)\\o\\o.dll", 0, 0, Guid(2), b32},
        {L"Bar 32", L"C:\\windows\\bar.exe", 1, 1, L"x32", b32},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(AddOnRoutines, DeleteActsInTheGivenViewAndLeavesTheOther) {
    for (const REGSAM view : {REGSAM{0}, k32}) {
        AddTo(kHelpers, Guid(1) + L"\\child", view);
        AddTo(kExtensions, Guid(1), view);
    }
    EXPECT_EQ(DeleteAddOn(kAddOnHelperObject, Guid(1).c_str(), RegistryView::Bits32), ERROR_SUCCESS);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpersBelowWow6432Node + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1) + L"\\child"));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers, k32));  // only the add-on's subkey went

    EXPECT_EQ(DeleteAddOn(kAddOnExtension, Guid(1).c_str(), RegistryView::Bits64), ERROR_SUCCESS);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kExtensions + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kExtensions + Guid(1), k32));
    // Gone already: nothing to do, in either view.
    EXPECT_EQ(DeleteAddOn(kAddOnHelperObject, Guid(1).c_str(), RegistryView::Bits32), ERROR_SUCCESS);
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
}

TEST(AddOnKinds, TextsOfThe32BitViewCarryTheMarkAndReadBack) {
    struct Case {
        int kind;
        const wchar_t* text64;
        const wchar_t* text32;
    } cases[] = {
        {kAddOnHelperObject, L"浏览器辅助对象", L"浏览器辅助对象 (32位)"},
        {kAddOnActiveX, L"ActiveX插件", L"ActiveX插件 (32位)"},
        {kAddOnExtension, L"浏览器扩展", L"浏览器扩展 (32位)"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(AddOnKindText(c.kind), c.text64);
        EXPECT_STREQ(AddOnKindText(c.kind, RegistryView::Bits64), c.text64);
        EXPECT_STREQ(AddOnKindText(c.kind, RegistryView::Bits32), c.text32);
        for (const RegistryView view : lark::kRegistryViews) {
            RegistryView found = view == RegistryView::Bits32 ? RegistryView::Bits64 : RegistryView::Bits32;
            EXPECT_EQ(AddOnKindCode(AddOnKindText(c.kind, view), &found), c.kind);
            EXPECT_EQ(found, view);
        }
    }
    RegistryView found = RegistryView::Bits64;
    EXPECT_EQ(AddOnKindCode(L"ACTIVEX插件 (32位)", &found), kAddOnActiveX);  // case ignored
    EXPECT_EQ(found, RegistryView::Bits32);
    for (const wchar_t* other : {L"浏览器辅助对象(32位)", L"浏览器辅助对象 (64位)", L" (32位)", L""}) {
        found = RegistryView::Bits64;
        EXPECT_EQ(AddOnKindCode(other, &found), -1);
        EXPECT_EQ(found, RegistryView::Bits64);  // untouched
    }
    EXPECT_EQ(AddOnKindCode(nullptr), -1);
    EXPECT_STREQ(AddOnKindText(7, RegistryView::Bits32), L"");
}

TEST(AddOnFiles, A32BitAddOnsFileIsTheOneThe32BitBrowserLoads) {
    const std::wstring programFiles = test::Env(L"ProgramFiles");
    struct Case {
        const wchar_t* shown;
        RegistryView view;
        std::wstring loaded;
    } cases[] = {
        {L"%SystemRoot%\\system32\\h.dll", RegistryView::Bits64, L"%SystemRoot%\\system32\\h.dll"},
        {L"%SystemRoot%\\system32\\h.dll", RegistryView::Bits32, L"C:\\windows\\syswow64\\h.dll"},
        {L"C:\\Windows\\System32\\h.dll", RegistryView::Bits32, L"C:\\windows\\syswow64\\h.dll"},
        {L"%ProgramFiles%\\h.dll", RegistryView::Bits32, programFiles + L"\\h.dll"},
        {L"h.dll", RegistryView::Bits32, L"h.dll"},
        {L"", RegistryView::Bits32, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(AddOnFileLoaded(c.shown, c.view), c.loaded) << c.shown;
    EXPECT_EQ(AddOnFileLoaded(nullptr, RegistryView::Bits32), L"");
}

// ---- the page ----

class AddOnPage : public AddOnTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.Copied());
        Register(Guid(1), L"Search Helper", L"%SystemRoot%\\system32\\srch.dll");
        AddTo(kHelpers, Guid(1));
        Register(Guid(2), L"Player Control", L"C:\\windows\\player.ocx");
        AddTo(kPreApproved, Guid(2));
        SetFlags(Guid(2), 1);
        SetExtensionValue(Guid(3), L"MenuText", L"@" + module.Path() + L",-1234");
        SetExtensionValue(Guid(3), L"Exec", L"%SystemRoot%\\tools\\pt.exe");
        ASSERT_TRUE(host.Create(page, IDD_LISTPAGE));
    }

    std::wstring Text(int row, int column) { return list.Text(row, column); }
    int RowOf(const std::wstring& keyName) { return list.RowOf(keyName, 4); }
    // A right click on the row (-1: empty space) with that row selected (-1: none).
    void ClickRow(int row, int selected) {
        list.Select(selected);
        list.RightClick(row);
    }

    StringModule module;
    test::ScriptedPrompts prompts;
    test::PageHost host;
    CIELoaderDialog page;
    test::ListPageDriver list{page, prompts};
};

TEST_F(AddOnPage, ListsHelperObjectsThenControlsThenExtensions) {
    EXPECT_EQ(page.List().GetExtendedStyle(), static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.Columns(), (std::vector<test::ListPageDriver::Column>{
                                  {L"名 称", 120}, {L"状 态", 50}, {L"类  别", 80}, {L"文件路径", 200}, {L"CLISID", 250}}));
    const test::ListPageDriver::Rows expected = {
        {L"Search Helper", L"已启用", L"浏览器辅助对象", L"%SystemRoot%\\system32\\srch.dll", Guid(1)},
        {L"Player Control", L"已禁用", L"ActiveX插件", L"C:\\windows\\player.ocx", Guid(2)},
        {L"网页翻译工具栏", L"已启用", L"浏览器扩展", L"C:\\windows\\tools\\pt.exe", Guid(3)},
    };
    EXPECT_EQ(list.Snapshot(), expected);
    EXPECT_EQ(page.RowCounter(), 3);
    EXPECT_FALSE(module.Ran());
    EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(AddOnPage, DisabledRowsArePurpleInEveryCellAllOthersBlack) {
    struct Case {
        int guid;
        int flags;  // -1: no value; -2: no settings key
        const wchar_t* state;
        COLORREF colour;
    } cases[] = {
        {10, 1, L"已禁用", kPurple}, {11, 0, L"已启用", kBlack}, {12, 2, L"已启用", kBlack},
        {13, -1, L"已启用", kBlack}, {14, -2, L"已启用", kBlack},
    };
    for (const auto& c : cases) {
        Register(Guid(c.guid), L"Control", nullptr);
        AddTo(kPreApproved, Guid(c.guid));
        if (c.flags >= 0) SetFlags(Guid(c.guid), static_cast<DWORD>(c.flags));
        if (c.flags == -1) {
            ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, kSettings + Guid(c.guid)), ERROR_SUCCESS);
        }
    }
    list.Command(ID_ADDON_REFRESH);
    for (const auto& c : cases) {
        const int row = RowOf(Guid(c.guid));
        ASSERT_GE(row, 0) << c.guid;
        EXPECT_EQ(Text(row, 1), c.state) << c.guid;
        EXPECT_EQ(list.RowColour(row), c.colour) << c.guid;
    }
    EXPECT_EQ(list.RowColour(RowOf(Guid(2))), kPurple);
}

TEST_F(AddOnPage, MenuOffersDisableOrEnableByTheClickedRowsState) {
    const int enabledRow = RowOf(Guid(1)), disabledRow = RowOf(Guid(2));
    const std::set<UINT> rowCommands = {ID_ADDON_REFRESH, ID_ADDON_DELETE, ID_ADDON_LOCATE};
    auto with = [&](UINT id) {
        auto ids = rowCommands;
        ids.insert(id);
        return ids;
    };
    struct Case {
        const char* name;
        int row, selected;
        std::set<UINT> enabled;
    } cases[] = {
        {"enabled row", enabledRow, enabledRow, with(ID_ADDON_DISABLE)},
        {"disabled row", disabledRow, disabledRow, with(ID_ADDON_ENABLE)},
        {"enabled row, another selected", enabledRow, disabledRow, with(ID_ADDON_DISABLE)},
        {"nothing selected", enabledRow, -1, {ID_ADDON_REFRESH}},
        {"empty space, a row selected", -1, enabledRow, with(ID_ADDON_ENABLE)},  // an empty state is not "已启用"
    };
    for (const auto& c : cases) {
        ClickRow(c.row, c.selected);
        EXPECT_EQ(list.EnabledItems(), c.enabled) << c.name;
        EXPECT_EQ(page.ClickedRow(), c.row) << c.name;
    }
    EXPECT_EQ(list.MenuTexts(), (std::vector<std::wstring>{L"刷新列表", L"禁用此项", L"启用此项", L"删除此项", L"定位文件"}));
}

// Only the state cell changes: an add-on registered meanwhile shows up at the next listing only.
TEST_F(AddOnPage, DisableThenEnableRoundTripsTheStateWithoutReadingTheRegistryAgain) {
    const int row = RowOf(Guid(1));
    Register(Guid(4), L"Newcomer", nullptr);
    AddTo(kHelpers, Guid(4));
    ClickRow(row, row);
    list.Command(ID_ADDON_DISABLE);
    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);
    EXPECT_EQ(Text(row, 1), L"已禁用");
    EXPECT_EQ(list.RowColour(row), kPurple);
    EXPECT_EQ(list.Count(), 3);

    ClickRow(row, row);
    EXPECT_TRUE(list.EnabledItems().count(ID_ADDON_ENABLE));
    list.Command(ID_ADDON_ENABLE);
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kSettings + Guid(1)));
    EXPECT_EQ(Text(row, 1), L"已启用");
    EXPECT_EQ(list.RowColour(row), kBlack);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_TRUE(prompts.Messages().empty());
    list.Command(ID_ADDON_REFRESH);
    EXPECT_EQ(list.Count(), 4);
}

TEST_F(AddOnPage, FailedEnableOrDisableSaysSoAndLeavesTheRow) {
    // A settings key with a subkey is not deleted.
    const int disabled = RowOf(Guid(2));
    ASSERT_EQ(test::CreateKey(HKEY_CURRENT_USER, kSettings + Guid(2) + L"\\sub"), ERROR_SUCCESS);
    ClickRow(disabled, disabled);
    list.Command(ID_ADDON_ENABLE);
    EXPECT_EQ(Text(disabled, 1), L"已禁用");
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kSettings + Guid(2)));

    // Empty space with a row selected: "enable" names no add-on, and the settings key, which
    // holds no subkey now, stays.
    test::DeleteTree(HKEY_CURRENT_USER, kSettings + Guid(2));
    ASSERT_EQ(test::SetString(HKEY_CURRENT_USER, kSettings, L"Other", L"kept"), ERROR_SUCCESS);
    ClickRow(-1, disabled);
    list.Command(ID_ADDON_ENABLE);
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, kSettings));

    // Below a volatile settings key no lasting key can be made.
    test::DeleteTree(HKEY_CURRENT_USER, kSettings);
    HKEY volatileKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettings.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(volatileKey);
    const int enabled = RowOf(Guid(1));
    ClickRow(enabled, enabled);
    list.Command(ID_ADDON_DISABLE);
    EXPECT_EQ(Text(enabled, 1), L"已启用");
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kSettings + Guid(1)));

    EXPECT_EQ(prompts.Messages(), (std::vector<std::wstring>{L"提示|启用失败", L"提示|启用失败", L"提示|禁用失败"}));
    for (const auto& request : prompts.requests) {
        if (request.kind != lark::prompts::Request::Kind::Message) continue;
        EXPECT_EQ(request.flags, static_cast<UINT>(MB_OK));
        EXPECT_EQ(request.owner, page.m_hWnd);
    }
}

TEST_F(AddOnPage, DeleteAsksThenRemovesOnlyThePreApprovedSubkeyAndListsAgain) {
    AddTo(kPreApproved, Guid(2) + L"\\child");
    AddTo(kPreApproved, Guid(1));  // the helper object is pre-approved as well
    list.Command(ID_ADDON_REFRESH);
    ASSERT_EQ(list.Count(), 4);
    const auto before = list.Snapshot();

    const int control = RowOf(Guid(2));
    prompts.messageBoxAnswers = {IDNO};
    ClickRow(control, control);
    list.Command(ID_ADDON_DELETE);
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2) + L"\\child"));
    EXPECT_EQ(list.Snapshot(), before);

    prompts.messageBoxAnswers = {IDYES, IDYES};
    list.Command(ID_ADDON_DELETE);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_CLASSES_ROOT, ClsidKey(Guid(2)) + L"\\InprocServer32"));
    EXPECT_EQ(IsAddOnDisabled(Guid(2).c_str()), 1);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(page.RowCounter(), 3);
    EXPECT_EQ(RowOf(Guid(2)), -1);

    // The pre-approved helper object's row goes, its helper-object row stays.
    const int preApprovedHelper = list.RowOf(L"ActiveX插件", 2);
    ASSERT_GE(preApprovedHelper, 0);
    ClickRow(preApprovedHelper, preApprovedHelper);
    list.Command(ID_ADDON_DELETE);
    EXPECT_TRUE(test::SubkeyNames(HKEY_LOCAL_MACHINE, kPreApproved).empty());
    EXPECT_EQ(list.ColumnTexts(4), (std::vector<std::wstring>{Guid(1), Guid(3)}));

    EXPECT_EQ(prompts.Messages(), (std::vector<std::wstring>(3, L"提示|确定要删除该项？")));
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_YESNO));
}

// Every row command acts on the row under the click, whatever else is selected.
TEST_F(AddOnPage, DisableEnableAndDeleteActOnTheClickedRowNotTheSelectedOne) {
    const int helper = RowOf(Guid(1)), control = RowOf(Guid(2));  // enabled, disabled
    ClickRow(helper, control);
    list.Command(ID_ADDON_DISABLE);
    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);
    EXPECT_EQ(Text(helper, 1), L"已禁用");

    ClickRow(control, helper);
    list.Command(ID_ADDON_ENABLE);
    EXPECT_EQ(IsAddOnDisabled(Guid(2).c_str()), 0);
    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);
    EXPECT_EQ(Text(control, 1), L"已启用");
    EXPECT_EQ(Text(helper, 1), L"已禁用");

    prompts.messageBoxAnswers = {IDYES};
    ClickRow(control, helper);
    list.Command(ID_ADDON_DELETE);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
    EXPECT_EQ(list.ColumnTexts(4), (std::vector<std::wstring>{Guid(1), Guid(3)}));
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|确定要删除该项？"});
}

// A helper object planted under a name that holds a NUL: listed with its mark and with the object
// the browser loads for it; disable and enable fail as they say, delete deletes nothing.
TEST_F(AddOnPage, ARowWhoseNameHoldsANulIsShownMarkedAndNothingIsDoneToIt) {
    test::RawNamedKey hidden(HKEY_LOCAL_MACHINE, kHelpers, Guid(1) + std::wstring(L"\0x", 2));
    ASSERT_NE(hidden.get(), nullptr);
    list.Command(ID_ADDON_REFRESH);
    const std::wstring marked = MarkedKeyName(Guid(1).c_str());
    const int row = RowOf(marked);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list.Snapshot()[row], (std::vector<std::wstring>{L"Search Helper", L"已启用", L"浏览器辅助对象",
                                                                 L"%SystemRoot%\\system32\\srch.dll", marked}));
    const auto before = list.Snapshot();

    ClickRow(row, row);
    list.Command(ID_ADDON_DISABLE);
    ClickRow(row, row);
    list.Command(ID_ADDON_ENABLE);
    prompts.messageBoxAnswers = {IDYES};
    ClickRow(row, row);
    list.Command(ID_ADDON_DELETE);

    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::wstring>{L"提示|禁用失败", L"提示|启用失败", L"提示|确定要删除该项？"}));
    EXPECT_EQ(list.Snapshot(), before);
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
    EXPECT_EQ(test::SubkeyNames(HKEY_LOCAL_MACHINE, kHelpers).size(), 2u);
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, kSettings + Guid(1)));
}

TEST_F(AddOnPage, LocateShowsTheFileColumnInExplorer) {
    // The file column as registered, environment references and all; the files are there.
    ::CreateDirectoryW(L"C:\\windows\\tools", nullptr);
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\windows\\tools\\pt.exe", "MZ"));
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\windows\\system32\\srch.dll", "MZ"));
    test::ProcessRecorder recorder;
    for (const int row : {RowOf(Guid(3)), RowOf(Guid(1))}) {
        ClickRow(row, row);
        list.Command(ID_ADDON_LOCATE);
    }
    EXPECT_TRUE(recorder.starts.empty());
    EXPECT_EQ(recorder.selections, (std::vector<std::wstring>{L"C:\\windows\\tools\\pt.exe",
                                                              L"C:\\windows\\system32\\srch.dll"}));
    ::DeleteFileW(L"C:\\windows\\tools\\pt.exe");
    ::DeleteFileW(L"C:\\windows\\system32\\srch.dll");
    ::RemoveDirectoryW(L"C:\\windows\\tools");
}

// The same identifiers in both views: a row of each, the 32-bit one marked in its kind; delete and
// locate act in the row's own view, disable and enable on the settings both share.
TEST_F(AddOnPage, RowsOfThe32BitViewAreMarkedAndActedOnInTheirView) {
    Register32(Guid(1), L"Search Helper 32", L"%SystemRoot%\\system32\\srch32.dll");
    AddTo(kHelpers, Guid(1), k32);
    Register32(Guid(2), L"Player Control 32", L"C:\\Program Files (x86)\\Player\\player.ocx");
    AddTo(kPreApproved, Guid(2), k32);
    Register32(Guid(5), L"Coupon Helper", L"C:\\windows\\system32\\coupon.dll");  // 32-bit only
    AddTo(kHelpers, Guid(5), k32);
    list.Command(ID_ADDON_REFRESH);
    EXPECT_EQ(list.Snapshot(), (test::ListPageDriver::Rows{
                                   {L"Search Helper", L"已启用", L"浏览器辅助对象", L"%SystemRoot%\\system32\\srch.dll", Guid(1)},
                                   {L"Search Helper 32", L"已启用", L"浏览器辅助对象 (32位)",
                                    L"%SystemRoot%\\system32\\srch32.dll", Guid(1)},
                                   {L"Coupon Helper", L"已启用", L"浏览器辅助对象 (32位)", L"C:\\windows\\system32\\coupon.dll",
                                    Guid(5)},
                                   {L"Player Control", L"已禁用", L"ActiveX插件", L"C:\\windows\\player.ocx", Guid(2)},
                                   {L"Player Control 32", L"已禁用", L"ActiveX插件 (32位)",
                                    L"C:\\Program Files (x86)\\Player\\player.ocx", Guid(2)},
                                   {L"网页翻译工具栏", L"已启用", L"浏览器扩展", L"C:\\windows\\tools\\pt.exe", Guid(3)},
                               }));
    EXPECT_EQ(list.RowColour(4), kPurple);

    // Locate: the 32-bit browser's files; a path outside the system folder stays as it is.
    {
        const std::vector<std::wstring> files = {L"C:\\windows\\syswow64\\srch32.dll",
                                                 L"C:\\windows\\syswow64\\coupon.dll",
                                                 L"C:\\Program Files (x86)\\Player\\player.ocx"};
        ::CreateDirectoryW(L"C:\\Program Files (x86)\\Player", nullptr);
        for (const auto& file : files) ASSERT_TRUE(test::WriteFileBytes(file, "MZ"));
        test::ProcessRecorder recorder;
        for (const int row : {1, 2, 4}) {
            ClickRow(row, row);
            list.Command(ID_ADDON_LOCATE);
        }
        EXPECT_TRUE(recorder.starts.empty());
        EXPECT_EQ(recorder.selections, files);
        for (const auto& file : files) ::DeleteFileW(file.c_str());
        ::RemoveDirectoryW(L"C:\\Program Files (x86)\\Player");
    }

    // Disabling the 32-bit row disables the identifier for both browsers.
    ClickRow(1, 1);
    list.Command(ID_ADDON_DISABLE);
    EXPECT_EQ(IsAddOnDisabled(Guid(1).c_str()), 1);
    list.Command(ID_ADDON_REFRESH);
    EXPECT_EQ(Text(0, 1), L"已禁用");
    EXPECT_EQ(Text(1, 1), L"已禁用");

    // Deleting the 32-bit helper object leaves the 64-bit one, and the reverse for the control.
    prompts.messageBoxAnswers = {IDYES, IDYES};
    ClickRow(1, 1);
    list.Command(ID_ADDON_DELETE);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpersBelowWow6432Node + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kHelpers + Guid(1)));
    EXPECT_TRUE(test::KeyExists(HKEY_CLASSES_ROOT, ClsidKey(Guid(1)), k32));  // the registration stays
    const int control64 = list.RowOf(L"Player Control");
    ClickRow(control64, control64);
    list.Command(ID_ADDON_DELETE);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2)));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kPreApproved + Guid(2), k32));
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{L"Search Helper", L"Coupon Helper", L"Player Control 32",
                                                              L"网页翻译工具栏"}));
}

TEST_F(AddOnPage, FirstHeaderClickSortsDescendingTheNextAscending) {
    EXPECT_EQ(page.DirectionFlag(), 0);
    list.ClickColumn(3);
    EXPECT_EQ(page.SortColumn(), 3);
    EXPECT_EQ(list.ColumnTexts(3), (std::vector<std::wstring>{L"C:\\windows\\tools\\pt.exe", L"C:\\windows\\player.ocx",
                                                              L"%SystemRoot%\\system32\\srch.dll"}));
    list.ClickColumn(0);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{L"Player Control", L"Search Helper", L"网页翻译工具栏"}));
}

TEST_F(AddOnPage, EnterAndEscapeDoNothing) {
    for (const int id : {IDOK, IDCANCEL}) {
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        EXPECT_TRUE(page.IsWindowVisible());
        EXPECT_EQ(list.Count(), 3);
    }
}

TEST_F(AddOnPage, DemoSeedShowsFourAddOnsOneOfThem32BitOneDisabled) {
    const std::wstring seed =
        test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) + L"\\scripts\\seed\\75-addons.reg";
    const std::wstring folder = L"C:\\Program Files\\PageTools";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(module.Path().c_str(), (folder + L"\\pagetools.dll").c_str(), FALSE));
    for (const auto& source : {kHelpers, kPreApproved, kExtensions}) {
        test::DeleteTree(HKEY_LOCAL_MACHINE, source);
    }
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    list.Command(ID_ADDON_REFRESH);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{L"SearchAssist Helper", L"CouponBar Helper",
                                                              L"QuickPlay Media Control", L"网页翻译工具栏"}));
    EXPECT_EQ(list.ColumnTexts(1), (std::vector<std::wstring>{L"已禁用", L"已启用", L"已启用", L"已启用"}));
    EXPECT_EQ(Text(1, 2), L"浏览器辅助对象 (32位)");
    EXPECT_EQ(list.RowColour(0), kPurple);
    EXPECT_EQ(Text(3, 3), L"C:\\Program Files\\PageTools\\pagetools.exe");
    // The seeded CLSIDs and settings are not the test's own keys.
    for (int row = 0; row < 4; ++row) {
        const std::wstring key = Text(row, 4);
        test::DeleteTree(HKEY_CLASSES_ROOT, ClsidKey(key));
        test::DeleteTree(HKEY_CLASSES_ROOT, ClsidKey(key), k32);
    }
}

}  // namespace
