#include "support/ui.h"

#include <vector>

#include "framework/handles.h"

namespace test {

namespace {
thread_local DialogAnswerer* t_answerer = nullptr;
}

void PumpMessages(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (milliseconds) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (::GetTickCount() - start < milliseconds);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        PumpMessages();
        if (condition()) return true;
        if (::GetTickCount() - start >= timeoutMs) return condition();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

DialogAnswerer::DialogAnswerer(Matcher matcher, int commandId)
    : matcher_(std::move(matcher)), commandId_(commandId), previous_(t_answerer) {
    t_answerer = this;
    hook_ = ::SetWindowsHookExW(WH_CBT, &DialogAnswerer::Hook, nullptr, ::GetCurrentThreadId());
}

DialogAnswerer::~DialogAnswerer() {
    ::UnhookWindowsHookEx(hook_);
    t_answerer = previous_;
}

LRESULT CALLBACK DialogAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    DialogAnswerer* self = t_answerer;
    if (self && code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (ClassName(window) == L"#32770" && self->matcher_(window)) {
            ++self->answered_;
            ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(self->commandId_, BN_CLICKED), 0);
        }
    }
    return ::CallNextHookEx(self ? self->hook_ : nullptr, code, wParam, lParam);
}

PageHost::PageHost() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LarkspurTestHost";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
    m_hWnd = ::CreateWindowExW(0, L"LarkspurTestHost", L"test host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                               800, 420, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

PageHost::~PageHost() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

bool PageHost::Create(lark::CDialog& page, UINT templateId) {
    if (!m_hWnd || !page.Create(templateId, this)) return false;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    page.MoveWindow(0, 0, client.right, client.bottom, TRUE);
    page.ShowWindow(SW_SHOW);
    ::ShowWindow(m_hWnd, SW_SHOW);
    PumpMessages();
    return true;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

bool HasChildWithText(HWND window, const std::wstring& text) {
    struct Search {
        const std::wstring* text;
        bool found;
    } search{&text, false};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (WindowText(child) == *s->text) {
                s->found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::wstring UnixPathToWindows(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    for (auto& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::wstring TempPath(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"larkspur-tests\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + name;
}

size_t BrowserOpens() {
    const std::wstring log = Env(L"URL_LOG");
    if (log.empty()) return 0;
    lark::UniqueFile file(::CreateFileW(UnixPathToWindows(log).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 0;
    std::string text(::GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    ::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    size_t lines = 0;
    for (size_t i = 0; i < read; ++i) lines += text[i] == '\n';
    return lines;
}

int RunProgram(const std::wstring& commandLine, DWORD timeoutMs) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return -1;
    }
    lark::UniqueHandle process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 255);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

}  // namespace test
