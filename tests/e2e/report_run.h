// Running the real Larkspur.exe for its report: its exit code, what it wrote on standard error, and
// the report files it left. Header only, for the report's end-to-end tests.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "framework/handles.h"
#include "support/ui.h"

namespace report_run {

inline std::wstring Program() { return test::UnixPathToWindows(test::Env(L"LARKSPUR_BIN_DIR")) + L"\\Larkspur.exe"; }

inline std::string ReadBytes(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file.get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

inline bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Run {
    int exitCode = -1;  // -1: did not start or end in time
    DWORD processId = 0;
    std::string standardError;
};

// Larkspur.exe with these arguments, standard error into a file, WINEDEBUG set for it alone when
// given. started, when given, is called with the running process (for a program that waits).
template <class Started = void (*)(const PROCESS_INFORMATION&)>
Run RunLarkspur(const std::wstring& arguments, const std::wstring& wineDebug = L"", Started started = nullptr,
                DWORD timeoutMs = 120000) {
    Run run;
    static int serial = 0;
    const std::wstring errorPath = test::TempPath(L"stderr-" + std::to_wstring(++serial) + L".txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    {
        lark::UniqueFile error(::CreateFileW(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             &inherit, CREATE_ALWAYS, 0, nullptr));
        if (!error) return run;
        // The environment of this process, with WINEDEBUG replaced.
        std::vector<wchar_t> environment;
        if (wchar_t* block = ::GetEnvironmentStringsW()) {
            for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
                if (!wineDebug.empty() && _wcsnicmp(entry, L"WINEDEBUG=", 10) == 0) continue;
                environment.insert(environment.end(), entry, entry + wcslen(entry) + 1);
            }
            ::FreeEnvironmentStringsW(block);
        }
        if (!wineDebug.empty()) {
            const std::wstring entry = L"WINEDEBUG=" + wineDebug;
            environment.insert(environment.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
        }
        environment.push_back(L'\0');

        std::wstring commandLine = L"\"" + Program() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = nullptr;
        startup.hStdError = error.get();
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(Program().c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                              environment.data(), nullptr, &startup, &info)) {
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

// Whether a Wine trace of the "win" channel with process ids (WINEDEBUG=+pid,+win) shows the process
// creating a window.
inline bool TraceShowsWindowCreated(const std::string& trace, DWORD processId) {
    char prefix[16];
    std::snprintf(prefix, sizeof(prefix), "%04lx:", static_cast<unsigned long>(processId));
    size_t start = 0;
    while (start < trace.size()) {
        size_t end = trace.find('\n', start);
        if (end == std::string::npos) end = trace.size();
        const std::string_view line(trace.data() + start, end - start);
        if (line.substr(0, std::strlen(prefix)) == prefix && line.find("CreateWindowEx") != std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace report_run
