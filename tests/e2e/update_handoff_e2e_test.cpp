// The real Larkspur.exe with an updater beside it: a stand-in that asks a question (the program
// stays usable while it waits), and the real Tolvane.exe against a description server on
// 127.0.0.1 that the prefix's proxy setting points to.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "description_server.h"
#include "framework/handles.h"
#include "remote_ui.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/ui.h"
#include "updater/crc32.h"

namespace {

const std::wstring kAboutPlain = L"关  于";
const std::wstring kAboutNotice = L"\u3000关\u3000于\u3000";

std::wstring BinDir(const wchar_t* variable) { return test::UnixPathToWindows(test::Env(variable)) + L"\\"; }

// Larkspur.exe copied into a folder of its own (under the given name) with the given program as
// Tolvane.exe beside it, started with extra environment variables (inherited by the updater).
class LarkspurWithUpdater : public ::testing::Test {
protected:
    void Start(const std::wstring& folder, const std::wstring& updater,
               const std::vector<std::pair<std::wstring, std::wstring>>& environment,
               const std::wstring& programName = L"Larkspur.exe") {
        ::CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW((BinDir(L"LARKSPUR_BIN_DIR") + L"Larkspur.exe").c_str(),
                                (folder + programName).c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(updater.c_str(), (folder + L"Tolvane.exe").c_str(), FALSE));
        std::vector<std::pair<std::wstring, std::wstring>> saved;
        for (const auto& [name, value] : environment) {
            saved.emplace_back(name, test::Env(name.c_str()));
            ::SetEnvironmentVariableW(name.c_str(), value.c_str());
        }
        std::wstring commandLine = L"\"" + folder + programName + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                              nullptr, &startup, &info);
        for (const auto& [name, value] : saved) {
            ::SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        }
        ASSERT_TRUE(started);
        ::CloseHandle(info.hThread);
        HWND notice = remote::WaitForWindow(info.dwProcessId,
                                            [](HWND w) { return remote::HasChildWithText(w, L"说  明"); }, 30000);
        ASSERT_NE(notice, nullptr);
        ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        main = remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::Text(w) == L"Larkspur"; }, 30000);
        ASSERT_NE(main, nullptr);
        about = remote::FindChildWithText(main, kAboutPlain);
        ASSERT_NE(about, nullptr);
    }
    void TearDown() override {
        if (!info.hProcess) return;
        if (::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(info.hProcess, 1);
        ::CloseHandle(info.hProcess);
    }
    DWORD ExitCode(DWORD timeoutMs = 20000) {
        if (::WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0xFFFFFFFF;
        ::GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    // The updater's window: a top-level window of some other process with this caption.
    static HWND FindTopLevel(const std::wstring& caption) {
        HWND found = nullptr;
        test::PumpUntil([&] { return (found = ::FindWindowW(nullptr, caption.c_str())) != nullptr; }, 30000);
        return found;
    }

    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    HWND about = nullptr;
};

TEST_F(LarkspurWithUpdater, StaysUsableWhileTheUpdaterAsks) {
    const std::wstring question = L"stand-in question";
    ASSERT_NO_FATAL_FAILURE(Start(L"C:\\handoff-asks\\", BinDir(L"LARKSPUR_TEST_BIN_DIR") + L"update_standin.exe",
                                  {{L"HANDOFF_EXIT", L"100"}, {L"HANDOFF_ASK", question}}));
    HWND asking = FindTopLevel(question);
    ASSERT_NE(asking, nullptr);

    // While the updater waits on its answer the main window and the page answer at once.
    for (int i = 0; i < 3; ++i) {
        DWORD_PTR result = 0;
        EXPECT_NE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0);
        EXPECT_NE(::SendMessageTimeoutW(about, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0);
        test::PumpMessages(100);
    }
    EXPECT_TRUE(::IsWindow(asking));
    EXPECT_EQ(remote::Text(about), kAboutPlain);

    // The answer ends the updater with 100: the About button starts its notice.
    ::PostMessageW(asking, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    EXPECT_TRUE(test::PumpUntil([&] { return remote::Text(about) == kAboutNotice; }, 10000));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(), 0u);
}

std::string NarrowAscii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

uint32_t FileCrc(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    tolvane::Crc32Table table;
    tolvane::BuildCrc32Table(table);
    return tolvane::ComputeCrc32(table, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

const wchar_t kProxyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The real updater beside the real program: a matching checksum with a newer version listed gives
// 100 and the notice; a damaged program whose user answers Yes gives 101 and the product page.
TEST_F(LarkspurWithUpdater, RealTolvaneReachesThePage) {
    const uint32_t crc = FileCrc(BinDir(L"LARKSPUR_BIN_DIR") + L"Larkspur.exe");
    ASSERT_NE(crc, 0u);
    struct Expect {
        const wchar_t* folder;
        std::string description;
        bool notice;
        bool page;
    } const cases[] = {
        {L"C:\\handoff-newer\\", "[VERSION]\r\nkey=v1.7\r\n[CRC]\r\nv1.7=7\r\nv1.6=" + std::to_string(crc) + "\r\n",
         true, false},
        {L"C:\\handoff-damaged\\", "[VERSION]\r\nkey=v1.6\r\n[CRC]\r\nv1.6=" + std::to_string(crc ^ 1) + "\r\n",
         false, true},
    };
    for (const auto& e : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(e.folder)));
        test::DescriptionServer server;
        ASSERT_TRUE(server.Start());
        server.Reply(200, e.description);
        ASSERT_TRUE(test::PointProxyAt(server.port()));
        const size_t opensBefore = test::BrowserOpens();
        ASSERT_NO_FATAL_FAILURE(Start(e.folder, BinDir(L"LARKSPUR_BIN_DIR") + L"Tolvane.exe", {}));

        if (e.page) {
            HWND warning = FindTopLevel(L"警告");
            ASSERT_NE(warning, nullptr);
            EXPECT_EQ(remote::Text(about), kAboutPlain);
            ::PostMessageW(warning, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
            EXPECT_TRUE(test::PumpUntil([&] { return test::BrowserOpens() > opensBefore; }, 15000));
        }
        EXPECT_EQ(test::PumpUntil([&] { return remote::Text(about) == kAboutNotice; }, e.notice ? 15000 : 2000),
                  e.notice);
        EXPECT_EQ(test::BrowserOpens() - opensBefore, e.page ? 1u : 0u);
        EXPECT_EQ(server.Requests(),
                  std::vector<std::string>{"GET http://" + NarrowAscii(LARKSPUR_UPDATE_HOST) +
                                           ":80/avtools/K00000031/update.ini"});

        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(ExitCode(), 0u);
        ::CloseHandle(info.hProcess);
        info = {};
    }
    ASSERT_EQ(test::SetString(HKEY_CURRENT_USER, kProxyKey, L"ProxyServer", L"127.0.0.1:9"), ERROR_SUCCESS);
}

// A second download, as a browser names it, started with TEMP and TMP at a fresh folder: the real
// updater gets the program's name whole (it asks for the right description and checksums the
// right file: a newer version is listed and the notice starts), and when the program has closed
// nothing is left in the folder.
TEST_F(LarkspurWithUpdater, ASecondDownloadPassesItsNameWholeAndLeavesTheTemporaryFolderEmpty) {
    const uint32_t crc = FileCrc(BinDir(L"LARKSPUR_BIN_DIR") + L"Larkspur.exe");
    test::DescriptionServer server;
    ASSERT_TRUE(server.Start());
    server.Reply(200, "[VERSION]\r\nkey=v1.7\r\n[CRC]\r\nv1.7=7\r\nv1.6=" + std::to_string(crc) + "\r\n");
    ASSERT_TRUE(test::PointProxyAt(server.port()));
    const std::wstring temp = L"C:\\handoff-temp\\";
    ::CreateDirectoryW(temp.c_str(), nullptr);
    ASSERT_NO_FATAL_FAILURE(Start(L"C:\\handoff-second\\", BinDir(L"LARKSPUR_BIN_DIR") + L"Tolvane.exe",
                                  {{L"TEMP", temp}, {L"TMP", temp}}, L"Larkspur (1).exe"));
    EXPECT_TRUE(test::PumpUntil([&] { return remote::Text(about) == kAboutNotice; }, 15000));
    EXPECT_EQ(server.Requests(),
              std::vector<std::string>{"GET http://" + NarrowAscii(LARKSPUR_UPDATE_HOST) +
                                       ":80/avtools/K00000031/update.ini"});
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(test::FolderEntries(temp), std::vector<std::wstring>());
    ASSERT_EQ(test::SetString(HKEY_CURRENT_USER, kProxyKey, L"ProxyServer", L"127.0.0.1:9"), ERROR_SUCCESS);
}

}  // namespace
