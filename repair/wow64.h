// What is different for 32-bit programs on 64-bit Windows, for everything that lists what they
// load: the mark of the rows that belong to them, and the file they reach through a path in the
// system folder.
#pragma once

#include <windows.h>

#include <string>

#include "framework/registry.h"

// Follows the text that tells a row of 32-bit programs apart (a kind, a protocol name).
inline constexpr wchar_t k32BitMark[] = L" (32位)";

// The text, followed by k32BitMark in the view of 32-bit programs; as given in the other.
std::wstring MarkForView(const wchar_t* text, lark::RegistryView view);

// The file a 32-bit program reaches through an absolute path, which the system redirects for it:
// the system folder (GetSystemDirectoryW), and everything below it, is the 32-bit system folder
// (GetSystemWow64DirectoryW), except the subfolders the system leaves where they are (catroot,
// catroot2, driverstore, drivers\etc, logfiles, spool); "<Windows folder>\Sysnative" is the system
// folder itself. Folders are compared ignoring case and match only whole (system32x is another
// folder); separators and "." or ".." parts are made plain first (GetFullPathNameW), and a mapped
// path comes back in that plain form. Any other path (relative, or in another folder) comes back
// as given, and so does every path when a folder cannot be had.
std::wstring PathFor32BitPrograms(const wchar_t* path);
