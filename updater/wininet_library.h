// WinINet for the one download of the description. It is not a KnownDLL, so it is not imported:
// Windows would take a wininet.dll from our folder before our code ran. It is loaded from the
// system folder when the download starts and released when it is done.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "framework/handles.h"

namespace tolvane {

// WinINet handles are closed through the InternetCloseHandle that WinInetLibrary::Load resolved;
// a handle exists only once that has happened.
struct InternetHandleTraits {
    using type = HINTERNET;
    static inline decltype(&::InternetCloseHandle) closeFunction = nullptr;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { closeFunction(h); }
};
using UniqueInternet = lark::UniqueHandleT<InternetHandleTraits>;

// The entry points the download uses. Declare it before the handles it makes, so that they are
// closed before the module goes.
class WinInetLibrary {
public:
    // Loads wininet.dll from the system folder and resolves the entry points below. False when it
    // cannot be loaded or lacks one of them; nothing stays loaded then.
    bool Load();

    decltype(&::InternetGetConnectedState) getConnectedState = nullptr;
    decltype(&::InternetOpenW) open = nullptr;
    decltype(&::InternetOpenUrlW) openUrl = nullptr;
    decltype(&::InternetReadFile) readFile = nullptr;

private:
    lark::UniqueModule module_;
};

}  // namespace tolvane
