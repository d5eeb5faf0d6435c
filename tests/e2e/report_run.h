// Running the real Larkspur.exe for its report: its exit code, what it wrote on standard error, and
// the report files it left. Header only, for the report's end-to-end tests.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>
#include <vector>

#include "framework/handles.h"
#include "support/files.h"
#include "support/ui.h"

namespace report_run {

inline std::wstring Program() { return test::UnixPathToWindows(test::Env(L"LARKSPUR_BIN_DIR")) + L"\\Larkspur.exe"; }

// The whole file; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& path) { return test::ReadFileBytes(path).value_or(std::string()); }

inline bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Run {
    int exitCode = -1;  // -1: did not start or end in time
    DWORD processId = 0;
    std::string standardError;
};

// Larkspur.exe with these arguments, standard error into a file. started, when given, is called
// with the running process (for a program that waits).
template <class Started = void (*)(const PROCESS_INFORMATION&)>
Run RunLarkspur(const std::wstring& arguments, Started started = nullptr, DWORD timeoutMs = 120000) {
    Run run;
    static int serial = 0;
    const std::wstring errorPath = test::TempPath(L"stderr-" + std::to_wstring(++serial) + L".txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    {
        lark::UniqueFile error(::CreateFileW(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             &inherit, CREATE_ALWAYS, 0, nullptr));
        if (!error) return run;
        std::wstring commandLine = L"\"" + Program() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = error.get();
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(Program().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &info)) {
            return run;
        }
        lark::UniqueHandle process(info.hProcess), thread(info.hThread);
        run.processId = info.dwProcessId;
        error.reset();
        if constexpr (!std::is_same_v<Started, void (*)(const PROCESS_INFORMATION&)>) started(info);
        if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 255);
            ::WaitForSingleObject(process.get(), 5000);
        } else {
            DWORD code = 0;
            ::GetExitCodeProcess(process.get(), &code);
            run.exitCode = static_cast<int>(code);
        }
    }
    run.standardError = ReadBytes(errorPath);
    ::DeleteFileW(errorPath.c_str());
    return run;
}

// A global CBT hook (tests/fixtures/report/window_watch.c) for as long as it lives: Windows loads
// its DLL into every process that is about to create a window, and the DLL notes the process's id.
// Processes started meanwhile inherit where the notes go.
class WindowWatch {
public:
    WindowWatch() {
        log_ = test::TempPath(L"windows-created.log");
        ::DeleteFileW(log_.c_str());
        ::SetEnvironmentVariableW(L"LARKSPUR_WINDOW_LOG", log_.c_str());
        module_.reset(::LoadLibraryW(
            (test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")) + L"\\report\\window_watch.dll").c_str()));
        if (module_) {
            const auto hook = reinterpret_cast<HOOKPROC>(::GetProcAddress(module_.get(), "WindowWatchHook"));
            if (hook) hook_ = ::SetWindowsHookExW(WH_CBT, hook, module_.get(), 0);
        }
    }
    ~WindowWatch() {
        if (hook_) ::UnhookWindowsHookEx(hook_);
        ::SetEnvironmentVariableW(L"LARKSPUR_WINDOW_LOG", nullptr);
    }
    bool Installed() const { return hook_ != nullptr; }
    // Whether the process created a window since the watch began.
    bool Created(DWORD processId) const {
        const std::string log = ReadBytes(log_);
        const std::string line = std::to_string(processId) + "\r\n";
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
            if (at == 0 || log[at - 1] == '\n') return true;
        }
        return false;
    }

private:
    std::wstring log_;
    lark::UniqueModule module_;
    HHOOK hook_ = nullptr;
};

}  // namespace report_run
