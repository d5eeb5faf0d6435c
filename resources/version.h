// The program's version, as the about box and the update hand-off name it.
#pragma once

inline constexpr wchar_t kLarkspurVersion[] = L"v1.6";
