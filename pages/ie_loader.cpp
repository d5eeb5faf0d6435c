#include "pages/ie_loader.h"

#include "framework/handles.h"
#include "pages/indirect_string.h"

namespace {

constexpr int kNameSize = 260;  // characters, terminator included

}  // namespace

std::wstring ResolveIndirectString(const wchar_t* text) {
    const std::wstring original = text ? text : L"";
    const auto ref = ParseIndirectString(original);
    if (!ref || ref->module.empty() || ref->module.size() >= MAX_PATH) return original;
    // A module named by registry data is never run: its resources are all that is read.
    lark::UniqueModule module(::LoadLibraryExW(ref->module.c_str(), nullptr,
                                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return original;
    wchar_t name[kNameSize] = {};
    ::LoadStringW(module.get(), static_cast<UINT>(ref->number), name, kNameSize);
    name[kNameSize - 1] = L'\0';
    return name;
}
