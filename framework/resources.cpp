#include "framework/resources.h"

namespace lark {

std::optional<std::span<const std::byte>> ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC found = ::FindResourceW(module, name, type);
    if (!found) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(module, found);
    if (!loaded) return std::nullopt;
    const DWORD size = ::SizeofResource(module, found);
    if (size == 0) return std::span<const std::byte>{};
    const void* data = ::LockResource(loaded);
    if (!data) return std::nullopt;
    return std::span<const std::byte>(static_cast<const std::byte*>(data), size);
}

}  // namespace lark
