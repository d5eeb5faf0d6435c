// The program's resources as bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>

namespace lark {

// The bytes of a resource of the module, in place: valid while the module stays loaded, never
// written. Nothing when the resource is missing or cannot be loaded; an empty span for a resource
// that is there but empty.
std::optional<std::span<const std::byte>> ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type);

}  // namespace lark
