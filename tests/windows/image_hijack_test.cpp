// Image hijacks under Wine: the scan of the real image-file-execution options, the tree delete
// (also through a real registry link), and the real page with its check boxes and menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "pages/image_hijack_dialog.h"
#include "repair/image_hijack.h"
#include "repair/key_names.h"
#include "resource.h"
#include "support/list_page.h"
#include "support/raw_registry.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kOptions = kImageOptionsKey;
const std::wstring kTemplateName = L"Your Image File Name Here without a path";
const std::wstring kScratch = L"Software\\LarkspurTests";

struct Found {
    std::wstring image, debugger, keyPath;
};

// Removes every options entry before and after each test, and a Debugger value of the options key
// itself; the options key stays.
void ClearOptions() {
    test::CreateKey(HKEY_LOCAL_MACHINE, kOptions);
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kOptions.c_str(), L"Debugger");
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kOptions)) {
        test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions + name);
    }
}

// An entry planted under a name that holds a NUL, with a Debugger value; removed with the object.
struct PlantedEntry {
    explicit PlantedEntry(std::wstring name, const std::wstring& debugger = L"C:\\planted.exe")
        : key(HKEY_LOCAL_MACHINE, kOptions, std::move(name)) {
        if (key.get()) key.SetString(L"Debugger", debugger);
    }
    test::RawNamedKey key;
};

void Hijack(const std::wstring& image, const std::wstring& debugger) {
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions + image, L"Debugger", debugger), ERROR_SUCCESS);
}

bool EntryExists(const std::wstring& image) { return test::KeyExists(HKEY_LOCAL_MACHINE, kOptions + image); }

// A link key at root\path whose SymbolicLinkValue names target below HKEY_LOCAL_MACHINE.
LONG MakeLink(const std::wstring& path, const std::wstring& target) {
    HKEY link = nullptr;
    LONG error = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                   KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr);
    if (error != ERROR_SUCCESS) return error;
    const std::wstring name = L"\\Registry\\Machine\\" + target;
    error = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(name.c_str()),
                             static_cast<DWORD>(name.size() * sizeof(wchar_t)));
    ::RegCloseKey(link);
    return error;
}

bool LinkExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

class ImageHijacks : public ::testing::Test {
protected:
    void SetUp() override { ClearOptions(); }
    void TearDown() override { ClearOptions(); }

    DWORD Scan(DWORD& count) {
        found.clear();
        return ScanImageHijacks(&count, [&](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
            found.push_back({image, debugger, keyPath});
        });
    }

    std::vector<Found> found;
    test::ScopedKeys scratch{HKEY_LOCAL_MACHINE, {kScratch}};
};

TEST_F(ImageHijacks, OnlyEntriesWithAReadableDebuggerAreHandedOverAndCounted) {
    Hijack(L"avp.exe", L"C:\\windows\\temp\\svch0st.exe");
    Hijack(L"empty.exe", L"");
    Hijack(L"fits.exe", std::wstring(259, L'd'));
    Hijack(L"toolong.exe", std::wstring(260, L'd'));
    Hijack(kTemplateName, L"C:\\evil.exe");
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions + L"plain.exe", L"GlobalFlag", L"0x2"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions + L"binary.exe", L"Debugger", L"x", REG_BINARY),
              ERROR_SUCCESS);

    DWORD count = 777;
    EXPECT_EQ(Scan(count), 0u);
    EXPECT_EQ(count, 4u);
    ASSERT_EQ(found.size(), 4u);
    // Wine enumerates in name order; the scan keeps whatever order the registry gives.
    const wchar_t* images[] = {L"avp.exe", L"binary.exe", L"empty.exe", L"fits.exe"};
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].image, images[i]);
        EXPECT_EQ(found[i].keyPath, L"HKEY_LOCAL_MACHINE\\" + kOptions + images[i]);
    }
    EXPECT_EQ(found[0].debugger, L"C:\\windows\\temp\\svch0st.exe");
    EXPECT_EQ(found[1].debugger, L"x");  // the type is not looked at
    EXPECT_EQ(found[2].debugger, L"");
    EXPECT_EQ(found[3].debugger, std::wstring(259, L'd'));
}

// A subkey whose name holds a NUL cannot be reached by a path: the text before the NUL names
// another entry, or, when the NUL comes first, the options key itself (which holds a Debugger value
// here). Such subkeys never reach the ordinary sink; a second sink gets them, read through their
// own names, with the mark on name and path.
TEST_F(ImageHijacks, NamesHoldingANulAreNeverTakenForAnotherKey) {
    Hijack(L"avp.exe", L"C:\\genuine.exe");
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions, L"Debugger", L"C:\\options.exe"), ERROR_SUCCESS);
    PlantedEntry first(std::wstring(L"\0evil", 5), L"C:\\first.exe");
    PlantedEntry inner(std::wstring(L"avp.exe\0x", 9), L"C:\\inner.exe");
    PlantedEntry quiet(std::wstring(L"quiet.exe\0", 10));
    ASSERT_TRUE(first.key.get() && inner.key.get() && quiet.key.get());
    ASSERT_EQ(::RegDeleteValueW(quiet.key.get(), L"Debugger"), ERROR_SUCCESS);  // no hijack

    DWORD count = 777;
    EXPECT_EQ(Scan(count), 0u);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].debugger, L"C:\\genuine.exe");

    std::vector<Found> marked;
    found.clear();
    const auto into = [](std::vector<Found>& list) {
        return [&list](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
            list.push_back({image, debugger, keyPath});
        };
    };
    EXPECT_EQ(ScanImageHijacks(&count, into(found), into(marked)), 0u);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].image, L"avp.exe");
    const std::wstring path = L"HKEY_LOCAL_MACHINE\\" + kOptions;
    ASSERT_EQ(marked.size(), 2u);
    EXPECT_EQ(marked[0].image, L"〔含空字符〕\\0");
    EXPECT_EQ(marked[0].debugger, L"C:\\first.exe");
    EXPECT_EQ(marked[0].keyPath, path + L"〔含空字符〕\\0");
    EXPECT_EQ(marked[1].image, L"〔含空字符〕avp.exe\\0");
    EXPECT_EQ(marked[1].debugger, L"C:\\inner.exe");
    EXPECT_EQ(marked[1].keyPath, path + L"〔含空字符〕avp.exe\\0");
}

TEST_F(ImageHijacks, TemplateEntryIsSkippedInAnyLetterCase) {
    Hijack(L"YOUR IMAGE FILE NAME HERE WITHOUT A PATH", L"C:\\evil.exe");
    DWORD count = 777;
    EXPECT_EQ(Scan(count), 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(found.empty());
    DWORD none = 777;
    test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions + kTemplateName);
    EXPECT_EQ(Scan(none), 0u);  // no subkeys at all
    EXPECT_EQ(none, 0u);
}

TEST_F(ImageHijacks, ScanFailuresLeaveTheCountAloneOrCountWhatWasDelivered) {
    Hijack(L"a.exe", L"x");
    DWORD count = 777;
    EXPECT_EQ(ScanImageHijacks(&count, HijackSink{}), 0xB0000001u);
    EXPECT_EQ(count, 777u);

    // An enumeration that fails part-way (the entries vanish during the scan) ends it with its error.
    Hijack(L"b.exe", L"y");
    Hijack(L"c.exe", L"z");
    std::vector<std::wstring> images;
    const DWORD result = ScanImageHijacks(&count, [&](const wchar_t* image, const wchar_t*, const wchar_t*) {
        images.push_back(image);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions + L"b.exe");
        test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions + L"c.exe");
    });
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(images, std::vector<std::wstring>{L"a.exe"});

    test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions);
    count = 777;
    EXPECT_EQ(Scan(count), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(count, 777u);
}

TEST_F(ImageHijacks, LongImageNamesKeepTheirWholeKeyPath) {
    const std::wstring image = std::wstring(240, L'n') + L".exe";
    Hijack(image, L"C:\\evil.exe");
    DWORD count = 0;
    EXPECT_EQ(Scan(count), 0u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].keyPath, L"HKEY_LOCAL_MACHINE\\" + kOptions + image);
    EXPECT_GT(found[0].keyPath.size(), 260u);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, (kOptions + image).c_str()), 0);
    EXPECT_FALSE(EntryExists(image));
}

TEST_F(ImageHijacks, DeleteRemovesTheWholeTreeAndLeavesTheCallersText) {
    const std::wstring root = kScratch + L"\\Tree";
    for (const std::wstring& key : {root, root + L"\\a", root + L"\\a\\b", root + L"\\a\\b\\c", root + L"\\d"}) {
        ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, key, L"v", L"data"), ERROR_SUCCESS);
        ASSERT_EQ(test::SetDword(HKEY_LOCAL_MACHINE, key, nullptr, 1), ERROR_SUCCESS);
    }
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kScratch + L"\\Sibling", L"v", L"stays"), ERROR_SUCCESS);

    for (const std::wstring& given : {root, root + L"\\"}) {
        for (const std::wstring& key : {root + L"\\a\\b\\c", root + L"\\d"}) test::CreateKey(HKEY_LOCAL_MACHINE, key);
        std::vector<wchar_t> text(given.begin(), given.end());
        text.push_back(L'\0');
        EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, text.data()), 0);
        EXPECT_EQ(std::wstring(text.data()), given);
        EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, root));
        EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, kScratch + L"\\Sibling"));
        EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, text.data()), 0);  // already gone
    }
}

TEST_F(ImageHijacks, DeleteRefusesAnEmptyPathInsteadOfEmptyingTheRoot) {
    Hijack(L"avp.exe", L"x");
    HKEY options = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOptions.c_str(), 0, KEY_ALL_ACCESS, &options), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(options, L""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DeleteRegistryTree(options, nullptr), ERROR_INVALID_PARAMETER);
    ::RegCloseKey(options);
    EXPECT_TRUE(EntryExists(L"avp.exe"));
}

// A subkey whose name holds a NUL can be enumerated but not opened by its path: the delete
// must give up on it (an error, the key stays) instead of enumerating it for ever.
TEST_F(ImageHijacks, DeleteGivesUpOnASubkeyWhoseNameHoldsANul) {
    const std::wstring tree = kScratch + L"\\Nul";
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, tree, L"Debugger", L"x"), ERROR_SUCCESS);
    HKEY parent = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, tree.c_str(), 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
    HKEY child = test::CreateKeyWithRawName(parent, std::wstring(L"a\0b", 3));
    ASSERT_NE(child, nullptr);
    ::RegCloseKey(child);
    ::RegCloseKey(parent);

    EXPECT_NE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree.c_str()), 0);
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, tree));
}

TEST_F(ImageHijacks, DeleteHasNoLimitOnTheWholePath) {
    const std::wstring level(200, L'k');
    const std::wstring root = kScratch + L"\\Deep";
    const std::wstring deepest = root + L"\\" + level + L"\\" + level + L"\\" + level;
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, deepest, L"v", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, root.c_str()), 0);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, root));
}

TEST_F(ImageHijacks, DeleteRemovesALinkWithoutTouchingWhatItPointsTo) {
    const std::wstring target = kScratch + L"\\Target";
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, target + L"\\child", L"v", L"keep"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, target, L"v", L"keep"), ERROR_SUCCESS);

    // A link inside the tree.
    const std::wstring tree = kScratch + L"\\Tree";
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, tree, L"Debugger", L"x"), ERROR_SUCCESS);
    ASSERT_EQ(MakeLink(tree + L"\\link", target), ERROR_SUCCESS);
    ASSERT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, tree + L"\\link\\child"));  // the link is live
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree.c_str()), 0);
    EXPECT_FALSE(LinkExists(tree));

    // The link itself as the key to delete.
    const std::wstring alone = kScratch + L"\\Alone";
    ASSERT_EQ(MakeLink(alone, target + L"\\child"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, alone.c_str()), 0);
    EXPECT_FALSE(LinkExists(alone));

    // A link to nothing: it cannot be opened through, yet it goes (and the delete does not spin on it).
    const std::wstring dangling = kScratch + L"\\Dangling";
    ASSERT_EQ(MakeLink(dangling + L"\\link", kScratch + L"\\Nowhere"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, dangling.c_str()), 0);
    EXPECT_FALSE(LinkExists(dangling + L"\\link"));
    EXPECT_FALSE(LinkExists(dangling));

    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, target + L"\\child"));
    for (const std::wstring& key : {target + L"\\child", target}) {
        const auto value = test::GetValue(HKEY_LOCAL_MACHINE, key, L"v");
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->Text(), L"keep");
    }
}

// In the view of 32-bit programs the same path names the key below Wow6432Node: that tree goes,
// the 64-bit one of the same path stays, and a link inside is deleted as a link there too.
TEST_F(ImageHijacks, DeleteInThe32BitViewRemovesOnlyThatViewsTree) {
    const std::wstring tree = kScratch + L"\\Tree";
    const std::wstring below32 = L"Software\\Wow6432Node\\LarkspurTests";
    test::ScopedKeys scratch32{HKEY_LOCAL_MACHINE, {below32}};
    const std::wstring target = kScratch + L"\\Target";
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, target + L"\\child", L"v", L"keep"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, tree + L"\\a", L"v", L"64"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, tree + L"\\a\\b", L"v", L"32", REG_SZ, KEY_WOW64_32KEY), ERROR_SUCCESS);
    ASSERT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, below32 + L"\\Tree\\a\\b"));
    ASSERT_EQ(MakeLink(below32 + L"\\Tree\\link", target), ERROR_SUCCESS);

    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree.c_str(), lark::RegistryView::Bits32), 0);
    EXPECT_FALSE(LinkExists(below32 + L"\\Tree"));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, tree + L"\\a"));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, target + L"\\child"));
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree.c_str(), lark::RegistryView::Bits32), 0);  // already gone
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"", lark::RegistryView::Bits32), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree.c_str(), lark::RegistryView::Bits64), 0);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, tree));
}

TEST_F(ImageHijacks, DemoSeedHijacksASecurityTool) {
    const std::wstring seed = test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) +
                              L"\\scripts\\seed\\35-hijack.reg";
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    DWORD count = 0;
    EXPECT_EQ(Scan(count), 0u);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(found[0].image, L"MsMpEng.exe");
}

// ---- the page ----

class ImageHijackPage : public ::testing::Test {
protected:
    void SetUp() override {
        ClearOptions();
        Hijack(L"avp.exe", L"C:\\evil.exe");
        Hijack(L"egui.exe", L"C:\\evil.exe");
        Hijack(L"taskmgr.exe", L"");
        ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions + L"avp.exe\\sub", L"v", L"x"), ERROR_SUCCESS);
        ASSERT_TRUE(host.Create(page, IDD_LISTPAGE));
    }
    void TearDown() override { ClearOptions(); }

    lark::CListCtrl& List() { return page.List(); }
    std::wstring Text(int row, int column) { return list.Text(row, column); }
    int RowOf(const std::wstring& image) { return list.RowOf(image); }
    void Command(UINT id) { list.Command(id); }
    void ExpectAllTicked() {
        for (int r = 0; r < List().GetItemCount(); ++r) EXPECT_TRUE(List().GetCheck(r)) << r;
    }
    void TickOnly(std::initializer_list<const wchar_t*> images) {
        for (int r = 0; r < List().GetItemCount(); ++r) List().SetCheck(r, FALSE);
        for (const wchar_t* image : images) List().SetCheck(RowOf(image), TRUE);
    }

    test::ScriptedPrompts prompts;
    test::PageHost host;
    CImageHijackDialog page;
    test::ListPageDriver list{page, prompts};
};

TEST_F(ImageHijackPage, ListsEveryHijackTicked) {
    EXPECT_EQ(List().GetExtendedStyle(),
              static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.Columns(),
              (std::vector<test::ListPageDriver::Column>{{L"名  称", 120}, {L"劫持路径", 120}, {L"注册表项", 520}}));
    ASSERT_EQ(List().GetItemCount(), 3);
    EXPECT_EQ(page.FoundCount(), 3u);
    EXPECT_EQ(page.RowCounter(), 3);
    const int row = RowOf(L"egui.exe");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Text(row, 1), L"C:\\evil.exe");
    EXPECT_EQ(Text(row, 2), L"HKEY_LOCAL_MACHINE\\" + kOptions + L"egui.exe");
    EXPECT_EQ(Text(RowOf(L"taskmgr.exe"), 1), L"");
    ExpectAllTicked();
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(ImageHijackPage, DeleteSelectedWithNothingTickedDeletesNothingAndRefills) {
    TickOnly({});
    Hijack(L"new.exe", L"x");  // the refill is a fresh scan
    Command(ID_HIJACK_DELETE_CHECKED);
    EXPECT_TRUE(EntryExists(L"avp.exe"));
    EXPECT_TRUE(EntryExists(L"egui.exe"));
    EXPECT_TRUE(EntryExists(L"taskmgr.exe"));
    EXPECT_EQ(List().GetItemCount(), 4);
    EXPECT_EQ(page.RowCounter(), 4);
    ExpectAllTicked();
}

TEST_F(ImageHijackPage, DeleteSelectedDeletesExactlyTheTickedEntries) {
    TickOnly({L"avp.exe", L"taskmgr.exe"});
    Command(ID_HIJACK_DELETE_CHECKED);
    EXPECT_FALSE(EntryExists(L"avp.exe"));  // with its subkey
    EXPECT_FALSE(EntryExists(L"taskmgr.exe"));
    EXPECT_TRUE(EntryExists(L"egui.exe"));
    ASSERT_EQ(List().GetItemCount(), 1);
    EXPECT_EQ(Text(0, 0), L"egui.exe");
    EXPECT_EQ(Text(0, 2), L"HKEY_LOCAL_MACHINE\\" + kOptions + L"egui.exe");
    ExpectAllTicked();
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(ImageHijackPage, DeleteAllIgnoresTheTicks) {
    TickOnly({L"egui.exe"});
    Command(ID_HIJACK_DELETE_ALL);
    EXPECT_TRUE(test::SubkeyNames(HKEY_LOCAL_MACHINE, kOptions).empty());
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(page.FoundCount(), 0u);
}

// A planted entry whose name begins with a NUL, beside a Debugger value on the options key itself
// and an entry that is no hijack: listed marked and unticked, and neither delete command deletes
// anything but the genuine hijacks.
TEST_F(ImageHijackPage, EntriesNamedWithANulAreShownMarkedAndNeverDeleted) {
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions, L"Debugger", L"C:\\options.exe"), ERROR_SUCCESS);
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kOptions + L"plain.exe", L"GlobalFlag", L"0x2"), ERROR_SUCCESS);
    PlantedEntry first(std::wstring(L"\0evil", 5));
    PlantedEntry inner(std::wstring(L"egui.exe\0x", 10));
    ASSERT_TRUE(first.key.get() && inner.key.get());
    Command(ID_HIJACK_REFRESH);
    ASSERT_EQ(List().GetItemCount(), 5);
    EXPECT_EQ(page.FoundCount(), 5u);
    const std::wstring firstShown = MarkedKeyName(L""), innerShown = MarkedKeyName(L"egui.exe");
    for (const std::wstring& image : {firstShown, innerShown}) {
        const int row = RowOf(image);
        ASSERT_GE(row, 0);
        EXPECT_EQ(Text(row, 1), L"C:\\planted.exe");
        EXPECT_EQ(Text(row, 2), L"HKEY_LOCAL_MACHINE\\" + kOptions + image);
        EXPECT_FALSE(List().GetCheck(row));
    }

    for (int r = 0; r < List().GetItemCount(); ++r) List().SetCheck(r, TRUE);
    Command(ID_HIJACK_DELETE_CHECKED);
    Command(ID_HIJACK_DELETE_ALL);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{firstShown, innerShown}));
    EXPECT_EQ(test::GetValue(HKEY_LOCAL_MACHINE, kOptions, L"Debugger")->Text(), L"C:\\options.exe");
    EXPECT_TRUE(EntryExists(L"plain.exe"));
    EXPECT_FALSE(EntryExists(L"egui.exe"));
    EXPECT_EQ(test::SubkeyNames(HKEY_LOCAL_MACHINE, kOptions).size(), 3u);  // plain.exe and the two planted
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(ImageHijackPage, DeleteCommandsNeedASelectedRowNotATickedOne) {
    ExpectAllTicked();
    EXPECT_EQ(list.RightClick(-1, {12, 34}), 0);
    const auto* menu = prompts.LastMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(list.MenuTexts(), (std::vector<std::wstring>{L"刷新列表", L"删除选中", L"删除全部"}));
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_HIJACK_REFRESH));
    EXPECT_FALSE(prompts.LastMenuEnabled(ID_HIJACK_DELETE_CHECKED));
    EXPECT_FALSE(prompts.LastMenuEnabled(ID_HIJACK_DELETE_ALL));
    POINT screen{12, 34};
    ::ClientToScreen(page.m_hWnd, &screen);
    EXPECT_EQ(menu->point.x, screen.x);
    EXPECT_EQ(menu->point.y, screen.y);
    EXPECT_EQ(menu->owner, page.m_hWnd);

    List().SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    TickOnly({});
    EXPECT_EQ(list.RightClick(1, {12, 34}), 0);
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_HIJACK_DELETE_CHECKED));
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_HIJACK_DELETE_ALL));
}

TEST_F(ImageHijackPage, RefreshWithoutOptionsKeyShowsTheErrorOverAnEmptyList) {
    test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions);
    Command(ID_HIJACK_REFRESH);
    EXPECT_EQ(List().GetItemCount(), 0);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0], L"出错|获取映像劫持出错");
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(prompts.requests.back().owner, page.m_hWnd);
    ClearOptions();
}

TEST_F(ImageHijackPage, PageWithoutOptionsKeySaysSoWhenItStarts) {
    test::DeleteTree(HKEY_LOCAL_MACHINE, kOptions);
    test::PageHost otherHost;
    CImageHijackDialog other;
    ASSERT_TRUE(otherHost.Create(other, IDD_LISTPAGE));
    EXPECT_EQ(other.List().GetItemCount(), 0);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0], L"出错|获取映像劫持出错");
    ClearOptions();
}

TEST_F(ImageHijackPage, ColumnSortUsesThisPagesOwnState) {
    list.ClickColumn(0);
    EXPECT_EQ(Text(0, 0), L"taskmgr.exe");  // descending first
    EXPECT_EQ(Text(2, 0), L"avp.exe");
    list.ClickColumn(1);  // ascending: the empty Debugger first
    EXPECT_EQ(Text(0, 0), L"taskmgr.exe");
    EXPECT_EQ(Text(0, 1), L"");
    EXPECT_EQ(page.SortColumn(), 1);
    ExpectAllTicked();  // ticks travel with their rows

    test::PageHost otherHost;
    CImageHijackDialog other;
    ASSERT_TRUE(otherHost.Create(other, IDD_LISTPAGE));
    EXPECT_EQ(other.DirectionFlag(), 0);
    EXPECT_EQ(other.SortColumn(), 0);
    EXPECT_EQ(page.DirectionFlag(), 0);  // two clicks: back to descending next
}

TEST_F(ImageHijackPage, EnterAndEscapeChangeNothing) {
    for (int id : {IDOK, IDCANCEL}) {
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        EXPECT_TRUE(page.IsWindowVisible());
        EXPECT_EQ(List().GetItemCount(), 3);
    }
}

}  // namespace
