// The routines of the Winsock LSP page, and the showing of a file in Explorer that the add-ons and
// firewall pages use as well.
#pragma once

#include <windows.h>

#include <functional>

#include "repair/results.h"

// The catalogue's key below HKEY_LOCAL_MACHINE.
inline constexpr const wchar_t kCatalogEntriesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries";

// Receives one catalogue entry: its protocol name, the provider DLL's path (expanded), the DLL's
// vendor and description ("--" both when it has none) and the ProviderId as text. The texts are
// valid during the call only.
using CatalogSink = std::function<void(const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                       const wchar_t* description, const wchar_t* providerId)>;

// Hands every readable entry of the catalogue to the sink, in the registry's enumeration order.
// An entry whose "PackedCatalogItem" does not fit 1024 bytes, or that cannot be enumerated, opened
// or read, is left out. Entries are opened by their exact names: one whose name holds a NUL is read
// as itself, never as the entry (or the catalogue key) that the text before the NUL names. The path is converted from the system code page and its environment
// references expanded into 260 characters; a path whose expansion would not fit is shown as stored.
// 0xB0000001 for an empty sink; the Windows error of opening the catalogue or of counting its
// entries; otherwise the result of the last registry call made for the last entry (0 when it
// succeeded, and for an empty catalogue).
DWORD EnumerateCatalogEntries(const CatalogSink& sink);

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

// Runs "netsh winsock reset" (netsh from the system folder), hidden, and waits for it. 1 when netsh
// ended with exit code 0; 0 when it could not be started, its end could not be seen, or it ended
// with any other code.
int ResetWinsockCatalog();

// Opens an Explorer window with the file selected: "<Windows folder>\Explorer /select,<path>"
// (the path not quoted), Explorer started from the Windows folder by its full path and not waited
// for. Nothing is started when the Windows folder cannot be had or the command line would not fit
// its 520 characters. 1 when Explorer was started, 0 otherwise; the pages show nothing either way.
int LocateFileInExplorer(const wchar_t* path);
