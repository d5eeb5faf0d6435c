// The routines of the browser add-ons page, and the indirect display names ("@module,-number")
// that the firewall page resolves as well.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "framework/registry.h"
#include "repair/results.h"

// Kind codes of the three add-on sources.
inline constexpr int kAddOnActiveX = 0;
inline constexpr int kAddOnExtension = 1;
inline constexpr int kAddOnHelperObject = 2;

// The text a row shows in its kind column: "浏览器辅助对象", "ActiveX插件", "浏览器扩展", followed
// by " (32位)" for an add-on of the 32-bit view ("浏览器辅助对象 (32位)"); empty for an unknown code.
const wchar_t* AddOnKindText(int kind, lark::RegistryView view = lark::RegistryView::Bits64);
// The text a row shows in its state column: "已启用" for an enabled add-on (non-zero), "已禁用"
// otherwise.
const wchar_t* AddOnStateText(int enabled);
// The kind code of a kind text, compared ignoring case in the order ActiveX, extension, helper
// object; -1 for any other text. The view the text names is stored in *view when the text is
// known and view is not null.
int AddOnKindCode(const wchar_t* text, lark::RegistryView* view = nullptr);

// The sources below HKEY_LOCAL_MACHINE, with their trailing backslash; each subkey is one add-on.
// Each source is read in both registry views: the 64-bit browser loads what the 64-bit view
// lists, the 32-bit browser what the 32-bit view (below Wow6432Node) lists.
inline constexpr const wchar_t kHelperObjectsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BROWSER HELPER OBJECTS\\";
inline constexpr const wchar_t kPreApprovedKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\";
inline constexpr const wchar_t kExtensionsKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\";

// The browser's per-user add-on settings below HKEY_CURRENT_USER: one subkey per key name, shared by
// the add-ons of both views.
inline constexpr const wchar_t kAddOnSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";

// Receives one add-on: display name, file, enabled (1) or disabled (0), kind code, key name (the
// subkey's name in its source) and the registry view it was read in. The texts are valid during
// the call only.
using AddOnSink = std::function<void(const wchar_t* name, const wchar_t* file, int enabled, int kind,
                                     const wchar_t* keyName, lark::RegistryView view)>;

// A subkey whose name holds a NUL is listed with its marked name as key name (MarkedKeyName,
// key_names.h): the browser loads what the text before the NUL names, so such an add-on is shown,
// not hidden. The routines below that act on a key name refuse a marked one.
//
// Paths below a root are held in 260 characters with their terminator, as the add-on keys are
// addressed everywhere: a key name whose path would not fit is never cut to another key's path.
// Such an add-on's CLSID registration or settings key counts as missing, and setting or deleting
// it fails with ERROR_INSUFFICIENT_BUFFER.

// What a subkey that cannot be enumerated does to the rest of its source.
enum class OnEnumerationError { EndSource, SkipSubkey };

// One subkey of a source, as enumerated.
struct Subkey {
    HKEY source;              // the open source key
    std::wstring_view exact;  // the name as the registry holds it
    const wchar_t* name;      // the name up to its first NUL
    bool holdsNul;            // then it is reached only through `exact`, and listed marked
    std::wstring KeyName() const;  // the name, marked when it holds a NUL (MarkedKeyName)
};

// Hands every subkey of root\sourceKey, in the view, to the visitor, in enumeration order (names of
// up to 259 characters), valid during the call. 0, or the error of the open, the count or (ending
// the source) an enumeration.
DWORD ForEachSubkey(HKEY root, const wchar_t* sourceKey, lark::RegistryView view, OnEnumerationError onError,
                    const std::function<void(const Subkey& subkey)>& visit);

// The helper objects or the pre-approved controls of one source (kHelperObjectsKey or
// kPreApprovedKey) in one view, in enumeration order: every subkey whose HKEY_CLASSES_ROOT
// "CLSID\<name>" key of the same view has a readable default value, which is the display name;
// the file is the default value of its InprocServer32 subkey as stored, empty when that is
// missing. A subkey whose name holds a NUL is listed in any case, with the registration of the
// name up to the NUL (empty texts without one). 0 when the whole source was listed; 0xB0000001 for
// an empty sink; otherwise the error that ended the listing: the source key does not open or count
// its subkeys, or an enumeration fails (the rest of the source is not listed).
DWORD EnumerateClsidAddOns(const wchar_t* sourceKey, int kind, lark::RegistryView view, const AddOnSink& sink);

// The browser extensions (kExtensionsKey) of one view, kind kAddOnExtension, in enumeration order.
// The name is "MenuText", else "ButtonText", else empty, resolved with ResolveIndirectString; the
// file is "Exec" with its environment references expanded into 260 characters, empty when it
// cannot be read or its expansion does not fit. Subkeys that cannot be enumerated or opened are
// skipped; one whose name holds a NUL is opened by its exact name. 0; 0xB0000001 for an empty
// sink; the error when the source key does not open or count its subkeys.
DWORD EnumerateBrowserExtensions(lark::RegistryView view, const AddOnSink& sink);

// All three sources in order, each in the 64-bit view and then in the 32-bit view: helper objects,
// pre-approved controls, extensions. An error ends only its own source in its own view. 0,
// 0xB0000001 for an empty sink, or the error of the first that had one.
DWORD EnumerateAddOns(const AddOnSink& sink);

// 1 when the add-on's settings key opens, its "Flags" value reads as exactly 4 bytes (of any type)
// and holds 1; otherwise 0 (always for an empty name or one with a backslash).
int IsAddOnDisabled(const wchar_t* keyName);

// Enable (non-zero): deletes the add-on's settings key, a single key (fails when it has subkeys or
// is not there). Disable: creates the key and sets "Flags" to REG_DWORD 1. Either first writes a
// backup of what it changes ("浏览器加载项 启用|禁用 <key name>"). 0 or a Windows error, also the
// backup's, and then nothing is changed; ERROR_INVALID_PARAMETER for an empty key name, which would
// name the settings key itself, and for a name with a backslash (a marked one among them), which
// would name a key below another one.
LONG SetAddOnEnabled(const wchar_t* keyName, int enable);

// Deletes the add-on's subkey, with everything below it, from the source of its kind in the view
// it was listed in (DeleteRegistryTree), after a backup of that subkey ("浏览器加载项 删除 <key
// name>"); the same subkey in the other view, its CLSID registration and its settings key stay. 0
// when it is gone; ERROR_INVALID_PARAMETER for an unknown kind, an empty key name or one with a
// backslash (nothing is deleted), otherwise the error of the backup (nothing is deleted) or of the delete.
LONG DeleteAddOn(int kind, const wchar_t* keyName, lark::RegistryView view);

// The file the browser of the view loads for an add-on's file as the row shows it: as shown for
// the 64-bit view; for the 32-bit view with its environment references expanded (into 260
// characters; as shown when they do not fit) and then as PathFor32BitPrograms finds it, so that a
// file in the system folder is the one in the 32-bit system folder.
std::wstring AddOnFileLoaded(const wchar_t* file, lark::RegistryView view);

// The display name an indirect string stands for: string resource `number` of the module, read
// with LoadStringW into 260 characters (empty when the module has no such string). The module is
// loaded as a data file only, so none of its code runs. A text that is not indirect (no at-sign
// first, or no comma) comes back unchanged, and so does one whose module cannot be loaded.
std::wstring ResolveIndirectString(const wchar_t* text);
