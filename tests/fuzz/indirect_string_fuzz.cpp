// Any UTF-16 text, terminated or not, as a display name read from the registry.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "repair/indirect_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the given units, in a buffer of their own, so that a read past them is caught.
    std::vector<wchar_t> text(size / sizeof(wchar_t));
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    const auto ref = ParseIndirectString(std::wstring_view(text.data(), text.size()));
    if (ref && ref->module.size() >= text.size()) __builtin_trap();
    return 0;
}
