#include "remote_ui.h"

#include <commctrl.h>

namespace remote {

std::wstring Text(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{processId, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid == s->pid && ::IsWindowVisible(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    do {
        for (HWND window : TopLevelWindows(processId)) {
            if (match(window)) return window;
        }
        ::Sleep(50);
    } while (::GetTickCount() - start < timeoutMs);
    return nullptr;
}

namespace {
struct ChildSearch {
    std::function<bool(HWND)> match;
    HWND found;
};
HWND FindChild(HWND window, std::function<bool(HWND)> match) {
    ChildSearch search{std::move(match), nullptr};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<ChildSearch*>(data);
            if (s->match(child)) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace

HWND FindChildWithText(HWND window, const std::wstring& text) {
    return FindChild(window, [&](HWND child) { return Text(child) == text; });
}

bool HasChildWithText(HWND window, const std::wstring& text) { return FindChildWithText(window, text) != nullptr; }

HWND VisiblePage(HWND tab) {
    for (HWND child = ::GetWindow(tab, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::IsWindowVisible(child) && ClassOf(child) == L"#32770") return child;
    }
    return nullptr;
}

HWND FindDescendantById(HWND window, int id, const std::wstring& className) {
    return FindChild(window, [&](HWND child) {
        return ::GetDlgCtrlID(child) == id && (className.empty() || ClassOf(child) == className);
    });
}

namespace {
constexpr SIZE_T kRemoteSize = 8192;  // an LVITEMW followed by the text buffer
constexpr int kTextChars = 1024;
}  // namespace

RemoteList::RemoteList(HANDLE process, HWND list)
    : process_(process),
      list_(list),
      memory_(::VirtualAllocEx(process, nullptr, kRemoteSize, MEM_COMMIT, PAGE_READWRITE)) {}

RemoteList::~RemoteList() {
    if (memory_) ::VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
}

int RemoteList::Rows() const { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring RemoteList::Cell(int row, int column) const {
    if (!memory_) return {};
    auto* base = static_cast<BYTE*>(memory_);
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = kTextChars;
    item.pszText = reinterpret_cast<wchar_t*>(base + 512);
    const wchar_t empty = 0;
    ::WriteProcessMemory(process_, base, &item, sizeof(item), nullptr);
    ::WriteProcessMemory(process_, base + 512, &empty, sizeof(empty), nullptr);
    ::SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(base));
    wchar_t text[kTextChars] = {};
    ::ReadProcessMemory(process_, base + 512, text, sizeof(text), nullptr);
    text[kTextChars - 1] = 0;
    return text;
}

bool RemoteList::Checked(int row) const {
    const UINT state = static_cast<UINT>(::SendMessageW(list_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

// Every event carries its own position (absolute, 0 to 65535 across the primary screen, rounded up
// so that it maps back to the same pixel): a cursor moved by an earlier event cannot send it astray.
void Click(POINT screen) { Drag(screen, screen); }

void Drag(POINT down, POINT up) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    const POINT points[3] = {down, down, up};
    const DWORD buttons[3] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    INPUT events[3] = {};
    for (int i = 0; i < 3; ++i) {
        events[i].type = INPUT_MOUSE;
        events[i].mi.dx = static_cast<LONG>((points[i].x * 65536LL + width - 1) / width);
        events[i].mi.dy = static_cast<LONG>((points[i].y * 65536LL + height - 1) / height);
        events[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons[i];
    }
    ::SendInput(3, events, sizeof(INPUT));
}

void PressKey(WORD virtualKey) {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = virtualKey;
        key.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

POINT CentreOf(HWND window) {
    RECT area{};
    ::GetWindowRect(window, &area);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

RECT TabItemRect(HANDLE process, HWND tab, int index) {
    RECT item{};
    void* memory = ::VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    if (!memory) return item;
    if (::SendMessageW(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(memory))) {
        ::ReadProcessMemory(process, memory, &item, sizeof(item), nullptr);
        ::MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&item), 2);
    }
    ::VirtualFreeEx(process, memory, 0, MEM_RELEASE);
    return item;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
}

bool SaveWindowBitmap(HWND window, const std::wstring& path) {
    RECT area{};
    if (!::GetWindowRect(window, &area)) return false;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap && memory) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        ::SelectObject(memory, old);
        const DWORD stride = ((width * 3) + 3) & ~3u;
        const DWORD imageSize = stride * height;
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + imageSize;
        HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            saved = ::WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                    ::WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                    ::WriteFile(out, bits, imageSize, &written, nullptr);
            ::CloseHandle(out);
        }
    }
    if (bitmap) ::DeleteObject(bitmap);
    if (memory) ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace remote
