#include "updater/wininet_library.h"

#include <type_traits>

#include "framework/system_library.h"

namespace tolvane {

bool WinInetLibrary::Load() {
    module_.reset(lark::LoadSystemLibrary(L"wininet.dll"));
    if (!module_) return false;
    auto resolve = [this](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(::GetProcAddress(module_.get(), name));
        return slot != nullptr;
    };
    decltype(&::InternetCloseHandle) closeHandle = nullptr;
    if (resolve(getConnectedState, "InternetGetConnectedState") && resolve(open, "InternetOpenW") &&
        resolve(openUrl, "InternetOpenUrlW") && resolve(readFile, "InternetReadFile") &&
        resolve(closeHandle, "InternetCloseHandle")) {
        InternetHandleTraits::closeFunction = closeHandle;
        return true;
    }
    *this = WinInetLibrary();
    return false;
}

}  // namespace tolvane
