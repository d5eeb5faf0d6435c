// Extensions that Chrome, Edge and Chromium install without the user: forced by policy (the
// ExtensionInstallForcelist list and the ExtensionSettings object, in HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER) or registered as external extensions (a subkey per extension, in both registry
// views of HKEY_LOCAL_MACHINE and in HKEY_CURRENT_USER). Listed on the add-ons page after its own
// sources, and deleted one entry at a time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

#include "framework/registry.h"
#include "repair/results.h"

enum class ExtensionBrowser { Chrome, Edge, Chromium };

enum class ExtensionSource {
    ForceList,  // one value of the browser's ExtensionInstallForcelist policy
    Settings,   // one member of its ExtensionSettings policy that installs the extension
    External,   // one subkey of its Extensions key
};

// Below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, without a trailing backslash. The policy keys are
// shared by both registry views and are read once; the external keys are read in both views of
// HKEY_LOCAL_MACHINE and once in HKEY_CURRENT_USER.
struct ExtensionBrowserKeys {
    ExtensionBrowser browser;
    const wchar_t* policies;  // holds the ExtensionInstallForcelist subkey and the ExtensionSettings value
    const wchar_t* external;  // one subkey per extension, named by its identifier
    const wchar_t* userData;  // the profiles' folder below the user's local application data
};
inline constexpr ExtensionBrowserKeys kExtensionBrowsers[] = {
    {ExtensionBrowser::Chrome, L"SOFTWARE\\Policies\\Google\\Chrome", L"SOFTWARE\\Google\\Chrome\\Extensions",
     L"Google\\Chrome\\User Data"},
    {ExtensionBrowser::Edge, L"SOFTWARE\\Policies\\Microsoft\\Edge", L"SOFTWARE\\Microsoft\\Edge\\Extensions",
     L"Microsoft\\Edge\\User Data"},
    {ExtensionBrowser::Chromium, L"SOFTWARE\\Policies\\Chromium", L"SOFTWARE\\Chromium\\Extensions",
     L"Chromium\\User Data"},
};
inline constexpr wchar_t kForceListSubkey[] = L"ExtensionInstallForcelist";
inline constexpr wchar_t kExtensionSettingsValue[] = L"ExtensionSettings";

// One extension the browser installs by itself, with all that names its entry, so that a delete
// acts on that entry and on nothing else.
struct BrowserExtension {
    ExtensionBrowser browser = ExtensionBrowser::Chrome;
    ExtensionSource source = ExtensionSource::ForceList;
    HKEY root = HKEY_LOCAL_MACHINE;  // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    // The view the entry was read in: external entries of HKEY_LOCAL_MACHINE; Bits64 for the rest.
    lark::RegistryView view = lark::RegistryView::Bits64;
    // The list value's name, the member's key or the subkey's name.
    std::wstring entry;
    // Settings: which of the members with that key (0: the first); 0 for the rest.
    std::size_t occurrence = 0;
    std::wstring id;    // the extension's identifier as the entry holds it
    std::wstring file;  // the update URL, or for an external entry without one its "path"
    bool fileIsPath = false;  // file is the "path" of an external entry, a .crx file on disk
    // The installed copy's name (ExtensionDisplayName), or the identifier.
    std::wstring name;
};

// Receives one extension; valid during the call only.
using BrowserExtensionSink = std::function<void(const BrowserExtension&)>;

// Every extension the three browsers install by themselves, in this order: the force lists, the
// settings, the external entries; within each, Chrome, Edge, Chromium; within a browser
// HKEY_LOCAL_MACHINE (for external entries its 64-bit, then its 32-bit view) before
// HKEY_CURRENT_USER; within a key in enumeration order. What the browser would not take adds no
// row: an identifier that is not 32 letters a to p (either case), a list value whose name is not a
// number or that is no string (REG_SZ, REG_EXPAND_SZ) with its terminator, a settings text that is
// not an object of objects (it gives no row at all), a member whose installation_mode is not
// force_installed or normal_installed, an external subkey with neither an "update_url" nor a "path"
// string. Values larger than 4 MB are not read. A key that is missing or cannot be read adds nothing.
// The name is looked up once per identifier and browser among the current user's profiles.
// 0; kNoSink for an empty sink; kNoBuffers when memory ran out (the entries handed over before
// stay valid).
DWORD EnumerateBrowserExtensionEntries(const BrowserExtensionSink& sink);

// The kind column's text, short enough for its 80 pixels: the browser ("谷歌" for Chrome, "Edge",
// "Cr" for Chromium), the source ("强制" the force list, "设置" the settings, "外部" an external
// entry), and "·户" for an entry of HKEY_CURRENT_USER or "·32" for one of the 32-bit view
// ("谷歌强制", "Edge设置·户", "Cr外部·32").
const wchar_t* BrowserExtensionKindText(const BrowserExtension& extension);

// Deletes exactly the entry, after reading it again: it must still be there and still name the same
// identifier with the same file. A backup of what the delete removes is written first ("浏览器加载项
// 删除 <kind text> <identifier>": the list value, the settings value as it was, or the external
// subkey's tree), and nothing is changed when it cannot be. A list value is deleted; an external
// subkey with everything below it, in its view (DeleteRegistryTree); a settings member is taken out
// of the text, which is written back (same type) with every other character as it stood. 0 when
// done. ERROR_FILE_NOT_FOUND when the entry is gone; ERROR_INVALID_DATA when it changed, or the
// settings text no longer is an object of objects; ERROR_NOT_ENOUGH_MEMORY when memory ran out;
// otherwise the error of the backup or of the change. Only 0 means anything was changed.
LONG DeleteBrowserExtension(const BrowserExtension& extension);

// The name of an installed copy of the extension in the current user's profiles of the browser
// ("<local application data>\<userData>\<profile>\Extensions\<id>\<version>\manifest.json"): its
// "name", with "__MSG_<message>__" references taken from "_locales\<default_locale>\messages.json"
// of the same copy. Files of more than 4 MB, links, and folders that are links are not read. Empty
// when no copy gives a name.
std::wstring ExtensionDisplayName(ExtensionBrowser browser, const std::wstring& id);
