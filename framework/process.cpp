#include "framework/process.h"

#include <shellapi.h>

#include <atomic>
#include <vector>

namespace lark::process {

namespace {
// Read from the update hand-off thread as well.
std::atomic<Starter*> g_starter{nullptr};
}

Starter* SetStarter(Starter* starter) {
    return g_starter.exchange(starter);
}

bool RealStart(const StartRequest& request, UniqueHandle& process) {
    // CreateProcessW may write into the command line: give it a copy of its own.
    std::vector<wchar_t> commandLine(request.commandLine.begin(), request.commandLine.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (request.showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(request.showCommand);
    }
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(request.application.empty() ? nullptr : request.application.c_str(), commandLine.data(),
                          nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    UniqueHandle thread(info.hThread);
    process.reset(info.hProcess);
    return true;
}

INT_PTR RealShell(const ShellRequest& request) {
    auto text = [](const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); };
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(request.owner, text(request.verb), text(request.file),
                                                     text(request.parameters), text(request.directory),
                                                     request.showCommand));
}

bool Start(const StartRequest& request, UniqueHandle& process) {
    Starter* starter = g_starter.load();
    return starter ? starter->Start(request, process) : RealStart(request, process);
}

INT_PTR Shell(const ShellRequest& request) {
    Starter* starter = g_starter.load();
    return starter ? starter->Shell(request) : RealShell(request);
}

std::wstring WindowsDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring SystemDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring ProgramDirectory() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            std::wstring full(path.data(), length);
            const size_t slash = full.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace lark::process
