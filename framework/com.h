// Owners for what COM hands out: interface pointers, CoTaskMem blocks, and the apartment of a
// thread. Each releases on every path, keeping the thread's last error like the handle owners.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "framework/handles.h"

namespace lark {

template <class Interface>
struct ComTraits {
    using type = Interface*;
    static type invalid() noexcept { return nullptr; }
    static void close(type p) noexcept { p->Release(); }
};

// One owned reference to a COM interface.
template <class Interface>
class UniqueComPtr : public UniqueHandleT<ComTraits<Interface>> {
public:
    using UniqueHandleT<ComTraits<Interface>>::UniqueHandleT;
    Interface* operator->() const noexcept { return this->get(); }
    // For out-parameters typed void** (OleLoadPicture, QueryInterface).
    void** put_void() noexcept { return reinterpret_cast<void**>(this->put()); }
};

template <class T>
struct CoTaskMemTraits {
    using type = T;
    static type invalid() noexcept { return nullptr; }
    static void close(type p) noexcept { ::CoTaskMemFree(const_cast<void*>(static_cast<const void*>(p))); }
};

// A block from CoTaskMemAlloc (an item id list from the shell, for instance).
template <class T>
using UniqueCoTaskMem = UniqueHandleT<CoTaskMemTraits<T>>;

// COM on this thread for the guard's lifetime; uninitialised only when this guard initialised it.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) noexcept
        : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_) ::CoUninitialize();
    }

private:
    bool initialised_;
};

}  // namespace lark
