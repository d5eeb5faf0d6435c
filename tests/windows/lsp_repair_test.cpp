// The Winsock LSP page under Wine. Wine never reads the catalogue in the registry, so the tests write
// entries of their own into it (cleared before and after each test); provider DLLs with and without
// version texts are built beside the tests (lsp_repair.cmake).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "framework/process.h"
#include "pages/lsp_repair_dialog.h"
#include "repair/catalog_item.h"
#include "repair/lsp_repair.h"
#include "repair/trust_library.h"
#include "resource.h"
#include "support/files.h"
#include "support/list_page.h"
#include "support/process_recorder.h"
#include "support/raw_registry.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kCatalog = kCatalogEntriesKey;
const std::wstring kParameters = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
const std::wstring kMswsock = L"C:\\windows\\system32\\mswsock.dll";
const std::string kTcpipId("\xA0\x1A\x0F\xE7\x8B\xAB\xCF\x11\x8C\xA3\x00\x80\x5F\x48\xA1\x92", 16);
const std::wstring kTcpipText = L"{E70F1AA0-AB8B-11CF-8CA3-00805F48A192}";
// {00000001-000A-0000-0C05-000102030405}
const std::string kShortId("\x01\x00\x00\x00\x0A\x00\x00\x00\x0C\x05\x00\x01\x02\x03\x04\x05", 16);
const std::wstring kShortText = L"{1-A-0-C5-000102030405}";

std::wstring BinDir() { return test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")); }
std::wstring Provider(const wchar_t* name) { return BinDir() + L"\\lsp\\" + name; }
std::wstring Signed(const wchar_t* name) { return BinDir() + L"\\trust\\" + name; }
std::string Ansi(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII paths

// A "PackedCatalogItem" value: the path's bytes at 0, the identifier at 280, the name at 376.
struct Item {
    std::string path;
    std::string id = kTcpipId;
    std::wstring protocol;
    std::vector<BYTE> Bytes(size_t size = kCatalogItemSize) const {
        std::vector<BYTE> bytes(std::max(size, kCatalogItemSize));
        std::copy(path.begin(), path.end(), bytes.begin());
        std::copy(id.begin(), id.end(), bytes.begin() + kProviderIdOffset);
        std::copy_n(reinterpret_cast<const BYTE*>(protocol.data()), protocol.size() * 2, bytes.begin() + kProtocolOffset);
        bytes.resize(size);
        return bytes;
    }
};

void WriteEntry(const std::wstring& name, const std::vector<BYTE>& value) {
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kCatalog + L"\\" + name, L"PackedCatalogItem", value.data(),
                              static_cast<DWORD>(value.size())),
              ERROR_SUCCESS);
}
void WriteEntry(const std::wstring& name, const Item& item) { WriteEntry(name, item.Bytes()); }

// Every entry goes, and a value of the catalogue key itself; the key stays, as in a fresh prefix.
void ClearCatalog() {
    test::CreateKey(HKEY_LOCAL_MACHINE, kCatalog);
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCatalog.c_str(), L"PackedCatalogItem");
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kCatalog)) {
        test::DeleteTree(HKEY_LOCAL_MACHINE, kCatalog + L"\\" + name);
    }
}

using Row = std::vector<std::wstring>;

// Stands in for the programs the page starts: records each request and runs the sleeper for as long
// as the test says instead, handing its process to the caller and keeping a handle of its own. The
// sleeper ends with the exit code given, and writes that many bytes to the file first when one is named.
class SleeperStarter : public lark::process::Starter {
public:
    explicit SleeperStarter(DWORD milliseconds, DWORD exitCode = 0, std::wstring file = {}, int bytes = 0)
        : milliseconds_(milliseconds),
          exitCode_(exitCode),
          file_(std::move(file)),
          bytes_(bytes),
          previous_(lark::process::SetStarter(this)) {}
    ~SleeperStarter() override {
        lark::process::SetStarter(previous_);
        for (auto& process : processes) ::TerminateProcess(process.get(), 0);
    }
    bool Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) override {
        starts.push_back(request);
        lark::process::StartRequest sleeper;
        sleeper.commandLine = L"\"" + Provider(L"sleeper.exe") + L"\" " + std::to_wstring(milliseconds_) + L" " +
                              std::to_wstring(exitCode_);
        if (!file_.empty()) sleeper.commandLine += L" \"" + file_ + L"\" " + std::to_wstring(bytes_);
        if (!lark::process::RealStart(sleeper, process)) return false;
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), process.get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        processes.emplace_back(copy);
        return true;
    }
    INT_PTR Shell(const lark::process::ShellRequest&) override { return 0; }
    // Whether the last stand-in had ended when asked.
    bool LastEnded() const { return !processes.empty() && ::WaitForSingleObject(processes.back().get(), 0) == WAIT_OBJECT_0; }

    std::vector<lark::process::StartRequest> starts;
    std::vector<lark::UniqueHandle> processes;

private:
    DWORD milliseconds_, exitCode_;
    std::wstring file_;
    int bytes_;
    lark::process::Starter* previous_;
};

class Catalog : public ::testing::Test {
protected:
    void SetUp() override { ClearCatalog(); }
    void TearDown() override { ClearCatalog(); }

    DWORD Enumerate() {
        rows.clear();
        return EnumerateCatalogEntries([&](const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                           const wchar_t* description, const wchar_t* id) {
            rows.push_back({protocol, path, vendor, description, id});
        });
    }

    std::vector<Row> rows;
};

TEST_F(Catalog, EntriesComeInEnumerationOrderWithAllFiveTexts) {
    // Written out of order: Wine enumerates by name, and the rows follow the registry's order.
    WriteEntry(L"000000000003", Item{Ansi(Provider(L"plain.dll")), kTcpipId, L"No Version [UDP/IP]"});
    WriteEntry(L"000000000001", Item{"%SystemRoot%\\system32\\mswsock.dll", kTcpipId, L"MSAFD Tcpip [TCP/IP]"});
    WriteEntry(L"000000000002", Item{Ansi(Provider(L"speedlsp.dll")), kShortId, L"速航 [TCP/IP]"});
    EXPECT_EQ(Enumerate(), 0u);
    EXPECT_EQ(rows, (std::vector<Row>{
                        {L"MSAFD Tcpip [TCP/IP]", kMswsock, L"Microsoft Corporation", L"Wine core dll", kTcpipText},
                        {L"速航 [TCP/IP]", Provider(L"speedlsp.dll"), L"速航网络科技有限公司", L"速航网络加速分层服务", kShortText},
                        {L"No Version [UDP/IP]", Provider(L"plain.dll"), L"--", L"--", kTcpipText},
                    }));
}

// A value is read only as far as its data, its fields only as far as their room; a value over
// 1024 bytes is not read at all.
TEST_F(Catalog, ValuesAndFieldsAreReadOnlyAsFarAsTheyReach) {
    Item unterminatedPath{std::string(260, 'A') + std::string(20, 'B'), kShortId, L"TCP"};
    WriteEntry(L"01", unterminatedPath);
    const std::wstring tooLongToExpand = L"%APPDATA%\\" + std::wstring(240, L'x') + L".dll";  // over 259 expanded
    WriteEntry(L"02", Item{Ansi(tooLongToExpand), kShortId, L"Unexpanded"});
    std::vector<BYTE> unterminatedName = Item{"C:\\a.dll", kShortId, std::wstring(256, L'P')}.Bytes(1024);
    std::fill(unterminatedName.begin() + kCatalogItemSize, unterminatedName.end(), 'Q');
    WriteEntry(L"03", unterminatedName);
    WriteEntry(L"04", Item{"C:\\short.dll", kTcpipId, L"cut off"}.Bytes(290));
    WriteEntry(L"05", Item{"C:\\fits.dll", kTcpipId, L"1024"}.Bytes(1024));
    WriteEntry(L"06", Item{"C:\\large.dll", kTcpipId, L"1025"}.Bytes(1025));
    EXPECT_EQ(Enumerate(), static_cast<DWORD>(ERROR_MORE_DATA));  // the last entry's read

    const std::vector<Row> expected = {
        {L"TCP", std::wstring(260, L'A'), L"--", L"--", kShortText},
        {L"Unexpanded", tooLongToExpand, L"--", L"--", kShortText},
        {std::wstring(256, L'P'), L"C:\\a.dll", L"--", L"--", kShortText},
        {L"", L"C:\\short.dll", L"--", L"--", L"{E70F1AA0-AB8B-11CF-8CA3-000000000000}"},
        {L"1024", L"C:\\fits.dll", L"--", L"--", kTcpipText},
    };
    EXPECT_EQ(rows, expected);

    // Entries without a readable value are left out the same way; an empty catalogue lists nothing.
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kCatalog + L"\\07", L"Other", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(Enumerate(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(rows, expected);
    ClearCatalog();
    EXPECT_EQ(Enumerate(), 0u);
    EXPECT_TRUE(rows.empty());
}

TEST_F(Catalog, WithoutSinkOrCatalogueNothingIsListed) {
    WriteEntry(L"000000000001", Item{"C:\\a.dll", kTcpipId, L"TCP"});
    EXPECT_EQ(EnumerateCatalogEntries(CatalogSink{}), 0xB0000001u);
    test::DeleteTree(HKEY_LOCAL_MACHINE, kCatalog);
    EXPECT_EQ(Enumerate(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(rows.empty());
}

// Entries are opened by their exact names: one whose name holds a NUL is read as itself, never as
// the entry that the text before the NUL names, nor (when the NUL comes first) as the catalogue key.
TEST_F(Catalog, AnEntryWhoseNameHoldsANulIsReadAsItself) {
    WriteEntry(L"000000000001", Item{"C:\\genuine.dll", kTcpipId, L"Genuine"});
    const auto onKey = Item{"C:\\catalogue.dll", kTcpipId, L"The catalogue key"}.Bytes();
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kCatalog, L"PackedCatalogItem", onKey.data(),
                              static_cast<DWORD>(onKey.size())),
              ERROR_SUCCESS);
    const auto inner = Item{"C:\\inner.dll", kTcpipId, L"Inner"}.Bytes();
    const auto first = Item{"C:\\first.dll", kTcpipId, L"First"}.Bytes();
    test::RawNamedKey innerKey(HKEY_LOCAL_MACHINE, kCatalog, L"000000000001" + std::wstring(L"\0x", 2));
    test::RawNamedKey firstKey(HKEY_LOCAL_MACHINE, kCatalog, std::wstring(L"\0y", 2));
    ASSERT_EQ(innerKey.SetBinary(L"PackedCatalogItem", inner.data(), static_cast<DWORD>(inner.size())), ERROR_SUCCESS);
    ASSERT_EQ(firstKey.SetBinary(L"PackedCatalogItem", first.data(), static_cast<DWORD>(first.size())), ERROR_SUCCESS);
    EXPECT_EQ(Enumerate(), 0u);
    std::vector<std::wstring> listed;
    for (const Row& row : rows) listed.push_back(row[0] + L"|" + row[1]);
    EXPECT_EQ(listed,
              (std::vector<std::wstring>{L"First|C:\\first.dll", L"Genuine|C:\\genuine.dll", L"Inner|C:\\inner.dll"}));
}

// The path of an entry is ANSI text in the system code page: Western (1252) in the usual run, GBK
// (936) in its own ctest entry with LC_ALL=zh_CN.UTF-8. Neither the OEM code page nor UTF-8 reads
// these bytes so.
TEST_F(Catalog, PathsAreReadInTheAnsiCodePage) {
    std::string stored;
    std::wstring shown;
    switch (::GetACP()) {
    case 1252:
        stored = "C:\\caf\xe9\\lsp.dll";
        shown = L"C:\\caf\u00e9\\lsp.dll";
        break;
    case 936:
        stored = "C:\\\xb9\xa4\xbe\xdf\\lsp.dll";
        shown = L"C:\\工具\\lsp.dll";
        break;
    default:
        GTEST_SKIP() << "code page " << ::GetACP();
    }
    WriteEntry(L"000000000001", Item{stored, kTcpipId, L"ANSI"});
    EXPECT_EQ(Enumerate(), 0u);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], shown);
}

TEST(VersionStrings, BothTextsOfTheFirstTranslationOrNothing) {
    struct Case {
        std::wstring path;
        int result;
        std::wstring vendor, description;
    } cases[] = {
        {Provider(L"speedlsp.dll"), 1, L"速航网络科技有限公司", L"速航网络加速分层服务"},
        {Provider(L"upper.dll"), 1, L"MICROSOFT CORPORATION", L"Winsock helper"},
        {Provider(L"long_texts.dll"), 1, std::wstring(511, L'V'), std::wstring(511, L'D')},  // cut to fit
        {Provider(L"company_only.dll"), 0, L"sentinel", L"sentinel"},
        {Provider(L"second_translation.dll"), 0, L"sentinel", L"sentinel"},
        {Provider(L"plain.dll"), 0, L"sentinel", L"sentinel"},
        {Provider(L"missing.dll"), 0, L"sentinel", L"sentinel"},
        {L"", 0, L"sentinel", L"sentinel"},
    };
    for (const auto& c : cases) {
        struct {
            wchar_t description[kVersionTextLength];
            wchar_t guard1[4];
            wchar_t vendor[kVersionTextLength];
            wchar_t guard2[4];
        } buffers;
        wmemset(reinterpret_cast<wchar_t*>(&buffers), L'#', sizeof(buffers) / sizeof(wchar_t));
        wcscpy(buffers.description, L"sentinel");
        wcscpy(buffers.vendor, L"sentinel");
        EXPECT_EQ(ReadVersionStrings(c.path.c_str(), buffers.description, buffers.vendor), c.result) << c.path;
        EXPECT_EQ(std::wstring(buffers.vendor), c.vendor) << c.path;
        EXPECT_EQ(std::wstring(buffers.description), c.description) << c.path;
        EXPECT_EQ(std::wstring(buffers.guard1, 4), L"####");
        EXPECT_EQ(std::wstring(buffers.guard2, 4), L"####");
    }
}

// ---- Explorer ----

TEST(LocateFile, ExplorerFromTheWindowsFolderWithTheFileSelected) {
    test::ProcessRecorder recorder;
    EXPECT_EQ(LocateFileInExplorer(L"C:\\Program Files\\x.dll"), 1);
    EXPECT_EQ(LocateFileInExplorer(L""), 1);
    EXPECT_EQ(LocateFileInExplorer(nullptr), 1);
    ASSERT_EQ(recorder.starts.size(), 3u);
    for (const auto& start : recorder.starts) {
        EXPECT_EQ(start.application, L"C:\\windows\\explorer.exe");
        EXPECT_EQ(start.showCommand, -1);  // default start-up information
    }
    EXPECT_EQ(recorder.starts[0].commandLine, L"C:\\windows\\Explorer /select,C:\\Program Files\\x.dll");
    EXPECT_EQ(recorder.starts[1].commandLine, L"C:\\windows\\Explorer /select,");
    EXPECT_EQ(recorder.starts[2].commandLine, L"C:\\windows\\Explorer /select,");

    recorder.startSucceeds = false;
    EXPECT_EQ(LocateFileInExplorer(L"C:\\x.dll"), 0);
}

TEST(LocateFile, ACommandLineOver520CharactersIsNotStarted) {
    test::ProcessRecorder recorder;
    const std::wstring prefix = L"C:\\windows\\Explorer /select,";
    const std::wstring fits = L"C:\\" + std::wstring(519 - prefix.size() - 3, L'f');
    ASSERT_EQ((prefix + fits).size(), 519u);
    EXPECT_EQ(LocateFileInExplorer(fits.c_str()), 1);
    EXPECT_EQ(LocateFileInExplorer((fits + L"g").c_str()), 0);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(recorder.starts[0].commandLine, prefix + fits);
}

TEST(LocateFile, ExplorerIsNotWaitedFor) {
    SleeperStarter starter(5000);
    EXPECT_EQ(LocateFileInExplorer(L"C:\\x.dll"), 1);
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_FALSE(starter.LastEnded());
}

// ---- the page ----

class LspPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTrustLibrary(), kTrustOk);
        ClearCatalog();
        WriteEntry(L"000000000001", Item{"%SystemRoot%\\system32\\mswsock.dll", kTcpipId, L"MSAFD Tcpip [TCP/IP]"});
        WriteEntry(L"000000000002", Item{Ansi(Provider(L"speedlsp.dll")), kShortId, L"Speedlane [TCP/IP]"});
        WriteEntry(L"000000000003", Item{Ansi(Provider(L"upper.dll")), kTcpipId, L"Upper [UDP/IP]"});
        WriteEntry(L"000000000004", Item{Ansi(Provider(L"plain.dll")), kTcpipId, L"Plain [RAW/IP]"});
        ASSERT_TRUE(host.Create(page, IDD_LISTPAGE));
    }
    void TearDown() override {
        ClearCatalog();
        EXPECT_EQ(UnloadTrustLibrary(), kTrustOk);
    }

    lark::CListCtrl& List() { return page.List(); }
    // Right-clicks the row and chooses the command from its menu.
    void OnRow(int row, UINT command) {
        list.RightClick(row);
        list.Command(command);
    }

    test::ScriptedPrompts prompts;
    test::PageHost host;
    CLSPRepairDialog page;
    test::ListPageDriver list{page, prompts};
};

TEST_F(LspPage, ListsTheCatalogueInFiveColumns) {
    EXPECT_EQ(List().GetExtendedStyle(), static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.Columns(), (std::vector<test::ListPageDriver::Column>{
                                  {L"协  议", 180}, {L"映像路径", 200}, {L"文件厂商", 120}, {L"文件描述", 150}, {L"CLISID", 250}}));
    EXPECT_EQ(list.Snapshot(), (test::ListPageDriver::Rows{
                                   {L"MSAFD Tcpip [TCP/IP]", kMswsock, L"Microsoft Corporation", L"Wine core dll", kTcpipText},
                                   {L"Speedlane [TCP/IP]", Provider(L"speedlsp.dll"), L"速航网络科技有限公司",
                                    L"速航网络加速分层服务", kShortText},
                                   {L"Upper [UDP/IP]", Provider(L"upper.dll"), L"MICROSOFT CORPORATION", L"Winsock helper", kTcpipText},
                                   {L"Plain [RAW/IP]", Provider(L"plain.dll"), L"--", L"--", kTcpipText},
                               }));
    EXPECT_EQ(page.RowCounter(), 4);
    EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(LspPage, RowsOfOtherVendorsThanMicrosoftAreBlue) {
    const COLORREF black = RGB(0, 0, 0), blue = RGB(0, 0, 255);
    EXPECT_EQ(list.RowColour(0), black);
    EXPECT_EQ(list.RowColour(1), blue);
    EXPECT_EQ(list.RowColour(2), black);  // "MICROSOFT CORPORATION"
    EXPECT_EQ(list.RowColour(3), blue);   // "--"
}

TEST_F(LspPage, RowCommandsAreEnabledWhileARowIsSelected) {
    list.RightClick(-1);
    EXPECT_EQ(list.MenuTexts(), (std::vector<std::wstring>{L"刷新列表", L"备    份", L"修    复", L"定位文件", L"校验签名"}));
    EXPECT_EQ(list.EnabledItems(), (std::set<UINT>{ID_LSP_REFRESH, ID_LSP_BACKUP, ID_LSP_REPAIR}));
    EXPECT_EQ(prompts.LastMenu()->owner, page.m_hWnd);
    list.Select(3);
    list.RightClick(0);
    EXPECT_EQ(list.EnabledItems(),
              (std::set<UINT>{ID_LSP_REFRESH, ID_LSP_BACKUP, ID_LSP_REPAIR, ID_LSP_LOCATE, ID_LSP_VERIFY}));
}

TEST_F(LspPage, RefreshListsTheCatalogueAgain) {
    WriteEntry(L"000000000005", Item{"C:\\new.dll", kTcpipId, L"New"});
    list.Command(ID_LSP_REFRESH);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{L"MSAFD Tcpip [TCP/IP]", L"Speedlane [TCP/IP]",
                                                               L"Upper [UDP/IP]", L"Plain [RAW/IP]", L"New"}));
    EXPECT_EQ(page.RowCounter(), 5);
    test::DeleteTree(HKEY_LOCAL_MACHINE, kCatalog);
    list.Command(ID_LSP_REFRESH);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(page.RowCounter(), 0);
    EXPECT_TRUE(prompts.Messages().empty());  // no message for a missing catalogue
}

TEST_F(LspPage, BackUpExportsTheParametersTreeWithRegeditFromTheWindowsFolder) {
    const std::wstring target = test::TempPath(L"lsp-backup.reg");
    SleeperStarter recorder(0, 0, target, 10);  // stands in for regedit: writes 10 bytes there
    prompts.saveAsPaths = {target};
    list.Command(ID_LSP_BACKUP);
    const auto& saveAs = prompts.requests.at(0);
    EXPECT_EQ(saveAs.kind, lark::prompts::Request::Kind::SaveAs);
    EXPECT_EQ(saveAs.text, L"LSP备份.reg");
    EXPECT_EQ(saveAs.caption, L"All Files (*.*)|*.*||");
    EXPECT_EQ(saveAs.flags, static_cast<UINT>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
    EXPECT_EQ(saveAs.defaultExtension, L"");
    EXPECT_EQ(saveAs.owner, page.m_hWnd);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(recorder.starts[0].application, L"C:\\windows\\regedit.exe");
    EXPECT_EQ(recorder.starts[0].commandLine, L"regedit.exe /e \"" + target + L"\" \"" + kParameters + L"\"");
    EXPECT_EQ(recorder.starts[0].showCommand, SW_HIDE);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|备份成功"});
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(prompts.requests.back().owner, page.m_hWnd);
}

TEST_F(LspPage, BackUpWhoseCommandLineWouldNotFit512CharactersStartsNothing) {
    test::ProcessRecorder recorder;
    const size_t fixed = std::wstring(L"regedit.exe /e \"\" \"\"").size() + kParameters.size();
    const std::wstring fits = L"C:\\" + std::wstring(511 - fixed - 3, L'b');
    prompts.saveAsPaths = {fits, fits + L"c"};
    list.Command(ID_LSP_BACKUP);
    list.Command(ID_LSP_BACKUP);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(recorder.starts[0].commandLine.size(), 511u);
    // The recorder starts no process: no end was seen and no file written.
    EXPECT_EQ(prompts.Messages(), (std::vector<std::wstring>{L"提示|备份失败", L"提示|备份失败"}));
}

// A back-up says it succeeded only when regedit ended and left a file with something in it. A file
// already at the target (the user agreed to replace it) goes first, so it never passes for the new one.
TEST_F(LspPage, BackUpThatWritesNothingFailsAndLeavesNoFile) {
    const std::wstring target = test::TempPath(L"old-backup.reg");
    struct Case {
        const char* name;
        DWORD exitCode;
        int bytes;  // written by the stand-in; -1: nothing
        bool succeeds;
    } cases[] = {
        {"writes nothing", 0, -1, false},
        {"writes an empty file", 0, 0, false},
        {"writes, ends with 1", 1, 5, true},  // what regedit returns is not looked at
        {"writes", 0, 5, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(test::WriteFileBytes(target, "old back-up"));
        SleeperStarter starter(0, c.exitCode, c.bytes >= 0 ? target : L"", c.bytes);
        prompts.saveAsPaths = {target};
        list.Command(ID_LSP_BACKUP);
        EXPECT_EQ(prompts.Messages().back(), c.succeeds ? L"提示|备份成功" : L"提示|备份失败") << c.name;
        const auto left = test::ReadFileBytes(target);
        if (c.succeeds) {
            EXPECT_EQ(left, std::string(static_cast<size_t>(c.bytes), 'x')) << c.name;
        } else {
            EXPECT_FALSE(left.has_value()) << c.name;
        }
    }
}

// The real regedit of the prefix, into a folder that is not there: it writes nothing.
TEST_F(LspPage, BackUpIntoAFolderThatCannotBeWrittenSaysItFailed) {
    test::ProcessRecorder recorder(true);
    const std::wstring target = test::TempPath(L"no such folder") + L"\\LSP备份.reg";
    prompts.saveAsPaths = {target};
    list.Command(ID_LSP_BACKUP);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|备份失败"});
    EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LspPage, CancelledBackUpStartsAndShowsNothing) {
    test::ProcessRecorder recorder;
    list.Command(ID_LSP_BACKUP);  // no path scripted: cancelled
    EXPECT_TRUE(recorder.starts.empty());
    EXPECT_TRUE(prompts.Messages().empty());
}

// The real regedit of the prefix, waited for: the file is there when the command returns.
TEST_F(LspPage, BackUpUnderWineWritesTheCatalogueToTheChosenFile) {
    test::ProcessRecorder recorder(true);
    const std::wstring target = test::TempPath(L"LSP备份.reg");
    ASSERT_TRUE(test::WriteFileBytes(target, "old back-up"));
    prompts.saveAsPaths = {target};
    list.Command(ID_LSP_BACKUP);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|备份成功"});
    const auto bytes = test::ReadFileBytes(target);
    ASSERT_TRUE(bytes.has_value());
    ASSERT_GE(bytes->size(), 2u);
    EXPECT_EQ(bytes->substr(0, 2), "\xFF\xFE");
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes->data() + 2), (bytes->size() - 2) / 2);
    EXPECT_NE(text.find(L"[" + kParameters + L"\\Protocol_Catalog9\\Catalog_Entries\\000000000002]\r\n"
                        L"\"PackedCatalogItem\"=hex:"),
              std::wstring::npos);
}

TEST_F(LspPage, RepairAsksFirstAndOnNoRunsNothing) {
    test::ProcessRecorder recorder;
    prompts.messageBoxAnswers = {IDNO};
    list.Command(ID_LSP_REPAIR);
    EXPECT_TRUE(recorder.starts.empty());
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0],
              L"提示|此操作会把LSP恢复到windows默认状态，\n可能会导致部分软件不能上网，\n"
              L"如果出现此情况，请重新安装该软件或将LSP备份文件导入注册表。\n确认该操作？");
    EXPECT_EQ(prompts.requests[0].flags, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(prompts.requests[0].owner, page.m_hWnd);
}

TEST_F(LspPage, RepairRunsNetshHiddenWaitsAndLeavesTheList) {
    SleeperStarter starter(300);
    WriteEntry(L"000000000005", Item{"C:\\new.dll", kTcpipId, L"New"});
    prompts.messageBoxAnswers = {IDYES};
    list.Command(ID_LSP_REPAIR);
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].application, L"C:\\windows\\system32\\netsh.exe");
    EXPECT_EQ(starter.starts[0].commandLine, L"netsh winsock reset");
    EXPECT_EQ(starter.starts[0].showCommand, SW_HIDE);
    EXPECT_TRUE(starter.LastEnded());
    EXPECT_EQ(prompts.Messages().back(), L"提示|修复完成，请重启电脑");
    EXPECT_EQ(list.Count(), 4);  // not refreshed
}

// Only a netsh that ended with exit code 0 did the reset.
TEST_F(LspPage, RepairSaysItFailedWhenNetshEndsWithAnotherCode) {
    for (const DWORD exitCode : {1u, 0xC0000005u}) {
        SleeperStarter starter(0, exitCode);
        prompts.messageBoxAnswers = {IDYES};
        list.Command(ID_LSP_REPAIR);
        EXPECT_EQ(starter.starts.size(), 1u);
        EXPECT_EQ(prompts.Messages().back(), L"提示|由于未知原因，修复失败") << exitCode;
    }
}

TEST_F(LspPage, RepairSaysSoWhenNetshCannotStart) {
    test::ProcessRecorder recorder;
    recorder.startSucceeds = false;
    prompts.messageBoxAnswers = {IDYES};
    list.Command(ID_LSP_REPAIR);
    EXPECT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(prompts.Messages().back(), L"提示|由于未知原因，修复失败");
}

TEST_F(LspPage, LocateShowsTheClickedRowsExpandedPathInExplorer) {
    test::ProcessRecorder recorder;
    list.Select(1);
    OnRow(0, ID_LSP_LOCATE);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(recorder.starts[0].application, L"C:\\windows\\explorer.exe");
    EXPECT_EQ(recorder.starts[0].commandLine, L"C:\\windows\\Explorer /select," + kMswsock);
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LspPage, VerifyReportsTheSignatureOfTheClickedRowsFile) {
    WriteEntry(L"000000000005", Item{Ansi(Signed(L"signed.exe")), kTcpipId, L"signed"});
    WriteEntry(L"000000000006", Item{Ansi(Signed(L"unsigned.exe")), kTcpipId, L"unsigned"});
    WriteEntry(L"000000000007", Item{Ansi(Signed(L"nocn.exe")), kTcpipId, L"no signer name"});
    list.Command(ID_LSP_REFRESH);
    const struct {
        const wchar_t* protocol;
        const wchar_t* message;
    } cases[] = {
        {L"signed", L"提示|此文件签名正确"},
        {L"unsigned", L"提示|此文件无签名或签名无效"},
        {L"no signer name", L"提示|此文件无签名或签名无效"},  // verified, but the result is not 0
        {L"MSAFD Tcpip [TCP/IP]", L"提示|此文件无签名或签名无效"},
    };
    for (const auto& c : cases) {
        OnRow(list.RowOf(c.protocol), ID_LSP_VERIFY);
        EXPECT_EQ(prompts.Messages().back(), c.message) << c.protocol;
        EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_OK));
    }
}

TEST_F(LspPage, RowCommandsActOnRowMinusOneWhenTheClickHitNoRow) {
    test::ProcessRecorder recorder;
    list.Select(1);
    list.RightClick(-1);
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_LSP_LOCATE));
    EXPECT_TRUE(prompts.LastMenuEnabled(ID_LSP_VERIFY));
    EXPECT_EQ(page.ClickedRow(), -1);
    list.Command(ID_LSP_LOCATE);
    list.Command(ID_LSP_VERIFY);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(recorder.starts[0].commandLine, L"C:\\windows\\Explorer /select,");
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|此文件无签名或签名无效"});
}

TEST_F(LspPage, FirstHeaderClickSortsDescendingTheNextAnotherColumnAscending) {
    list.ClickColumn(0);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::wstring>{L"Upper [UDP/IP]", L"Speedlane [TCP/IP]",
                                                               L"Plain [RAW/IP]", L"MSAFD Tcpip [TCP/IP]"}));
    list.ClickColumn(2);
    EXPECT_EQ(list.ColumnTexts(2), (std::vector<std::wstring>{L"--", L"MICROSOFT CORPORATION", L"Microsoft Corporation",
                                                               L"速航网络科技有限公司"}));
    EXPECT_EQ(page.SortColumn(), 2);
    EXPECT_EQ(list.RowColour(list.RowOf(L"Plain [RAW/IP]")), RGB(0, 0, 255));  // colours follow their rows
}

TEST_F(LspPage, EnterAndEscapeChangeNothing) {
    for (int id : {IDOK, IDCANCEL}) {
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        EXPECT_TRUE(page.IsWindowVisible());
        EXPECT_EQ(list.Count(), 4);
    }
}

TEST(LspDemoSeed, PutsAForeignProviderBeforeTheStandardEntries) {
    ClearCatalog();
    const std::wstring seed = test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) + L"\\scripts\\seed\\70-lsp.reg";
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    std::vector<Row> rows;
    EXPECT_EQ(EnumerateCatalogEntries([&](const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                          const wchar_t* description, const wchar_t* id) {
                  rows.push_back({protocol, path, vendor, description, id});
              }),
              0u);
    ClearCatalog();
    ASSERT_EQ(rows.size(), 7u);
    // The seed's script puts the DLL in place; here it is missing.
    EXPECT_EQ(rows[0], (Row{L"Speedlane Layered [TCP/IP]", L"C:\\windows\\system32\\speedlsp.dll", L"--", L"--",
                            L"{A5C3E21-7B04-4F1D-E2-3D6C8B1F0E77}"}));
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][1], kMswsock) << i;
        EXPECT_EQ(rows[i][2], L"Microsoft Corporation") << i;
    }
    EXPECT_EQ(rows[1][0], L"MSAFD Tcpip [TCP/IP]");
    EXPECT_EQ(rows[1][4], kTcpipText);
    EXPECT_EQ(rows[6][0], L"MSAFD Tcpip [RAW/IPv6]");
    EXPECT_EQ(rows[6][4], L"{F9EAB0C0-26D4-11D0-BBBF-00AA006C34E4}");
}

}  // namespace
