// Owners for the few handle kinds the updater holds; each is closed once, on every path.
#pragma once

#include <windows.h>
#include <wininet.h>

namespace tolvane {

// Move-only owner of a handle of one kind; Traits gives its invalid value and how it is closed.
template <typename Traits>
class Scoped {
public:
    using Handle = typename Traits::Handle;
    Scoped() = default;
    explicit Scoped(Handle handle) : handle_(handle) {}
    ~Scoped() { Reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : handle_(other.handle_) { other.handle_ = Traits::Invalid(); }
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = Traits::Invalid();
        }
        return *this;
    }

    Handle Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Invalid(); }
    void Reset() {
        if (Valid()) {
            const DWORD error = ::GetLastError();
            Traits::Close(handle_);
            ::SetLastError(error);
        }
        handle_ = Traits::Invalid();
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct FileTraits {  // CreateFileW: INVALID_HANDLE_VALUE on failure
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct KernelTraits {  // CreateFileMappingW and friends: null on failure
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::InternetCloseHandle(h); }
};
struct ViewTraits {
    using Handle = const void*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::UnmapViewOfFile(h); }
};
struct LocalTraits {
    using Handle = LPWSTR*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::LocalFree(h); }
};

using ScopedFile = Scoped<FileTraits>;
using ScopedKernelHandle = Scoped<KernelTraits>;
using ScopedInternet = Scoped<InternetTraits>;
using ScopedView = Scoped<ViewTraits>;
using ScopedArgv = Scoped<LocalTraits>;

}  // namespace tolvane
