// The routines of the browser add-ons page, and the indirect display names ("@module,-number")
// that the firewall page resolves as well.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "repair/results.h"

// Kind codes of the three add-on sources.
inline constexpr int kAddOnActiveX = 0;
inline constexpr int kAddOnExtension = 1;
inline constexpr int kAddOnHelperObject = 2;

// The text a row shows in its kind column: "浏览器辅助对象", "ActiveX插件", "浏览器扩展"; empty for
// an unknown code.
const wchar_t* AddOnKindText(int kind);
// The kind code of a kind text, compared ignoring case in the order ActiveX, extension, helper
// object; -1 for any other text.
int AddOnKindCode(const wchar_t* text);

// The sources below HKEY_LOCAL_MACHINE, with their trailing backslash; each subkey is one add-on.
inline constexpr const wchar_t kHelperObjectsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BROWSER HELPER OBJECTS\\";
inline constexpr const wchar_t kPreApprovedKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\";
inline constexpr const wchar_t kExtensionsKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\";

// The browser's per-user add-on settings below HKEY_CURRENT_USER: one subkey per key name.
inline constexpr const wchar_t kAddOnSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";

// Receives one add-on: display name, file, enabled (1) or disabled (0), kind code and key name
// (the subkey's name in its source). The texts are valid during the call only.
using AddOnSink =
    std::function<void(const wchar_t* name, const wchar_t* file, int enabled, int kind, const wchar_t* keyName)>;

// A subkey whose name holds a NUL is listed with its marked name as key name (MarkedKeyName,
// key_names.h): the browser loads what the text before the NUL names, so such an add-on is shown,
// not hidden. The routines below that act on a key name refuse a marked one.
//
// Paths below a root are held in 260 characters with their terminator, as the add-on keys are
// addressed everywhere: a key name whose path would not fit is never cut to another key's path.
// Such an add-on's CLSID registration or settings key counts as missing, and setting or deleting
// it fails with ERROR_INSUFFICIENT_BUFFER.

// The helper objects or the pre-approved controls of one source (kHelperObjectsKey or
// kPreApprovedKey), in enumeration order: every subkey whose HKEY_CLASSES_ROOT "CLSID\<name>" key
// has a readable default value, which is the display name; the file is the default value of its
// InprocServer32 subkey as stored, empty when that is missing. A subkey whose name holds a NUL is
// listed in any case, with the registration of the name up to the NUL (empty texts without one). 0 when the whole source was listed;
// 0xB0000001 for an empty sink; otherwise the error that ended the listing: the source key does
// not open or count its subkeys, or an enumeration fails (the rest of the source is not listed).
DWORD EnumerateClsidAddOns(const wchar_t* sourceKey, int kind, const AddOnSink& sink);

// The browser extensions (kExtensionsKey), kind kAddOnExtension, in enumeration order. The name is
// "MenuText", else "ButtonText", else empty, resolved with ResolveIndirectString; the file is
// "Exec" with its environment references expanded into 260 characters, empty when it cannot be
// read or its expansion does not fit. Subkeys that cannot be enumerated or opened are skipped; one
// whose name holds a NUL is opened by its exact name.
// 0; 0xB0000001 for an empty sink; the error when the source key does not open or count its subkeys.
DWORD EnumerateBrowserExtensions(const AddOnSink& sink);

// All three sources in order: helper objects, pre-approved controls, extensions. An error ends
// only its own source. 0, 0xB0000001 for an empty sink, or the first source's error.
DWORD EnumerateAddOns(const AddOnSink& sink);

// 1 when the add-on's settings key opens, its "Flags" value reads as exactly 4 bytes (of any type)
// and holds 1; otherwise 0 (always for an empty name or one with a backslash).
int IsAddOnDisabled(const wchar_t* keyName);

// Enable (non-zero): deletes the add-on's settings key, a single key (fails when it has subkeys or
// is not there). Disable: creates the key and sets "Flags" to REG_DWORD 1. 0 or a Windows error;
// ERROR_INVALID_PARAMETER for an empty key name, which would name the settings key itself, and for
// a name with a backslash (a marked one among them), which would name a key below another one.
LONG SetAddOnEnabled(const wchar_t* keyName, int enable);

// Deletes the add-on's subkey, with everything below it, from the source of its kind
// (DeleteRegistryTree); its CLSID registration and settings key stay. 0 when it is gone;
// ERROR_INVALID_PARAMETER for an unknown kind, an empty key name or one with a backslash (nothing
// is deleted), otherwise the error of the delete.
LONG DeleteAddOn(int kind, const wchar_t* keyName);

// The display name an indirect string stands for: string resource `number` of the module, read
// with LoadStringW into 260 characters (empty when the module has no such string). The module is
// loaded as a data file only, so none of its code runs. A text that is not indirect (no at-sign
// first, or no comma) comes back unchanged, and so does one whose module cannot be loaded.
std::wstring ResolveIndirectString(const wchar_t* text);
