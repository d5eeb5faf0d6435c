// The scan of the image-file-execution options for hijacked programs, and the deletion of a
// registry key with everything below it (shared with the fast check and the add-ons page).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/registry.h"
#include "repair/results.h"

// Receives one hijacked image: its name, the Debugger value as read and the displayed key path
// ("HKEY_LOCAL_MACHINE\..."). The texts are valid during the call only.
using HijackSink = std::function<void(const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath)>;

// The options key below HKEY_LOCAL_MACHINE, with its trailing backslash.
inline constexpr const wchar_t kImageOptionsKey[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";

// Hands every options subkey with a readable Debugger value (at most 259 characters) to the sink,
// in enumeration order, and stores how many it handed over in *found. 0 on success; 0xB0000001
// for an empty sink; otherwise the Windows error of the call that failed. *found is left as it
// was for an empty sink, an options key that does not open and a failed subkey count; after an
// enumeration error it counts the entries delivered before it.
//
// A subkey whose name holds a NUL is never handed to `sink`: its path would name another entry, or
// the options key itself. Where `nulNamed` is given, each such subkey with a readable Debugger
// value (read through its exact name) goes there instead, and is counted: its name is marked
// (MarkedKeyName, key_names.h), and so is the last part of its key path. Those texts are for
// showing; no key may be acted on by them.
DWORD ScanImageHijacks(DWORD* found, const HijackSink& sink, const HijackSink& nulNamed = {});

// Deletes root\path with all its subkeys and values. 0 when the key is gone (deleted, or not
// there); otherwise a Windows error. A registry link in the tree is deleted as a link: what it
// points to stays. The caller's text is not changed. An empty path is refused
// (ERROR_INVALID_PARAMETER): it would name the root itself.
LONG DeleteRegistryTree(HKEY root, const wchar_t* path);
// The same in one registry view: every key of the tree is opened in that view, so that a path
// below HKEY_LOCAL_MACHINE\SOFTWARE names the 32-bit program's key (below Wow6432Node) for Bits32.
LONG DeleteRegistryTree(HKEY root, const wchar_t* path, lark::RegistryView view);

// Deletes the image keys that hijacks were found in, given by their displayed key paths
// ("HKEY_LOCAL_MACHINE\..."): the text after the first backslash is the key below
// HKEY_LOCAL_MACHINE (a text without one is taken whole), deleted with DeleteRegistryTree. All of
// them go into one backup first ("映像劫持 <image>", or "映像劫持 <first image> 等<n>项" for more than
// one). When that backup cannot be written, each key is backed up and deleted on its own, so that
// one key no .reg file can hold keeps only itself. 0 when every backup was written and the deletes
// made (their own results are not looked at: a key that stays shows at the next scan); otherwise
// the first backup error, and the keys whose backup failed are not deleted. An empty list does
// nothing.
DWORD DeleteImageHijacks(const std::vector<std::wstring>& keyPaths);
