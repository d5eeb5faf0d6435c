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
#include "repair/wow64.h"
#include "resource.h"
#include "support/files.h"
#include "support/list_page.h"
#include "support/process_recorder.h"
#include "support/raw_registry.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

using lark::RegistryView;
const std::wstring kCatalog = kCatalogEntriesKey;      // of 32-bit programs
const std::wstring kCatalog64 = kCatalogEntries64Key;  // of 64-bit programs
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

// An entry of the 64-bit programs' catalogue unless another is named.
void WriteEntry(const std::wstring& name, const std::vector<BYTE>& value, const std::wstring& catalogue = kCatalog64) {
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, catalogue + L"\\" + name, L"PackedCatalogItem", value.data(),
                              static_cast<DWORD>(value.size())),
              ERROR_SUCCESS);
}
void WriteEntry(const std::wstring& name, const Item& item, const std::wstring& catalogue = kCatalog64) {
    WriteEntry(name, item.Bytes(), catalogue);
}

// Every entry of both catalogues goes, and a value of a catalogue key itself; the keys themselves
// stay (Wine makes only the 32-bit one: the other is made here, as 64-bit Windows has it).
void ClearCatalog() {
    for (const auto& catalogue : {kCatalog, kCatalog64}) {
        test::CreateKey(HKEY_LOCAL_MACHINE, catalogue);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, catalogue.c_str(), L"PackedCatalogItem");
        for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, catalogue)) {
            test::DeleteTree(HKEY_LOCAL_MACHINE, catalogue + L"\\" + name);
        }
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
    bool Shell(const lark::process::ShellRequest&) override { return false; }
    bool Select(const std::wstring&) override { return false; }
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

    CatalogSink Collect() {
        return [&](const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor, const wchar_t* description,
                   const wchar_t* id, RegistryView view) {
            rows.push_back({protocol, path, vendor, description, id});
            views.push_back(view);
        };
    }
    // Both catalogues.
    DWORD Enumerate() {
        rows.clear();
        views.clear();
        return EnumerateCatalogEntries(Collect());
    }

    std::vector<Row> rows;
    std::vector<RegistryView> views;
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
    ASSERT_EQ(test::SetString(HKEY_LOCAL_MACHINE, kCatalog64 + L"\\07", L"Other", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(Enumerate(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(rows, expected);
    ClearCatalog();
    EXPECT_EQ(Enumerate(), 0u);
    EXPECT_TRUE(rows.empty());
}

TEST_F(Catalog, WithoutSinkOrCatalogueNothingIsListed) {
    WriteEntry(L"000000000001", Item{"C:\\a.dll", kTcpipId, L"TCP"});
    WriteEntry(L"000000000001", Item{"C:\\a.dll", kTcpipId, L"TCP"}, kCatalog);
    EXPECT_EQ(EnumerateCatalogEntries(CatalogSink{}), 0xB0000001u);
    for (const RegistryView view : lark::kRegistryViews) {
        EXPECT_EQ(EnumerateCatalogEntries(view, CatalogSink{}), 0xB0000001u);
    }
    // Without the 64-bit catalogue (as Wine has it) the 32-bit one is listed all the same.
    test::DeleteTree(HKEY_LOCAL_MACHINE, kCatalog64);
    EXPECT_EQ(Enumerate(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(views, std::vector<RegistryView>{RegistryView::Bits32});
    test::DeleteTree(HKEY_LOCAL_MACHINE, kCatalog);
    EXPECT_EQ(Enumerate(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(rows.empty());
}

// The 32-bit provider, for the test's time in the 32-bit system folder and nowhere else.
class ProviderIn32BitSystemFolder {
public:
    static constexpr const wchar_t* kPath = L"C:\\windows\\syswow64\\wow64lsp.dll";
    ProviderIn32BitSystemFolder() { copied_ = ::CopyFileW(Provider(L"wow64lsp.dll").c_str(), kPath, FALSE) != 0; }
    ~ProviderIn32BitSystemFolder() { ::DeleteFileW(kPath); }
    bool Copied() const {
        return copied_ && ::GetFileAttributesW(L"C:\\windows\\system32\\wow64lsp.dll") == INVALID_FILE_ATTRIBUTES;
    }

private:
    bool copied_ = false;
};

// The same identifier in both catalogues, an entry in each alone, and one path that leads to
// different folders for the programs of each catalogue.
TEST_F(Catalog, BothCataloguesAreListedThe64BitOneFirstEachWithTheFilesItsProgramsLoad) {
    ProviderIn32BitSystemFolder provider;
    ASSERT_TRUE(provider.Copied());
    const std::string inSystemFolder = "%SystemRoot%\\system32\\wow64lsp.dll";
    WriteEntry(L"000000000001", Item{"%SystemRoot%\\system32\\mswsock.dll", kTcpipId, L"MSAFD Tcpip [TCP/IP]"});
    WriteEntry(L"000000000002", Item{Ansi(Provider(L"speedlsp.dll")), kShortId, L"Only 64"});
    WriteEntry(L"000000000003", Item{inSystemFolder, kShortId, L"Star"});
    WriteEntry(L"000000000001", Item{"%SystemRoot%\\system32\\mswsock.dll", kTcpipId, L"MSAFD Tcpip [TCP/IP]"}, kCatalog);
    WriteEntry(L"000000000002", Item{inSystemFolder, kShortId, L"Star"}, kCatalog);
    WriteEntry(L"000000000003", Item{Ansi(Provider(L"upper.dll")), kTcpipId, L"Only 32"}, kCatalog);

    EXPECT_EQ(Enumerate(), 0u);
    const std::wstring star = L"C:\\windows\\system32\\wow64lsp.dll";  // shown as the registry holds it
    EXPECT_EQ(rows, (std::vector<Row>{
                        {L"MSAFD Tcpip [TCP/IP]", kMswsock, L"Microsoft Corporation", L"Wine core dll", kTcpipText},
                        {L"Only 64", Provider(L"speedlsp.dll"), L"速航网络科技有限公司", L"速航网络加速分层服务", kShortText},
                        {L"Star", star, L"--", L"--", kShortText},  // not in the system folder
                        // Wine's 32-bit system folder holds no mswsock.dll.
                        {L"MSAFD Tcpip [TCP/IP]", kMswsock, L"--", L"--", kTcpipText},
                        {L"Star", star, L"星桥网络科技有限公司", L"星桥网络分层服务", kShortText},
                        {L"Only 32", Provider(L"upper.dll"), L"MICROSOFT CORPORATION", L"Winsock helper", kTcpipText},
                    }));
    const auto b64 = RegistryView::Bits64, b32 = RegistryView::Bits32;
    EXPECT_EQ(views, (std::vector<RegistryView>{b64, b64, b64, b32, b32, b32}));

    // One catalogue at a time.
    rows.clear();
    views.clear();
    EXPECT_EQ(EnumerateCatalogEntries(RegistryView::Bits32, Collect()), 0u);
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(views, (std::vector<RegistryView>{b32, b32, b32}));
}

TEST(SystemFolder, PathsOf32BitProgramsLeadToThe32BitSystemFolder) {
    struct Case {
        const wchar_t* path;
        const wchar_t* loaded;
    } cases[] = {
        {L"C:\\windows\\system32\\x.dll", L"C:\\windows\\syswow64\\x.dll"},
        {L"c:\\WINDOWS\\SYSTEM32\\X.DLL", L"C:\\windows\\syswow64\\X.DLL"},  // case ignored, the rest kept
        {L"C:\\windows\\system32\\wbem\\x.dll", L"C:\\windows\\syswow64\\wbem\\x.dll"},
        {L"C:\\windows\\system32", L"C:\\windows\\syswow64"},
        {L"C:/windows/system32/x.dll", L"C:\\windows\\syswow64\\x.dll"},
        {L"C:\\windows\\temp\\..\\system32\\.\\x.dll", L"C:\\windows\\syswow64\\x.dll"},
        {L"C:\\windows\\system32\\drivers\\x.sys", L"C:\\windows\\syswow64\\drivers\\x.sys"},
        {L"C:\\windows\\system32\\catroot2x\\x.dll", L"C:\\windows\\syswow64\\catroot2x\\x.dll"},
        {L"C:\\windows\\Sysnative\\x.dll", L"C:\\windows\\system32\\x.dll"},
        // Not redirected.
        {L"C:\\windows\\system32\\drivers\\etc\\hosts", L"C:\\windows\\system32\\drivers\\etc\\hosts"},
        {L"C:\\windows\\system32\\spool\\x.dll", L"C:\\windows\\system32\\spool\\x.dll"},
        {L"C:\\windows\\system32\\CatRoot2\\x.cat", L"C:\\windows\\system32\\CatRoot2\\x.cat"},
        {L"C:\\windows\\system32\\DriverStore", L"C:\\windows\\system32\\DriverStore"},
        // Other folders.
        {L"C:\\windows\\system32x\\x.dll", L"C:\\windows\\system32x\\x.dll"},
        {L"C:\\windows\\system3\\x.dll", L"C:\\windows\\system3\\x.dll"},
        {L"C:\\windows\\syswow64\\x.dll", L"C:\\windows\\syswow64\\x.dll"},
        {L"C:\\windows\\sysnativex\\x.dll", L"C:\\windows\\sysnativex\\x.dll"},
        {L"D:\\windows\\system32\\x.dll", L"D:\\windows\\system32\\x.dll"},
        {L"\\\\server\\share\\windows\\system32\\x.dll", L"\\\\server\\share\\windows\\system32\\x.dll"},
        // Relative, unexpanded or empty: as given.
        {L"system32\\x.dll", L"system32\\x.dll"},
        {L"C:system32\\x.dll", L"C:system32\\x.dll"},
        {L"%SystemRoot%\\system32\\x.dll", L"%SystemRoot%\\system32\\x.dll"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(PathFor32BitPrograms(c.path), c.loaded) << c.path;
    EXPECT_EQ(PathFor32BitPrograms(nullptr), L"");
    EXPECT_EQ(ProviderFileLoaded(L"C:\\windows\\system32\\x.dll", RegistryView::Bits64), L"C:\\windows\\system32\\x.dll");
    EXPECT_EQ(ProviderFileLoaded(L"C:\\windows\\system32\\x.dll", RegistryView::Bits32), L"C:\\windows\\syswow64\\x.dll");
}

// Entries are opened by their exact names: one whose name holds a NUL is read as itself, never as
// the entry that the text before the NUL names, nor (when the NUL comes first) as the catalogue key.
TEST_F(Catalog, AnEntryWhoseNameHoldsANulIsReadAsItself) {
    WriteEntry(L"000000000001", Item{"C:\\genuine.dll", kTcpipId, L"Genuine"});
    const auto onKey = Item{"C:\\catalogue.dll", kTcpipId, L"The catalogue key"}.Bytes();
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kCatalog64, L"PackedCatalogItem", onKey.data(),
                              static_cast<DWORD>(onKey.size())),
              ERROR_SUCCESS);
    const auto inner = Item{"C:\\inner.dll", kTcpipId, L"Inner"}.Bytes();
    const auto first = Item{"C:\\first.dll", kTcpipId, L"First"}.Bytes();
    test::RawNamedKey innerKey(HKEY_LOCAL_MACHINE, kCatalog64, L"000000000001" + std::wstring(L"\0x", 2));
    test::RawNamedKey firstKey(HKEY_LOCAL_MACHINE, kCatalog64, std::wstring(L"\0y", 2));
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

// Each path either reaches the shell as it is (expanded) or nothing happens at all; no program is
// ever started for it.
TEST(LocateFile, SelectsAnExistingLocalPathThroughTheShellOnly) {
    const std::wstring folder = test::TempPath(L"locate a, b") + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring ordinary = folder + L"x y,z.dll";
    ASSERT_TRUE(test::WriteFileBytes(ordinary, "MZ"));
    const std::wstring notepad = L"C:\\windows\\notepad.exe";
    struct Case {
        std::wstring path;
        std::wstring selected;  // empty: nothing
    } const cases[] = {
        {ordinary, ordinary},                                         // blanks and commas are the name's
        {notepad, notepad},
        {L"%SystemRoot%\\notepad.exe", notepad},
        {L"C:\\windows", L"C:\\windows"},                              // a folder is selected in its parent
        {L"c:\\windows\\notepad.exe", L"c:\\windows\\notepad.exe"},
        {notepad + L",/root," + notepad, L""},                        // would add switches to a command line
        {notepad + L",/select,C:\\x.dll", L""},
        {L"\"" + notepad + L"\"", L""},                                 // quotes
        {L"C:\\windows\\note\"pad.exe", L""},
        {L"C:/windows/notepad.exe", L""},                             // forward slashes
        {L"\\\\127.0.0.1\\c$\\windows\\notepad.exe", L""},          // a network share
        {L"\\\\?\\C:\\windows\\notepad.exe", L""},
        {L"notepad.exe", L""},                                        // relative names
        {L"windows\\notepad.exe", L""},
        {L"\\windows\\notepad.exe", L""},
        {L"C:windows\\notepad.exe", L""},
        {L"C:\\windows\\missing.dll", L""},                            // missing
        {L"%UNSET_LOCATE_VARIABLE%\\x.dll", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        test::ProcessRecorder recorder;
        EXPECT_EQ(LocateFileInExplorer(c.path.c_str()), c.selected.empty() ? 0 : 1);
        EXPECT_TRUE(recorder.starts.empty());
        EXPECT_TRUE(recorder.shellCalls.empty());
        EXPECT_EQ(recorder.selections,
                  c.selected.empty() ? std::vector<std::wstring>() : std::vector<std::wstring>{c.selected});
    }
    test::ProcessRecorder recorder;
    EXPECT_EQ(LocateFileInExplorer(nullptr), 0);
    recorder.selectSucceeds = false;  // the shell refused
    EXPECT_EQ(LocateFileInExplorer(notepad.c_str()), 0);
    EXPECT_EQ(recorder.selections.size(), 1u);
}

// Explorer's file window (ExplorerWClass) of another process and the text of its selected item.
struct ExplorerSelection {
    HWND window = nullptr;
    std::wstring title, selected;
};

BOOL CALLBACK FindList(HWND child, LPARAM parameter) {
    if (test::ClassName(child) != L"SysListView32") return TRUE;
    *reinterpret_cast<HWND*>(parameter) = child;
    return FALSE;
}

ExplorerSelection ReadExplorerSelection() {
    ExplorerSelection seen;
    seen.window = ::FindWindowW(L"ExplorerWClass", nullptr);
    if (!seen.window) return seen;
    seen.title = test::WindowText(seen.window);
    HWND list = nullptr;
    ::EnumChildWindows(seen.window, FindList, reinterpret_cast<LPARAM>(&list));
    const int row = list ? static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
    if (row < 0) return seen;
    // The item and its text live in Explorer's memory.
    DWORD id = 0;
    ::GetWindowThreadProcessId(list, &id);
    lark::UniqueHandle explorer(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id));
    if (!explorer) return seen;
    auto* remote = static_cast<BYTE*>(::VirtualAllocEx(explorer.get(), nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return seen;
    LVITEMW item{};
    item.pszText = reinterpret_cast<LPWSTR>(remote + 512);
    item.cchTextMax = 1024;
    wchar_t text[1024] = {};
    if (::WriteProcessMemory(explorer.get(), remote, &item, sizeof(item), nullptr) &&
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote)) > 0 &&
        ::ReadProcessMemory(explorer.get(), remote + 512, text, sizeof(text) - sizeof(wchar_t), nullptr)) {
        seen.selected = text;
    }
    ::VirtualFreeEx(explorer.get(), remote, 0, MEM_RELEASE);
    return seen;
}

// The real shell call on a name with blanks and commas. Wine's shell opens the folder in a new
// Explorer process and then hands it the item, giving it only a second to come up: on a cold start
// the first call opens the folder without a selection, a second call selects the item.
TEST(LocateFile, TheShellSelectsExactlyThatFile) {
    const std::wstring folder = L"C:\\locate-real\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"x y,z, w.dll";
    ASSERT_TRUE(test::WriteFileBytes(path, "MZ"));
    ASSERT_TRUE(test::WriteFileBytes(folder + L"other.dll", "MZ"));
    test::ProcessRecorder recorder(/*passThrough=*/true);
    ExplorerSelection seen;
    for (int attempt = 0; attempt < 2 && seen.selected.empty(); ++attempt) {
        EXPECT_EQ(LocateFileInExplorer(path.c_str()), 1);
        test::PumpUntil([&] { return !(seen = ReadExplorerSelection()).selected.empty(); }, 5000);
    }
    EXPECT_TRUE(recorder.starts.empty());
    EXPECT_EQ(recorder.selections, std::vector<std::wstring>(recorder.selections.size(), path));
    EXPECT_EQ(seen.title, L"locate-real");
    EXPECT_EQ(seen.selected, L"x y,z, w.dll");
    for (HWND window; (window = ::FindWindowW(L"ExplorerWClass", nullptr)) != nullptr;) {
        DWORD id = 0;
        ::GetWindowThreadProcessId(window, &id);
        lark::UniqueHandle explorer(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (explorer && ::WaitForSingleObject(explorer.get(), 5000) != WAIT_OBJECT_0) {
            ::TerminateProcess(explorer.get(), 0);
        }
        test::PumpMessages(100);
    }
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
    test::DeleteTree(HKEY_LOCAL_MACHINE, kCatalog64);
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

// The real regedit of the prefix, waited for: the file is there when the command returns. The
// Parameters tree holds both catalogues.
TEST_F(LspPage, BackUpUnderWineWritesBothCataloguesToTheChosenFile) {
    WriteEntry(L"000000000009", Item{"C:\\x32.dll", kTcpipId, L"32"}, kCatalog);
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
    for (const std::wstring entry : {L"Catalog_Entries64\\000000000002", L"Catalog_Entries\\000000000009"}) {
        EXPECT_NE(text.find(L"[" + kParameters + L"\\Protocol_Catalog9\\" + entry + L"]\r\n\"PackedCatalogItem\"=hex:"),
                  std::wstring::npos)
            << entry;
    }
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

// "netsh winsock reset" resets both catalogues: one start, whatever each holds.
TEST_F(LspPage, RepairRunsNetshHiddenWaitsAndLeavesTheList) {
    SleeperStarter starter(300);
    WriteEntry(L"000000000005", Item{"C:\\new.dll", kTcpipId, L"New"});
    WriteEntry(L"000000000001", Item{"C:\\new32.dll", kTcpipId, L"New 32"}, kCatalog);
    prompts.messageBoxAnswers = {IDYES};
    list.Command(ID_LSP_REPAIR);
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].application, L"C:\\windows\\system32\\netsh.exe");
    EXPECT_EQ(starter.starts[0].commandLine, L"netsh winsock reset");
    EXPECT_EQ(starter.starts[0].showCommand, SW_HIDE);
    EXPECT_TRUE(starter.LastEnded());
    EXPECT_EQ(prompts.Messages().back(), L"提示|修复完成，请重启电脑");
    EXPECT_EQ(list.Count(), 4);  // not refreshed
    EXPECT_EQ(starter.starts.size(), 1u);
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
    EXPECT_EQ(recorder.selections, std::vector<std::wstring>{kMswsock});
    EXPECT_TRUE(recorder.starts.empty());
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

// A row of the 32-bit catalogue carries the mark after its protocol name; its file is the one in
// the 32-bit system folder for locate and verify, and stays so after a sort.
TEST_F(LspPage, RowsOfThe32BitCatalogueAreMarkedAndUseThe32BitSystemFolder) {
    ProviderIn32BitSystemFolder provider;
    ASSERT_TRUE(provider.Copied());
    const std::string star = "%SystemRoot%\\system32\\wow64lsp.dll";
    WriteEntry(L"000000000005", Item{star, kShortId, L"Star [TCP/IP]"});
    WriteEntry(L"000000000001", Item{"%SystemRoot%\\system32\\mswsock.dll", kTcpipId, L"MSAFD Tcpip [TCP/IP]"}, kCatalog);
    WriteEntry(L"000000000002", Item{star, kShortId, L"Star [TCP/IP]"}, kCatalog);
    list.Command(ID_LSP_REFRESH);
    const std::wstring shown = L"C:\\windows\\system32\\wow64lsp.dll";
    const auto snapshot = list.Snapshot();
    ASSERT_EQ(snapshot.size(), 7u);
    EXPECT_EQ(snapshot[4], (Row{L"Star [TCP/IP]", shown, L"--", L"--", kShortText}));
    EXPECT_EQ(snapshot[5], (Row{L"MSAFD Tcpip [TCP/IP] (32位)", kMswsock, L"--", L"--", kTcpipText}));
    EXPECT_EQ(snapshot[6], (Row{L"Star [TCP/IP] (32位)", shown, L"星桥网络科技有限公司", L"星桥网络分层服务", kShortText}));
    EXPECT_EQ(list.RowColour(0), RGB(0, 0, 0));
    EXPECT_EQ(list.RowColour(5), RGB(0, 0, 255));

    test::ProcessRecorder recorder;
    list.ClickColumn(0);  // the rows move; their catalogue goes with them
    for (const wchar_t* protocol : {L"Star [TCP/IP] (32位)", L"Star [TCP/IP]"}) {
        const int row = list.RowOf(protocol);
        ASSERT_GE(row, 0);
        list.Select(row);
        OnRow(row, ID_LSP_LOCATE);
        OnRow(row, ID_LSP_VERIFY);
    }
    // The 64-bit row's file is not in the system folder: nothing to select there.
    EXPECT_TRUE(recorder.starts.empty());
    EXPECT_EQ(recorder.selections, (std::vector<std::wstring>{L"C:\\windows\\syswow64\\wow64lsp.dll"}));
    EXPECT_EQ(prompts.Messages(), (std::vector<std::wstring>{L"提示|此文件签名正确", L"提示|此文件无签名或签名无效"}));
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
    // Row -1 has no path: nothing is selected and nothing started.
    EXPECT_TRUE(recorder.selections.empty());
    EXPECT_TRUE(recorder.starts.empty());
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

TEST(LspDemoSeed, PutsAForeignProviderBeforeTheStandardEntriesOfEachCatalogue) {
    ClearCatalog();
    const std::wstring seed = test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) + L"\\scripts\\seed\\70-lsp.reg";
    ASSERT_EQ(test::RunProgram(L"C:\\windows\\regedit.exe /s \"" + seed + L"\""), 0);
    std::vector<Row> rows;
    std::vector<RegistryView> views;
    EXPECT_EQ(EnumerateCatalogEntries([&](const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                          const wchar_t* description, const wchar_t* id, RegistryView view) {
                  rows.push_back({protocol, path, vendor, description, id});
                  views.push_back(view);
              }),
              0u);
    ClearCatalog();
    ASSERT_EQ(rows.size(), 14u);
    // The seed's script puts the DLLs in place; here they are missing.
    EXPECT_EQ(rows[0], (Row{L"Speedlane Layered [TCP/IP]", L"C:\\windows\\system32\\speedlsp.dll", L"--", L"--",
                            L"{A5C3E21-7B04-4F1D-E2-3D6C8B1F0E77}"}));
    EXPECT_EQ(rows[7], (Row{L"Starbridge Layered [TCP/IP]", L"C:\\windows\\system32\\starlsp.dll", L"--", L"--",
                            L"{3B9D27C4-5E10-4A6B-9C31-7F02D846A519}"}));
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(views[i], i < 7 ? RegistryView::Bits64 : RegistryView::Bits32) << i;
        if (i == 0 || i == 7) continue;
        EXPECT_EQ(rows[i][1], kMswsock) << i;
        EXPECT_EQ(rows[i][4], rows[i < 7 ? i + 7 : i - 7][4]) << i;  // the same providers in both
    }
    EXPECT_EQ(rows[1][2], L"Microsoft Corporation");
    EXPECT_EQ(rows[1][0], L"MSAFD Tcpip [TCP/IP]");
    EXPECT_EQ(rows[1][4], kTcpipText);
    EXPECT_EQ(rows[6][0], L"MSAFD Tcpip [RAW/IPv6]");
    EXPECT_EQ(rows[6][4], L"{F9EAB0C0-26D4-11D0-BBBF-00AA006C34E4}");
}

}  // namespace
