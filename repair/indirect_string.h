// The parts of an indirect string, "@module,-number", as the add-ons and firewall pages store
// display names. Pure text work: no Windows header, built in both presets.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct IndirectStringRef {
    std::wstring module;  // the text between the at-sign and the first comma
    long number = 0;      // string resource number
};

// Nothing when the text does not begin with an at-sign or holds no comma. The number is read
// from the text that begins two characters after the comma (the comma and the sign it is
// written with are skipped), at most 9 characters of it, as wcstol reads base 10: leading
// blanks, an optional sign, digits up to the first other character; 0 when there are none. Text
// that ends before those two characters gives 0.
std::optional<IndirectStringRef> ParseIndirectString(std::wstring_view text);
