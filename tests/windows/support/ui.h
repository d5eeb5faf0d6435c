// Helpers for driving real windows in tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/dialog.h"

namespace test {

// Dispatches the thread's pending messages for at least the given time.
void PumpMessages(DWORD milliseconds = 0);
// Pumps until the condition holds or the time is up; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Answers modal dialogs of this thread: every dialog (class #32770) that becomes active and that
// the matcher accepts gets WM_COMMAND with the given id posted, e.g. IDOK for the start-up notice.
class DialogAnswerer {
public:
    using Matcher = std::function<bool(HWND)>;
    DialogAnswerer(Matcher matcher, int commandId);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    int answered() const { return answered_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    Matcher matcher_;
    int commandId_;
    int answered_ = 0;
    HHOOK hook_;
    DialogAnswerer* previous_;
};

// A plain top-level window to parent a child page in tests: host.Create(page, IDD_...) creates the
// page from its real template inside it and shows both.
class PageHost : public lark::CWnd {
public:
    PageHost();
    ~PageHost() override;
    bool Create(lark::CDialog& page, UINT templateId);
};

// Whether the window has a child control whose text is exactly this.
bool HasChildWithText(HWND window, const std::wstring& text);
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// A path in the test's own temporary folder (created on first use, removed by the launcher).
std::wstring TempPath(const std::wstring& name);
// Runs a program and returns its exit code (or -1 when it could not start / timed out).
int RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 60000);
// Addresses the browser stand-in of the test prefix has been asked to open so far (the lines of
// $URL_LOG, which cmake/log-url appends to).
size_t BrowserOpens();
// Environment variable, empty when unset.
std::wstring Env(const wchar_t* name);
// A Unix path from the environment in Windows form (Z:\...).
std::wstring UnixPathToWindows(const std::wstring& unixPath);

}  // namespace test
