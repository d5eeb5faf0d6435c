// Owning wrappers for Windows handles: one type per handle family, move-only, closed on every path.
// Closing keeps the thread's last error, so a caller can still read the error of the call that failed.
#pragma once

#include <windows.h>

#include <utility>

namespace lark {

template <class Traits>
class UniqueHandleT {
public:
    using value_type = typename Traits::type;

    UniqueHandleT() noexcept = default;
    explicit UniqueHandleT(value_type value) noexcept : value_(value) {}
    UniqueHandleT(const UniqueHandleT&) = delete;
    UniqueHandleT& operator=(const UniqueHandleT&) = delete;
    UniqueHandleT(UniqueHandleT&& other) noexcept : value_(other.release()) {}
    UniqueHandleT& operator=(UniqueHandleT&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandleT() { reset(); }

    value_type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    // Closes the held handle (if any) and takes the new one.
    void reset(value_type value = Traits::invalid()) noexcept {
        if (value_ != Traits::invalid()) {
            const DWORD error = ::GetLastError();
            Traits::close(value_);
            ::SetLastError(error);
        }
        value_ = value;
    }
    // Gives ownership away.
    [[nodiscard]] value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }
    // For out-parameters of the API: closes what is held and returns the slot.
    value_type* put() noexcept {
        reset();
        return &value_;
    }

private:
    value_type value_ = Traits::invalid();
};

struct HandleTraits {  // kernel objects whose "no handle" is NULL: processes, threads, events, mappings
    using type = HANDLE;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFileW: INVALID_HANDLE_VALUE means none
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using type = HKEY;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::RegCloseKey(h); }
};
struct FindHandleTraits {
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::FindClose(h); }
};
struct ModuleTraits {
    using type = HMODULE;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::FreeLibrary(h); }
};
struct GlobalTraits {
    using type = HGLOBAL;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::GlobalFree(h); }
};
struct LocalTraits {
    using type = HLOCAL;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::LocalFree(h); }
};
struct MenuTraits {
    using type = HMENU;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::DestroyMenu(h); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
    using type = HDC;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::DeleteDC(h); }
};
template <class T>
struct GdiObjectTraits {
    using type = T;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::DeleteObject(h); }
};
struct VirtualMemoryTraits {  // VirtualAlloc(MEM_COMMIT)
    using type = void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type p) noexcept { ::VirtualFree(p, 0, MEM_RELEASE); }
};
struct HookTraits {  // SetWindowsHookExW
    using type = HHOOK;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::UnhookWindowsHookEx(h); }
};
struct ViewTraits {  // MapViewOfFile
    using type = const void*;
    static type invalid() noexcept { return nullptr; }
    static void close(type p) noexcept { ::UnmapViewOfFile(p); }
};

using UniqueHandle = UniqueHandleT<HandleTraits>;
using UniqueFile = UniqueHandleT<FileHandleTraits>;
using UniqueRegKey = UniqueHandleT<RegKeyTraits>;
using UniqueFindHandle = UniqueHandleT<FindHandleTraits>;
using UniqueModule = UniqueHandleT<ModuleTraits>;
using UniqueGlobal = UniqueHandleT<GlobalTraits>;
using UniqueLocal = UniqueHandleT<LocalTraits>;
using UniqueMenu = UniqueHandleT<MenuTraits>;
using UniqueMemoryDc = UniqueHandleT<MemoryDcTraits>;
using UniqueBitmap = UniqueHandleT<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandleT<GdiObjectTraits<HBRUSH>>;
using UniqueVirtualMemory = UniqueHandleT<VirtualMemoryTraits>;
using UniqueHook = UniqueHandleT<HookTraits>;
using UniqueView = UniqueHandleT<ViewTraits>;

// A window's device context from GetDC, released with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context for the lifetime of the guard.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace lark
