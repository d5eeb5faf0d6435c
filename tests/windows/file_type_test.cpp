// File associations under Wine: the check, list and repair routines against the real registry
// (HKEY_CLASSES_ROOT is HKLM\Software\Classes there), and the real page with its list and menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "pages/file_type_dialog.h"
#include "repair/file_type.h"
#include "resource.h"
#include "support/associations.h"
#include "support/list_page.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kExeKey = L"exefile\\shell\\open\\command";
const std::wstring kTxtKey = L"txtfile\\shell\\open\\command";
const std::wstring kChmKey = L"chm.file\\shell\\open\\command";

struct Listed {
    std::wstring name, extension, value, keyPath;
    int correct;
};

std::vector<Listed> ListAll() {
    std::vector<Listed> rows;
    EXPECT_EQ(ListFileAssociations([&](const wchar_t* n, const wchar_t* e, const wchar_t* v, const wchar_t* k, int c) {
                  rows.push_back({n, e, v, k, c});
              }),
              0u);
    return rows;
}

const Listed* Find(const std::vector<Listed>& rows, const std::wstring& name) {
    for (const auto& row : rows) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

std::wstring Check(int expectedResult) {
    wchar_t text[260];
    wmemset(text, L'#', 260);
    EXPECT_EQ(CheckFileAssociations(text, 260), expectedResult);
    return text;
}

// Points HKEY_CLASSES_ROOT at an empty volatile key: no ordinary key can be created below it,
// so every association write fails (Wine has no registry ACLs to refuse it otherwise).
class UnwritableClassesRoot {
public:
    UnwritableClassesRoot() {
        test::DeleteTree(HKEY_CURRENT_USER, kPath);
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, key_), ERROR_SUCCESS);
    }
    ~UnwritableClassesRoot() {
        Restore();
        ::RegCloseKey(key_);
        test::DeleteTree(HKEY_CURRENT_USER, kPath);
    }
    void Restore() { ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr); }

private:
    static constexpr const wchar_t* kPath = L"Software\\LarkspurTests\\VolatileClasses";
    HKEY key_ = nullptr;
};

class FileAssociations : public ::testing::Test {
protected:
    void SetUp() override { test::WriteCleanAssociations(); }
};

// The table written out independently of the program's copy: the check ignores letter case, so
// only a literal comparison catches a wrong letter in a command.
TEST_F(FileAssociations, TableHoldsTheFourteenCommands) {
    ASSERT_EQ(kFileAssociationCount, 14u);
    const FileAssociation expected[] = {
        {L"batfile", L".bat", L"batfile\\shell\\open\\command", L"\"%1\" %*"},
        {L"cmdfile", L".cmd", L"cmdfile\\shell\\open\\command", L"\"%1\" %*"},
        {L"comfile", L".com", L"comfile\\shell\\open\\command", L"\"%1\" %*"},
        {L"exefile", L".exe", L"exefile\\shell\\open\\command", L"\"%1\" %*"},
        {L"scrfile", L".scr", L"scrfile\\shell\\open\\command", L"\"%1\" /S"},
        {L"txtfile", L".txt", L"txtfile\\shell\\open\\command", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1"},
        {L"piffile", L".pif", L"piffile\\shell\\open\\command", L"\"%1\" %*"},
        {L"regfile", L".reg", L"regfile\\shell\\open\\command", L"regedit.exe \"%1\""},
        {L"inffile", L".inf", L"inffile\\shell\\open\\command", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1"},
        {L"hlpfile", L".hlp", L"hlpfile\\shell\\open\\command", L"%SystemRoot%\\System32\\winhlp32.exe %1"},
        {L"chmfile", L".chm", L"chm.file\\shell\\open\\command", L"\"%SystemRoot%\\hh.exe\" %1"},
        {L"vbsfile", L".vbs", L"vbsfile\\shell\\open\\command", L"%SystemRoot%\\System32\\WScript.exe \"%1\" %*"},
        {L"jsfile", L".js", L"jsfile\\shell\\open\\command", L"%SystemRoot%\\System32\\WScript.exe \"%1\" %*"},
        {L"inifile", L".ini", L"inifile\\shell\\open\\command", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1"},
    };
    for (size_t i = 0; i < kFileAssociationCount; ++i) {
        EXPECT_STREQ(FileAssociationTable[i].displayName, expected[i].displayName) << i;
        EXPECT_STREQ(FileAssociationTable[i].extension, expected[i].extension) << i;
        EXPECT_STREQ(FileAssociationTable[i].commandKey, expected[i].commandKey) << i;
        EXPECT_STREQ(FileAssociationTable[i].command, expected[i].command) << i;
    }
    EXPECT_EQ(Check(1), L"");
    EXPECT_EQ(ListAll().size(), 14u);
}

struct ValueCase {
    const char* name;
    std::wstring commandKey;
    std::wstring value;
    DWORD type;
    bool listed;    // readable: a row on the page
    bool correct;   // counts as correct in the check
};

TEST_F(FileAssociations, ValuesAreComparedInTheirUnexpandedFormIgnoringCase) {
    const std::wstring longValue(259, L'x');
    const ValueCase cases[] = {
        {"Windows folder written out", kTxtKey, L"C:\\windows\\system32\\NOTEPAD.EXE %1", REG_SZ, true, true},
        {"Windows folder in other case", kTxtKey, L"C:\\WINDOWS\\System32\\notepad.exe %1", REG_SZ, true, true},
        {"letter case only", kExeKey, L"\"%1\" %*", REG_SZ, true, true},
        {"letter case of the variable", kTxtKey, L"%systemroot%\\SYSTEM32\\notepad.exe %1", REG_EXPAND_SZ, true, true},
        {"another program first", kExeKey, L"C:\\evil.exe \"%1\" %*", REG_SZ, true, false},
        {"stored as binary", kExeKey, L"\"%1\" %*", REG_BINARY, true, true},
        {"259 characters", kExeKey, longValue, REG_SZ, true, false},
        {"260 characters", kExeKey, longValue + L"x", REG_SZ, false, true},
        {"empty", kExeKey, L"", REG_SZ, true, false},
    };
    for (const auto& c : cases) {
        test::WriteCleanAssociations();
        ASSERT_EQ(test::SetString(HKEY_CLASSES_ROOT, c.commandKey, L"", c.value, c.type), ERROR_SUCCESS) << c.name;
        const std::wstring name = c.commandKey.substr(0, c.commandKey.find(L'\\'));
        const std::wstring extension = L"." + name.substr(0, 3);
        const wchar_t* expected = name == L"exefile" ? FileAssociationTable[3].command : FileAssociationTable[5].command;
        EXPECT_EQ(IsAssociationCorrect(expected, c.commandKey.c_str()), c.correct ? 1 : 0) << c.name;
        EXPECT_EQ(Check(c.correct ? 1 : 0), c.correct ? L"" : extension + L"、") << c.name;
        const auto rows = ListAll();
        const Listed* row = Find(rows, name);
        ASSERT_EQ(row != nullptr, c.listed) << c.name;
        if (row) {
            EXPECT_EQ(row->value, c.value) << c.name;  // as read, before substitution
            EXPECT_EQ(row->correct, c.correct ? 1 : 0) << c.name;
            EXPECT_EQ(row->keyPath, L"HKEY_CLASSES_ROOT\\" + c.commandKey) << c.name;
        }
    }
}

TEST_F(FileAssociations, WrongEntriesAreNamedInTableOrder) {
    test::BreakAssociation(kTxtKey, L"C:\\evil.exe %1");
    test::BreakAssociation(kExeKey, L"C:\\evil.exe \"%1\" %*");
    EXPECT_EQ(Check(0), L".exe、.txt、");
    for (const auto& entry : FileAssociationTable) {
        test::BreakAssociation(entry.commandKey, L"evil");
    }
    const std::wstring all = Check(0);
    EXPECT_EQ(all.size(), 69u);  // thirteen four-letter extensions, ".js" and fourteen separators
    EXPECT_EQ(all.substr(0, 10), L".bat、.cmd、");
    // A caller's smaller buffer gets a cut, terminated text.
    wchar_t small[6];
    EXPECT_EQ(CheckFileAssociations(small, 6), 0);
    EXPECT_STREQ(small, L".bat、");
}

TEST_F(FileAssociations, MissingChmKeyIsNeitherListedNorReportedButRepairCreatesIt) {
    test::DeleteTree(HKEY_CLASSES_ROOT, L"chm.file");
    EXPECT_EQ(Check(1), L"");
    const auto rows = ListAll();
    EXPECT_EQ(rows.size(), 13u);
    EXPECT_EQ(Find(rows, L"chmfile"), nullptr);
    EXPECT_EQ(RepairFileAssociation(L".chm"), 1);
    EXPECT_EQ(test::OpenCommandOf(kChmKey), L"\"%SystemRoot%\\hh.exe\" %1");
}

TEST_F(FileAssociations, RepairWritesEachTableCommandExactlyAsExpandableString) {
    for (const auto& entry : FileAssociationTable) {
        test::BreakAssociation(entry.commandKey, L"C:\\evil.exe");
        EXPECT_EQ(RepairFileAssociation(entry.extension), 1) << entry.extension;
        const auto value = test::GetValue(HKEY_CLASSES_ROOT, entry.commandKey, L"");
        ASSERT_TRUE(value.has_value()) << entry.extension;
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_EXPAND_SZ)) << entry.extension;
        EXPECT_EQ(value->data.size(), (wcslen(entry.command) + 1) * sizeof(wchar_t)) << entry.extension;
        EXPECT_EQ(value->Text(), entry.command) << entry.extension;
    }
}

TEST_F(FileAssociations, RepairMatchesTheExtensionIgnoringCaseAndOnlyTableExtensions) {
    test::BreakAssociation(kExeKey, L"C:\\evil.exe \"%1\" %*");
    EXPECT_EQ(RepairFileAssociation(L".EXE"), 1);
    EXPECT_EQ(test::OpenCommandOf(kExeKey), L"\"%1\" %*");

    std::map<std::wstring, std::wstring> before;
    for (const auto& entry : FileAssociationTable) {
        test::BreakAssociation(entry.commandKey, std::wstring(L"damaged ") + entry.extension);
        before[entry.commandKey] = test::OpenCommandOf(entry.commandKey);
    }
    for (const wchar_t* unknown : {L".xyz", L"exe", L"", L".ex", L".exe "}) {
        EXPECT_EQ(RepairFileAssociation(unknown), 0) << unknown;
    }
    for (const auto& entry : FileAssociationTable) {
        EXPECT_EQ(test::OpenCommandOf(entry.commandKey), before[entry.commandKey]) << entry.extension;
    }
}

TEST_F(FileAssociations, WriteThatCannotCreateTheKeyFails) {
    test::DeleteTree(HKEY_CLASSES_ROOT, L"exefile");
    {
        UnwritableClassesRoot unwritable;
        EXPECT_EQ(WriteOpenCommand(kExeKey.c_str(), L"\"%1\" %*"), 0);
        EXPECT_EQ(RepairFileAssociation(L".exe"), 0);
    }
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, kExeKey));
}

TEST_F(FileAssociations, ListingWithoutASinkDoesNothing) {
    EXPECT_EQ(ListFileAssociations(AssociationSink{}), 0xB0000001u);
}

TEST_F(FileAssociations, DemoSeedBreaksExactlyTheExeAndTxtCommands) {
    const std::wstring seed = test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) +
                              L"\\scripts\\seed\\30-associations.reg";
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    EXPECT_EQ(Check(0), L".exe、.txt、");
}

// ---- the page ----

// Prompts whose message box can run a step of the test while it is shown.
class HookedPrompts : public test::ScriptedPrompts {
public:
    std::function<void()> onMessage;
    int Message(const lark::prompts::Request& request) override {
        if (onMessage) onMessage();
        return ScriptedPrompts::Message(request);
    }
};

class FileTypePage : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteCleanAssociations();
        test::BreakAssociation(kExeKey, L"C:\\evil.exe \"%1\" %*");
        test::BreakAssociation(kTxtKey, L"C:\\evil.exe %1");
        ASSERT_TRUE(host.Create(page, IDD_LISTPAGE));
    }

    lark::CListCtrl& List() { return page.List(); }
    std::wstring Text(int row, int column) { return list.Text(row, column); }
    int RowOf(const std::wstring& name) { return list.RowOf(name); }

    HookedPrompts prompts;
    test::PageHost host;
    CFileTypeDialog page;
    test::ListPageDriver list{page, prompts};
};

TEST_F(FileTypePage, ListsEveryEntryWithItsStateValueAndKey) {
    EXPECT_EQ(List().GetExtendedStyle(), static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.Columns(), (std::vector<test::ListPageDriver::Column>{
                                  {L"名 称", 80}, {L"扩展名称", 80}, {L"状态", 60}, {L"关联路径", 200}, {L"注册表项", 300}}));
    ASSERT_EQ(List().GetItemCount(), 14);
    EXPECT_EQ(page.RowCounter(), 14);
    for (int r = 0; r < 14; ++r) {
        const auto& entry = FileAssociationTable[r];
        const bool broken = r == 3 || r == 5;
        EXPECT_EQ(Text(r, 0), entry.displayName);
        EXPECT_EQ(Text(r, 1), entry.extension);
        EXPECT_EQ(Text(r, 2), broken ? L"错误" : L"正确");
        EXPECT_EQ(Text(r, 4), std::wstring(L"HKEY_CLASSES_ROOT\\") + entry.commandKey);
        if (!broken) {
            EXPECT_EQ(Text(r, 3), entry.command);
        }
    }
    EXPECT_EQ(Text(3, 3), L"C:\\evil.exe \"%1\" %*");
}

TEST_F(FileTypePage, WrongRowsAreDrawnRedInEveryCell) {
    EXPECT_EQ(list.RowColour(3), RGB(255, 0, 0));
    EXPECT_EQ(list.RowColour(4), RGB(0, 0, 0));
    const auto post = list.Draw(CDDS_ITEMPOSTPAINT, 3, 0);
    EXPECT_EQ(post.result, CDRF_DODEFAULT);
    EXPECT_EQ(post.text, RGB(1, 2, 3));
}

TEST_F(FileTypePage, RepairIsOfferedOnlyOnAWrongRow) {
    struct MenuCase {
        const char* name;
        int row;
        bool repairEnabled;
    } cases[] = {{"wrong row", 3, true}, {"correct row", 0, false}, {"no row", -1, false}, {"wrong row again", 5, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(list.RightClick(c.row, {30, 40}), 0);
        const auto* menu = prompts.LastMenu();
        ASSERT_NE(menu, nullptr) << c.name;
        EXPECT_EQ(list.MenuTexts(), (std::vector<std::wstring>{L"刷新列表", L"修复关联"}));
        EXPECT_TRUE(prompts.LastMenuEnabled(ID_FILETYPE_REFRESH)) << c.name;
        EXPECT_EQ(prompts.LastMenuEnabled(ID_FILETYPE_REPAIR), c.repairEnabled) << c.name;
        EXPECT_EQ(page.ClickedRow(), c.row) << c.name;
        POINT screen{30, 40};
        ::ClientToScreen(page.m_hWnd, &screen);
        EXPECT_EQ(menu->point.x, screen.x);
        EXPECT_EQ(menu->point.y, screen.y);
        EXPECT_EQ(menu->owner, page.m_hWnd);
        EXPECT_EQ(menu->flags, static_cast<UINT>(TPM_LEFTALIGN));
    }
}

// Shift+F10 in the list: the menu of the focused row at that row, and its commands act on it.
TEST_F(FileTypePage, KeyboardOpensTheMenuForTheFocusedRow) {
    const int exe = RowOf(L"exefile");
    list.Select(exe);
    list.KeyboardMenu();
    ASSERT_EQ(list.MenusShown(), 1u);
    EXPECT_EQ(page.ClickedRow(), exe);
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_FILETYPE_REPAIR));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    ASSERT_TRUE(List().SendMessage(LVM_GETITEMRECT, exe, reinterpret_cast<LPARAM>(&bounds)));
    POINT below{0, bounds.bottom};
    ::ClientToScreen(List().m_hWnd, &below);
    EXPECT_EQ(prompts.LastMenu()->point.y, below.y);
    EXPECT_EQ(prompts.LastMenu()->owner, page.m_hWnd);
    list.Command(ID_FILETYPE_REPAIR);
    EXPECT_EQ(test::OpenCommandOf(kExeKey), L"\"%1\" %*");

    list.Select(-1);
    list.KeyboardMenu();
    ASSERT_EQ(list.MenusShown(), 2u);
    EXPECT_EQ(page.ClickedRow(), -1);
    EXPECT_FALSE(prompts.LastMenuEnabled(ID_FILETYPE_REPAIR));
}

// A real right click goes through NM_RCLICK and then WM_CONTEXTMENU: one menu, not two.
TEST_F(FileTypePage, MouseRightClickShowsOneMenu) {
    const int txt = RowOf(L"txtfile");
    list.MouseRightClick(txt);
    EXPECT_EQ(list.MenusShown(), 1u);
    EXPECT_EQ(page.ClickedRow(), txt);
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_FILETYPE_REPAIR));
}

TEST_F(FileTypePage, ChosenMenuCommandReachesThePage) {
    prompts.menuChoices.push_back(ID_FILETYPE_REPAIR);
    list.RightClick(3);
    test::PumpMessages(50);
    EXPECT_EQ(test::OpenCommandOf(kExeKey), L"\"%1\" %*");
    EXPECT_EQ(Text(RowOf(L"exefile"), 2), L"正确");
}

TEST_F(FileTypePage, ColumnClicksSortDescendingFirstThenReverse) {
    // Item data travels with its row.
    for (int r = 0; r < List().GetItemCount(); ++r) List().SetItemData(r, 1000 + r);
    EXPECT_EQ(list.ClickColumn(2), 0);
    EXPECT_EQ(page.SortColumn(), 2);
    auto states = list.ColumnTexts(2);
    EXPECT_EQ(states[0], L"错误");
    EXPECT_EQ(states[1], L"错误");
    EXPECT_EQ(states[2], L"正确");
    EXPECT_EQ(states[13], L"正确");
    for (int r = 0; r < List().GetItemCount(); ++r) {
        int original = 0;
        while (FileAssociationTable[original].displayName != Text(r, 0)) ++original;
        EXPECT_EQ(List().GetItemData(r), static_cast<DWORD_PTR>(1000 + original)) << r;
    }
    EXPECT_EQ(list.ClickColumn(2), 0);
    states = list.ColumnTexts(2);
    EXPECT_EQ(states[11], L"正确");
    EXPECT_EQ(states[12], L"错误");
    EXPECT_EQ(states[13], L"错误");
    // One direction flag for all columns: the next click, on names, sorts descending again.
    EXPECT_EQ(list.ClickColumn(0), 0);
    auto names = list.ColumnTexts(0);
    EXPECT_EQ(names.front(), L"vbsfile");
    EXPECT_EQ(names.back(), L"batfile");
    EXPECT_EQ(list.ClickColumn(1), 0);  // and now ascending
    auto extensions = list.ColumnTexts(1);
    EXPECT_EQ(extensions.front(), L".bat");
    EXPECT_EQ(extensions[8], L".js");
    EXPECT_EQ(extensions.back(), L".vbs");
}

TEST_F(FileTypePage, TextsAreOrderedByCodeUnits) {
    struct OrderCase {
        std::wstring a, b;
        int sign;
    } cases[] = {
        {L"B", L"a", -1},                    // no case folding
        {L"ab", L"abc", -1},                 // a prefix first
        {L"", L"a", -1},
        {L"abc", L"abc", 0},
        {L"\u9519", L"\u6b63", 1},           // 错 after 正
        {L"\U0001F600", L"\uffee", -1},     // surrogates are units, not code points
        {L"\u00e9", L"z", 1},                // units compared unsigned
    };
    for (const auto& c : cases) {
        const int order = CompareCodeUnits(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.sign);
        EXPECT_EQ((CompareCodeUnits(c.b, c.a) > 0) - (CompareCodeUnits(c.b, c.a) < 0), -c.sign);
    }
}

TEST_F(FileTypePage, RepairRefillsTheListShowingCorrect) {
    list.RightClick(RowOf(L"exefile"));
    list.Command(ID_FILETYPE_REPAIR);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(test::OpenCommandOf(kExeKey), L"\"%1\" %*");
    ASSERT_EQ(List().GetItemCount(), 14);
    EXPECT_EQ(page.RowCounter(), 14);
    EXPECT_EQ(Text(RowOf(L"exefile"), 2), L"正确");
    EXPECT_EQ(Text(RowOf(L"txtfile"), 2), L"错误");
}

TEST_F(FileTypePage, FailedRepairSaysSoAndStillListsTheEntryAsWrong) {
    list.RightClick(RowOf(L"exefile"));
    {
        UnwritableClassesRoot unwritable;
        prompts.onMessage = [&] { unwritable.Restore(); };  // the refill reads the real classes again
        list.Command(ID_FILETYPE_REPAIR);
    }
    const auto shown = prompts.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], L"错误|修复失败");
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(prompts.requests.back().owner, page.m_hWnd);
    ASSERT_EQ(List().GetItemCount(), 14);
    EXPECT_EQ(Text(RowOf(L"exefile"), 2), L"错误");
    EXPECT_EQ(test::OpenCommandOf(kExeKey), L"C:\\evil.exe \"%1\" %*");
}

TEST_F(FileTypePage, RefreshShowsTheRegistryAsItIsNow) {
    test::DeleteTree(HKEY_CLASSES_ROOT, L"chm.file");
    test::WriteCleanAssociations();
    test::DeleteTree(HKEY_CLASSES_ROOT, L"jsfile");
    list.Command(ID_FILETYPE_REFRESH);
    EXPECT_EQ(List().GetItemCount(), 13);
    EXPECT_EQ(page.RowCounter(), 13);
    EXPECT_EQ(RowOf(L"jsfile"), -1);
    for (int r = 0; r < 13; ++r) EXPECT_EQ(Text(r, 2), L"正确") << r;
}

// The list keeps to the page whatever size the tab gives it, its scroll bars in sight.
TEST_F(FileTypePage, ListFillsThePage) {
    for (const SIZE size : {SIZE{640, 300}, SIZE{300, 120}}) {
        page.MoveWindow(0, 0, size.cx, size.cy);
        RECT client{}, list{};
        ::GetClientRect(page.m_hWnd, &client);
        ::GetWindowRect(List().m_hWnd, &list);
        ::MapWindowPoints(nullptr, page.m_hWnd, reinterpret_cast<POINT*>(&list), 2);
        EXPECT_EQ(list.left, 0);
        EXPECT_EQ(list.top, 0);
        EXPECT_EQ(list.right, client.right);
        EXPECT_EQ(list.bottom, client.bottom);
    }
}

TEST_F(FileTypePage, EnterAndEscapeChangeNothing) {
    for (int id : {IDOK, IDCANCEL}) {
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        EXPECT_TRUE(page.IsWindowVisible());
        EXPECT_TRUE(::IsWindow(page.m_hWnd));
        EXPECT_EQ(List().GetItemCount(), 14);
    }
}

}  // namespace
