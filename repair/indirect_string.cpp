#include "repair/indirect_string.h"

#include <cwchar>

namespace {

constexpr std::size_t kNumberChars = 9;

}  // namespace

std::optional<IndirectStringRef> ParseIndirectString(std::wstring_view text) {
    if (text.empty() || text.front() != L'@') return std::nullopt;
    const std::size_t comma = text.find(L',');
    if (comma == std::wstring_view::npos) return std::nullopt;
    IndirectStringRef ref;
    ref.module.assign(text.substr(1, comma - 1));
    const std::size_t start = comma + 2;
    if (start < text.size()) {
        // A terminated copy: wcstol must not run on past the 9 characters or the given text.
        const std::wstring digits(text.substr(start, kNumberChars));
        ref.number = std::wcstol(digits.c_str(), nullptr, 10);
    }
    return ref;
}
