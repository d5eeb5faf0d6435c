// The routines of the Winsock LSP page, and the showing of a file in Explorer that every page with
// files in its rows uses.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/registry.h"
#include "repair/results.h"

// The two catalogues below HKEY_LOCAL_MACHINE (not redirected: both are seen in either view). On
// 64-bit Windows, Catalog_Entries64 is the catalogue of 64-bit programs and Catalog_Entries that of
// 32-bit programs, whose paths name the files a 32-bit program loads (PathFor32BitPrograms).
inline constexpr const wchar_t kCatalogEntriesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries";
inline constexpr const wchar_t kCatalogEntries64Key[] =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries64";

// The catalogue of the programs of a view: kCatalogEntries64Key for Bits64, kCatalogEntriesKey for
// Bits32.
const wchar_t* CatalogKeyOf(lark::RegistryView view);

// Receives one catalogue entry: its protocol name, the provider DLL's path (expanded, as stored),
// the DLL's vendor and description ("--" both when it has none), the ProviderId as text, and the
// view whose catalogue holds it. The texts are valid during the call only.
using CatalogSink = std::function<void(const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                       const wchar_t* description, const wchar_t* providerId,
                                       lark::RegistryView view)>;

// Hands every readable entry of the view's catalogue to the sink, in the registry's enumeration
// order. An entry whose "PackedCatalogItem" does not fit 1024 bytes, or that cannot be enumerated,
// opened or read, is left out. Entries are opened by their exact names: one whose name holds a NUL
// is read as itself, never as the entry (or the catalogue key) that the text before the NUL names.
// The path is converted from the system code page and its environment
// references expanded into 260 characters; a path whose expansion would not fit is shown as stored.
// The version texts are those of the file the view's programs load: for the 32-bit catalogue, a
// path in the system folder is read in the 32-bit system folder. 0xB0000001 for an empty sink;
// the Windows error of opening the catalogue or of counting its entries; otherwise the result of
// the last registry call made for the last entry (0 when it succeeded, and for an empty catalogue).
DWORD EnumerateCatalogEntries(lark::RegistryView view, const CatalogSink& sink);

// Both catalogues, that of 64-bit programs first. 0xB0000001 for an empty sink; otherwise the
// result of the first catalogue when it is not 0, else that of the second.
DWORD EnumerateCatalogEntries(const CatalogSink& sink);

// The file the programs of the view load for a provider path as the row shows it: the path itself
// for Bits64, PathFor32BitPrograms of it for Bits32. Version texts, signature verification and
// "定位文件" use it.
std::wstring ProviderFileLoaded(const wchar_t* path, lark::RegistryView view);

// The version-resource texts of the catalogue's columns, in buffers of this many characters.
inline constexpr int kVersionTextLength = 512;

// The CompanyName and FileDescription of the file's first translation. 1 when both were found,
// each cut to 511 characters where it is longer; 0 otherwise (no version resource, no translation,
// either text missing, or version.dll not to be had), and then both buffers are left as they were.
// version.dll is loaded from the system folder on first use, never from another.
int ReadVersionStrings(const wchar_t* path, wchar_t (&description)[kVersionTextLength],
                       wchar_t (&vendor)[kVersionTextLength]);

// Exports the whole Winsock "Parameters" tree to the file with regedit (from the Windows folder),
// hidden, and waits for it. A file already at the target is removed first, so that it cannot pass
// for the new back-up. 1 when regedit ended and left a file that is not empty; 0 otherwise: no
// target, a command line that would not fit 512 characters or a file that cannot be removed
// (nothing is started then), regedit not started or its end not seen, or no file or an empty one
// left (an empty one is removed).
int BackUpWinsockParameters(const wchar_t* target);

// Runs "netsh winsock reset" (netsh from the system folder), hidden, and waits for it, after a
// backup of the whole Winsock "Parameters" tree ("LSP修复 Winsock参数"), which the reset rewrites.
// 1 when netsh ended with exit code 0; 0 when the backup cannot be written (then netsh is not
// started), netsh could not be started, its end could not be seen, or it ended with any other code.
int ResetWinsockCatalog();

// Shows the file in an Explorer window of its folder, selected. Environment references in the path
// are expanded first; the path is then handed to the shell as an item list (lark::process::Select),
// never built into a command line, and no program is started here. Nothing is shown (result 0)
// unless the path is a local absolute one ("X:\..." on a drive that is not a network drive) that
// holds no double quote and no forward slash and names an existing file or folder. 1 when the
// shell took it, 0 otherwise; the pages show nothing either way.
int LocateFileInExplorer(const wchar_t* path);
