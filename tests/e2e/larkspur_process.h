// The build's real Larkspur.exe, started as a user starts it, for tests that drive its windows:
// SetUp waits for the notice that comes first; TearDown ends the program if it still runs.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "remote_ui.h"
#include "support/ui.h"

class LarkspurProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring program = test::UnixPathToWindows(test::Env(L"LARKSPUR_BIN_DIR")) + L"\\Larkspur.exe";
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &info));
        ::CloseHandle(info.hThread);
        notice = remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::HasChildWithText(w, L"说  明"); },
                                       30000);
        ASSERT_NE(notice, nullptr);
    }
    void TearDown() override {
        if (!info.hProcess) return;
        if (Running()) ::TerminateProcess(info.hProcess, 1);
        ::CloseHandle(info.hProcess);
    }

    bool Running() { return ::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code once the program has ended; 0xFFFFFFFF when it still runs after the time given.
    DWORD ExitCode(DWORD timeoutMs = 15000) {
        if (::WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0xFFFFFFFF;
        ::GetExitCodeProcess(info.hProcess, &code);
        return code;
    }

    PROCESS_INFORMATION info{};
    HWND notice = nullptr;  // the notice, before it is answered
};
