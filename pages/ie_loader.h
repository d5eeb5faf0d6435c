// The routines of the browser add-ons page, and the indirect display names ("@module,-number")
// that the firewall page resolves as well.
#pragma once

#include <windows.h>

#include <string>

// The display name an indirect string stands for: string resource `number` of the module, read
// with LoadStringW into 260 characters (empty when the module has no such string). The module is
// loaded as a data file only, so none of its code runs. A text that is not indirect (no at-sign
// first, or no comma) comes back unchanged, and so does one whose module cannot be loaded.
std::wstring ResolveIndirectString(const wchar_t* text);
