// Text of the system's ANSI code page as UTF-16, as the profile functions read a file without a
// byte-order mark.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// Never fails: bytes the code page has no character for come back as its default character.
std::wstring DecodeAnsi(std::string_view bytes);

}  // namespace tolvane
