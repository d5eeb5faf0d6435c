// The real Larkspur.exe with an updater beside it that asks a question: the program stays usable
// while the updater waits, and the updater's answer reaches the fast-check page.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "remote_ui.h"
#include "support/ui.h"

namespace {

const std::wstring kAboutPlain = L"关  于";
const std::wstring kAboutNotice = L"\u3000关\u3000于\u3000";

std::wstring BinDir(const wchar_t* variable) { return test::UnixPathToWindows(test::Env(variable)) + L"\\"; }

// Larkspur.exe copied into a folder of its own with the given program as Tolvane.exe beside it,
// started with extra environment variables (inherited by the updater).
class LarkspurWithUpdater : public ::testing::Test {
protected:
    void Start(const std::wstring& folder, const std::wstring& updater,
               const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
        ::CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW((BinDir(L"LARKSPUR_BIN_DIR") + L"Larkspur.exe").c_str(),
                                (folder + L"Larkspur.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(updater.c_str(), (folder + L"Tolvane.exe").c_str(), FALSE));
        for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), value.c_str());
        std::wstring commandLine = L"\"" + folder + L"Larkspur.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                              nullptr, &startup, &info);
        for (const auto& entry : environment) ::SetEnvironmentVariableW(entry.first.c_str(), nullptr);
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

}  // namespace
