// Neither program loads a DLL planted beside it. Copies of both run in a folder that also holds a
// crypt32.dll, a wininet.dll and a wintrust.dll of a stranger's (tests/fixtures/planted/plant.c);
// each leaves "<its path>.loaded", naming the program, when it is loaded. ctest runs this test with
// Wine searching for those three names as Windows does, the program's folder first: Wine takes its
// DLL overrides from the environment of the first program it starts, so the test cannot set them
// for its children. A second run disables WinINet instead (the WithoutWinInet cases).
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "description_server.h"
#include "framework/handles.h"
#include "remote_ui.h"
#include "support/files.h"
#include "support/pe_image.h"
#include "support/ui.h"

namespace {

const std::wstring kFolder = L"C:\\planted\\";
constexpr int kTab = 1000;

std::wstring BinDir(const wchar_t* variable) { return test::UnixPathToWindows(test::Env(variable)) + L"\\"; }
std::wstring PlantDir() { return BinDir(L"LARKSPUR_TEST_BIN_DIR") + L"planted-dlls\\"; }

template <class Text>
Text Lower(Text text) {
    std::transform(text.begin(), text.end(), text.begin(), [](auto c) { return std::towlower(c); });
    return text;
}

// "wininet.dll <- C:\planted\probe.exe" for each load of a plant so far, sorted.
std::vector<std::wstring> Marks() {
    std::vector<std::wstring> marks;
    WIN32_FIND_DATAW found{};
    lark::UniqueFindHandle search(::FindFirstFileW((kFolder + L"*.loaded").c_str(), &found));
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName;
        const std::string bytes = test::ReadFileBytes(kFolder + name).value_or("");
        std::wstring loaders(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        for (std::size_t at = 0, end; (end = loaders.find(L'\n', at)) != std::wstring::npos; at = end + 1) {
            marks.push_back(Lower(name.substr(0, name.size() - 7)) + L" <- " + loaders.substr(at, end - at));
        }
    }
    std::sort(marks.begin(), marks.end());
    return marks;
}

std::vector<std::wstring> MarksBy(const std::wstring& program, std::initializer_list<const wchar_t*> plants) {
    std::vector<std::wstring> marks;
    for (const wchar_t* plant : plants) marks.push_back(std::wstring(plant) + L" <- " + kFolder + program);
    return marks;
}

// Waits for every process of this file name to end (programs started by the one under test).
void WaitForProcessesNamed(const wchar_t* name) {
    lark::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    ASSERT_NE(snapshot.get(), INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, name) != 0) continue;
        lark::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        EXPECT_EQ(::WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0) << "still running";
    }
}

class PlantedDlls : public ::testing::Test {
protected:
    void SetUp() override {
        ::CreateDirectoryW(kFolder.c_str(), nullptr);
        for (const wchar_t* program : {L"Larkspur.exe", L"Tolvane.exe"}) Copy(BinDir(L"LARKSPUR_BIN_DIR"), program);
        for (const wchar_t* file : {L"crypt32.dll", L"wininet.dll", L"wintrust.dll", L"probe.exe"}) {
            Copy(PlantDir(), file);
        }
        // Nothing was loaded yet.
        WIN32_FIND_DATAW found{};
        lark::UniqueFindHandle search(::FindFirstFileW((kFolder + L"*.loaded").c_str(), &found));
        for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &found)) {
            ASSERT_TRUE(::DeleteFileW((kFolder + found.cFileName).c_str()));
        }
    }

    static void Copy(const std::wstring& from, const wchar_t* name) {
        ASSERT_TRUE(::CopyFileW((from + name).c_str(), (kFolder + name).c_str(), FALSE)) << ::GetLastError();
    }

    struct Check {
        int exitCode;
        std::size_t requests;
    };
    // Tolvane from the folder against a description server on 127.0.0.1 that lists a newer
    // version and the caller's own checksum: a run that makes the check ends with 100.
    static Check RunTolvaneAgainstLoopbackServer() {
        test::DescriptionServer server;
        if (!server.Start() || !test::PointProxyAt(server.port()) ||
            !test::WriteFileBytes(kFolder + L"caller.bin", "123456789")) {
            ADD_FAILURE() << "no server";
            return {-1, 0};
        }
        server.Reply(200, "[VERSION]\r\nkey=v1.7\r\n[CRC]\r\nv1.7=7\r\nv1.6=3421780262\r\n");  // CRC-32 of the caller
        const int exitCode = test::RunProgram(L"\"" + kFolder + L"Tolvane.exe\" K00000031 v1.6 caller.bin", 20000);
        return {exitCode, server.Requests().size()};
    }
};

TEST_F(PlantedDlls, AreLoadedByAProgramThatImportsThem) {
    // The control: what Windows does with static imports of these DLLs, and proof that the search
    // order of this run reaches the program's folder first.
    EXPECT_EQ(test::RunProgram(L"\"" + kFolder + L"probe.exe\""), 0);
    EXPECT_EQ(Marks(), MarksBy(L"probe.exe", {L"crypt32.dll", L"wininet.dll", L"wintrust.dll"}));
}

TEST_F(PlantedDlls, LarkspurLoadsNoneThroughItsNoticeMainWindowAndEveryTab) {
    std::wstring commandLine = L"\"" + kFolder + L"Larkspur.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &info));
    lark::UniqueHandle process(info.hProcess), thread(info.hThread);
    struct EndAtLast {
        HANDLE process;
        ~EndAtLast() {
            if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) ::TerminateProcess(process, 1);
        }
    } endAtLast{process.get()};

    HWND notice = remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::HasChildWithText(w, L"说  明"); },
                                        30000);
    ASSERT_NE(notice, nullptr);
    ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    HWND main = remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::Text(w) == L"Larkspur"; }, 30000);
    ASSERT_NE(main, nullptr);
    HWND tab = remote::FindDescendantById(main, kTab, WC_TABCONTROLW);
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 8);
    std::set<HWND> pages;
    for (int i = 0; i < 8; ++i) {
        ::SendMessageW(tab, TCM_SETCURFOCUS, i, 0);
        EXPECT_EQ(::SendMessageW(tab, TCM_GETCURSEL, 0, 0), i);
        HWND page = remote::VisiblePage(tab);
        EXPECT_NE(page, nullptr) << "tab " << i;
        pages.insert(page);
    }
    EXPECT_EQ(pages.size(), 8u);

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(process.get(), 15000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    // Larkspur started the updater beside it at its start; that one must not load a plant either.
    WaitForProcessesNamed(L"Tolvane.exe");
    EXPECT_EQ(Marks(), std::vector<std::wstring>());
}

TEST_F(PlantedDlls, TolvaneLoadsNoneAndStillMakesItsCheck) {
    const Check check = RunTolvaneAgainstLoopbackServer();
    EXPECT_EQ(check.exitCode, 100);
    EXPECT_EQ(check.requests, 1u);
    EXPECT_EQ(Marks(), std::vector<std::wstring>());
}

// Run with WinINet disabled: Tolvane cannot make its check, which it reports as when there is no
// connection. A program importing WinINet would not even start.
using WithoutWinInet = PlantedDlls;

TEST_F(WithoutWinInet, TolvaneEndsWithNothingToReport) {
    const Check check = RunTolvaneAgainstLoopbackServer();
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ(check.requests, 0u);
}

// Only DLLs that Windows takes from the system whatever lies beside the program: the KnownDLLs of
// Windows 7 and 10, ntdll, and comctl32, which the manifest redirects to the system's side-by-side
// store. Everything else (crypt32, WinINet, version, wintrust) is loaded at run time.
const std::set<std::string> kSafeImports = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "gdi32.dll",    "imagehlp.dll", "imm32.dll",
    "kernel32.dll", "msctf.dll",   "msvcrt.dll",   "normaliz.dll", "nsi.dll",      "ole32.dll",
    "oleaut32.dll", "psapi.dll",   "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shell32.dll",
    "shlwapi.dll",  "user32.dll",  "wldap32.dll",  "ws2_32.dll",   "ntdll.dll",    "comctl32.dll"};

// The DLLs the program's import tables name, static and delay-loaded, that Windows would search
// for in its folder; comctl32 among them unless the manifest asks for Common Controls 6.
std::vector<std::string> PlantableImports(const std::wstring& program) {
    const std::optional<std::string> file = test::ReadFileBytes(program);
    if (!file) return {"(cannot read the program)"};
    const std::optional<test::PeImports> image = test::ReadPeImports(*file);
    if (!image) return {"(no import tables)"};
    std::vector<std::string> libraries = image->libraries;
    libraries.insert(libraries.end(), image->delayLibraries.begin(), image->delayLibraries.end());

    std::string manifest;
    lark::UniqueModule module(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (HRSRC found = module ? ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr) {
        manifest.assign(static_cast<const char*>(::LockResource(::LoadResource(module.get(), found))),
                        ::SizeofResource(module.get(), found));
    }
    const bool commonControls6 = manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
                                 manifest.find("version=\"6.0.0.0\"") != std::string::npos;

    std::vector<std::string> plantable;
    for (const std::string& library : libraries) {
        const std::string name = Lower(library);
        if (kSafeImports.count(name) == 0 || (name == "comctl32.dll" && !commonControls6)) plantable.push_back(name);
    }
    std::sort(plantable.begin(), plantable.end());
    return plantable;
}

TEST(ImportTables, NameOnlyDllsThatWindowsTakesFromTheSystem) {
    for (const wchar_t* program : {L"Larkspur.exe", L"Tolvane.exe"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(program)));
        EXPECT_EQ(PlantableImports(BinDir(L"LARKSPUR_BIN_DIR") + program), std::vector<std::string>());
    }
    // The control: a program that imports what both programs once imported.
    EXPECT_EQ(PlantableImports(PlantDir() + L"probe.exe"),
              (std::vector<std::string>{"crypt32.dll", "wininet.dll", "wintrust.dll"}));
}

// The functions of the shell's ShellExecute family each program imports: they follow the class
// registrations of HKEY_CLASSES_ROOT, which the user's own classes override.
std::vector<std::string> ShellExecuteImports(const std::wstring& program) {
    const std::optional<std::string> file = test::ReadFileBytes(program);
    if (!file) return {"(cannot read the program)"};
    const std::optional<test::PeImports> image = test::ReadPeImports(*file);
    if (!image) return {"(no import tables)"};
    std::vector<std::string> found;
    for (const std::string& function : image->functions) {
        const std::string name = Lower(function.substr(function.find('!') + 1));
        if (name.rfind("shellexecute", 0) == 0) found.push_back(function);
    }
    return found;
}

TEST(ImportTables, NeitherProgramImportsShellExecute) {
    for (const wchar_t* program : {L"Larkspur.exe", L"Tolvane.exe"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(program)));
        EXPECT_EQ(ShellExecuteImports(BinDir(L"LARKSPUR_BIN_DIR") + program), std::vector<std::string>());
    }
    // The control: the probe imports both by name, and the tables show them.
    std::vector<std::string> probe = ShellExecuteImports(PlantDir() + L"probe.exe");
    for (auto& function : probe) function = Lower(function);
    std::sort(probe.begin(), probe.end());
    EXPECT_EQ(probe, (std::vector<std::string>{"shell32.dll!shellexecuteexw", "shell32.dll!shellexecutew"}));
}

}  // namespace
