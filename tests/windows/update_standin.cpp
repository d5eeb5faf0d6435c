// Stands in for the updater in hand-off tests: appends its command line to the file named by
// HANDOFF_LOG, optionally asks a question (message box captioned HANDOFF_ASK) and waits for the
// answer, then exits with the code in HANDOFF_EXIT (default 0).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring log = Variable(L"HANDOFF_LOG");
    if (!log.empty()) {
        HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
            DWORD written = 0;
            ::WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
            ::CloseHandle(file);
        }
    }
    const std::wstring question = Variable(L"HANDOFF_ASK");
    if (!question.empty()) ::MessageBoxW(nullptr, L"Update now?", question.c_str(), MB_YESNO);
    return static_cast<int>(wcstoul(Variable(L"HANDOFF_EXIT").c_str(), nullptr, 10));
}
