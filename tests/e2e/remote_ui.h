// Driving and reading the windows of another process (the real Larkspur.exe): finding its
// windows, reading list-view cells through memory in that process, and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace remote {

// Visible top-level windows of the process, in z-order.
std::vector<HWND> TopLevelWindows(DWORD processId);
// Waits for a visible top-level window of the process that matches; nullptr on time-out.
HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, DWORD timeoutMs);
bool HasChildWithText(HWND window, const std::wstring& text);
HWND FindChildWithText(HWND window, const std::wstring& text);
HWND FindDescendantById(HWND window, int id, const std::wstring& className = L"");
std::wstring Text(HWND window);
std::wstring ClassOf(HWND window);
// The page (a child dialog) that the tab control shows now; nullptr when none is visible.
HWND VisiblePage(HWND tab);

// Real input through the system's input queue, as a user's mouse and keyboard give it: a left
// click at a point of the screen (the window there gets it, and its top-level window is activated),
// and a key pressed and released (the focused window of the foreground thread gets it).
void Click(POINT screen);
// The left button pressed at one point and released at another: a push button pressed and left
// that way takes the focus without being clicked.
void Drag(POINT down, POINT up);
void PressKey(WORD virtualKey);
// The centre of a window on the screen.
POINT CentreOf(HWND window);
// The screen rectangle of item `index` of a tab control in another process; empty when unknown.
RECT TabItemRect(HANDLE process, HWND tab, int index);
// The window that has the keyboard focus in the thread of `window` (any process).
HWND FocusOf(HWND window);
// Polls the condition every 20 ms until it holds or the time is up; its last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// Cells of a list view in another process.
class RemoteList {
public:
    RemoteList(HANDLE process, HWND list);
    ~RemoteList();
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;
    int Rows() const;
    std::wstring Cell(int row, int column) const;
    bool Checked(int row) const;

private:
    HANDLE process_;
    HWND list_;
    void* memory_;
};

// Saves the screen area of the window as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::wstring& path);

}  // namespace remote
