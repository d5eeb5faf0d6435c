#include "repair/ie_loader.h"

#include <shlwapi.h>

#include <cwchar>

#include <iterator>
#include <optional>
#include <string_view>

#include "backup/registry_backup.h"
#include "framework/handles.h"
#include "framework/registry.h"
#include "repair/image_hijack.h"
#include "repair/indirect_string.h"
#include "repair/key_names.h"
#include "repair/wow64.h"

namespace {

constexpr int kNameSize = 260;     // characters, terminator included
constexpr DWORD kTextSize = 260;   // registry strings: characters, terminator included
constexpr std::size_t kPathSize = 260;  // key paths: characters, terminator included

constexpr const wchar_t kClsidPrefix[] = L"CLSID\\";

// prefix + name + suffix, or nothing when it would not fit its 260 characters.
std::optional<std::wstring> KeyPath(const wchar_t* prefix, const wchar_t* name, const wchar_t* suffix = L"") {
    std::wstring path = std::wstring(prefix) + name + suffix;
    if (path.size() >= kPathSize) return std::nullopt;
    return path;
}

// A string value read with the buffer's 520 bytes; a value that does not fit is not read. The
// type is not looked at. Always terminated.
std::optional<std::wstring> ReadText(HKEY key, const wchar_t* valueName) {
    wchar_t text[kTextSize + 1] = {};  // one more than the read may fill
    DWORD size = kTextSize * sizeof(wchar_t);
    if (::RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(text);
}

std::optional<std::wstring> ReadText(HKEY root, const std::optional<std::wstring>& path, lark::RegistryView view,
                                     const wchar_t* valueName) {
    if (!path) return std::nullopt;
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path->c_str(), 0, KEY_READ | lark::ViewAccess(view), key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return ReadText(key.get(), valueName);
}

// "Exec" with its environment references expanded into 260 characters; empty when it cannot be
// read or does not fit expanded.
std::wstring ExpandedFile(HKEY extension) {
    const auto exec = ReadText(extension, L"Exec");
    if (!exec) return {};
    wchar_t file[kTextSize] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(exec->c_str(), file, kTextSize);
    if (needed == 0 || needed > kTextSize) return {};
    return file;
}

// Kind texts of the 64-bit view, in the order a text is recognised.
constexpr struct {
    int kind;
    const wchar_t* text;
} kKinds[] = {
    {kAddOnActiveX, L"ActiveX插件"},
    {kAddOnExtension, L"浏览器扩展"},
    {kAddOnHelperObject, L"浏览器辅助对象"},
};

// The same texts with the 32-bit mark, in the same order.
const std::wstring& MarkedKindText(std::size_t index) {
    static const std::wstring marked[] = {
        MarkForView(kKinds[0].text, lark::RegistryView::Bits32),
        MarkForView(kKinds[1].text, lark::RegistryView::Bits32),
        MarkForView(kKinds[2].text, lark::RegistryView::Bits32),
    };
    static_assert(std::size(marked) == std::size(kKinds));
    return marked[index];
}

const wchar_t* SourceKeyOf(int kind) {
    switch (kind) {
    case kAddOnActiveX: return kPreApprovedKey;
    case kAddOnExtension: return kExtensionsKey;
    case kAddOnHelperObject: return kHelperObjectsKey;
    default: return nullptr;
    }
}

}  // namespace

DWORD ForEachSubkey(HKEY root, const wchar_t* sourceKey, lark::RegistryView view, OnEnumerationError onError,
                    const std::function<void(const Subkey& subkey)>& visit) {
    lark::ListedKey source;
    if (const LONG error = lark::OpenForListing(root, sourceKey, KEY_READ | lark::ViewAccess(view), source)) {
        return static_cast<DWORD>(error);
    }
    for (DWORD index = 0; index < source.subkeys; ++index) {
        wchar_t name[kNameSize] = {};
        DWORD length = kNameSize;
        const LONG error = ::RegEnumKeyExW(source.key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS) {
            if (onError == OnEnumerationError::EndSource) return static_cast<DWORD>(error);
            continue;
        }
        visit(Subkey{source.key.get(), {name, length}, name, lark::NameHoldsNul(name, length)});
    }
    return 0;
}

std::wstring Subkey::KeyName() const { return holdsNul ? MarkedKeyName(name) : std::wstring(name); }

const wchar_t* AddOnKindText(int kind, lark::RegistryView view) {
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (kKinds[i].kind != kind) continue;
        return view == lark::RegistryView::Bits32 ? MarkedKindText(i).c_str() : kKinds[i].text;
    }
    return L"";
}

const wchar_t* AddOnStateText(int enabled) { return enabled ? L"已启用" : L"已禁用"; }

int AddOnKindCode(const wchar_t* text, lark::RegistryView* view) {
    if (!text) return -1;
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        for (const lark::RegistryView candidate : lark::kRegistryViews) {
            if (::StrCmpIW(text, AddOnKindText(kKinds[i].kind, candidate)) != 0) continue;
            if (view) *view = candidate;
            return kKinds[i].kind;
        }
    }
    return -1;
}

// A subkey whose name holds a NUL is listed all the same, marked: the browser reads the name up to
// the NUL and loads the object registered under that.
DWORD EnumerateClsidAddOns(const wchar_t* sourceKey, int kind, lark::RegistryView view, const AddOnSink& sink) {
    if (!sink) return kNoSink;
    return ForEachSubkey(HKEY_LOCAL_MACHINE, sourceKey, view, OnEnumerationError::EndSource, [&](const Subkey& subkey) {
        const wchar_t* name = subkey.name;
        // Without a readable CLSID name in the add-on's own view the add-on is not listed.
        const auto display =
            *name ? ReadText(HKEY_CLASSES_ROOT, KeyPath(kClsidPrefix, name), view, nullptr) : std::nullopt;
        if (!display && !subkey.holdsNul) return;
        const auto file = *name ? ReadText(HKEY_CLASSES_ROOT, KeyPath(kClsidPrefix, name, L"\\InprocServer32"), view,
                                           nullptr)
                                : std::nullopt;
        sink(display.value_or(L"").c_str(), file.value_or(L"").c_str(), !IsAddOnDisabled(name), kind,
             subkey.KeyName().c_str(), view);
    });
}

// A subkey whose name holds a NUL is read through its exact name and listed marked.
DWORD EnumerateBrowserExtensions(lark::RegistryView view, const AddOnSink& sink) {
    if (!sink) return kNoSink;
    return ForEachSubkey(HKEY_LOCAL_MACHINE, kExtensionsKey, view, OnEnumerationError::SkipSubkey,
                         [&](const Subkey& subkey) {
        lark::UniqueRegKey extension;
        if (subkey.holdsNul) {
            // Below the source key, which was opened in the view already.
            if (lark::OpenExactSubkey(subkey.source, subkey.exact, KEY_READ, extension) != ERROR_SUCCESS) return;
        } else {
            const auto path = KeyPath(kExtensionsKey, subkey.name);
            if (!path || ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path->c_str(), 0, KEY_READ | lark::ViewAccess(view),
                                         extension.put()) != ERROR_SUCCESS) {
                return;
            }
        }
        auto text = ReadText(extension.get(), L"MenuText");
        if (!text) text = ReadText(extension.get(), L"ButtonText");
        const std::wstring display = ResolveIndirectString(text.value_or(L"").c_str());
        const std::wstring file = ExpandedFile(extension.get());
        sink(display.c_str(), file.c_str(), !IsAddOnDisabled(subkey.name), kAddOnExtension, subkey.KeyName().c_str(),
             view);
    });
}

DWORD EnumerateAddOns(const AddOnSink& sink) {
    if (!sink) return kNoSink;
    DWORD first = 0;
    const auto keep = [&first](DWORD result) {
        if (first == 0) first = result;
    };
    for (const lark::RegistryView view : lark::kRegistryViews) {
        keep(EnumerateClsidAddOns(kHelperObjectsKey, kAddOnHelperObject, view, sink));
    }
    for (const lark::RegistryView view : lark::kRegistryViews) {
        keep(EnumerateClsidAddOns(kPreApprovedKey, kAddOnActiveX, view, sink));
    }
    for (const lark::RegistryView view : lark::kRegistryViews) keep(EnumerateBrowserExtensions(view, sink));
    return first;
}

int IsAddOnDisabled(const wchar_t* keyName) {
    if (!IsSingleKeyName(keyName)) return 0;
    const auto path = KeyPath(kAddOnSettingsKey, keyName);
    if (!path) return 0;
    lark::UniqueRegKey settings;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, KEY_READ, settings.put()) != ERROR_SUCCESS) return 0;
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    if (::RegQueryValueExW(settings.get(), L"Flags", nullptr, nullptr, reinterpret_cast<BYTE*>(&flags), &size) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return size == sizeof(flags) && flags == 1 ? 1 : 0;
}

LONG SetAddOnEnabled(const wchar_t* keyName, int enable) {
    if (!IsSingleKeyName(keyName)) return ERROR_INVALID_PARAMETER;
    const auto path = KeyPath(kAddOnSettingsKey, keyName);
    if (!path) return ERROR_INSUFFICIENT_BUFFER;
    lark::backup::RegistryBackup backup(std::wstring(enable ? L"浏览器加载项 启用 " : L"浏览器加载项 禁用 ") + keyName);
    if (enable) {
        if (const DWORD error = backup.Tree(HKEY_CURRENT_USER, path->c_str()).Save()) return static_cast<LONG>(error);
        return ::RegDeleteKeyW(HKEY_CURRENT_USER, path->c_str());
    }
    if (const DWORD error = backup.ValueOfKeyToCreate(HKEY_CURRENT_USER, path->c_str(), L"Flags").Save()) {
        return static_cast<LONG>(error);
    }
    lark::UniqueRegKey settings;
    const LONG error = ::RegCreateKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, nullptr, settings.put(), nullptr);
    if (error != ERROR_SUCCESS) return error;
    const DWORD disabled = 1;
    return ::RegSetValueExW(settings.get(), L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disabled),
                            sizeof(disabled));
}

LONG DeleteAddOn(int kind, const wchar_t* keyName, lark::RegistryView view) {
    const wchar_t* source = SourceKeyOf(kind);
    if (!source || !IsSingleKeyName(keyName)) return ERROR_INVALID_PARAMETER;
    const auto path = KeyPath(source, keyName);
    if (!path) return ERROR_INSUFFICIENT_BUFFER;
    lark::backup::RegistryBackup backup(std::wstring(L"浏览器加载项 删除 ") + keyName);
    if (const DWORD error = backup.Tree(HKEY_LOCAL_MACHINE, path->c_str(), lark::ViewAccess(view)).Save()) {
        return static_cast<LONG>(error);
    }
    return DeleteRegistryTree(HKEY_LOCAL_MACHINE, path->c_str(), view);
}

std::wstring AddOnFileLoaded(const wchar_t* file, lark::RegistryView view) {
    const std::wstring shown = file ? file : L"";
    if (view != lark::RegistryView::Bits32) return shown;
    wchar_t expanded[kTextSize] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(shown.c_str(), expanded, kTextSize);
    return PathFor32BitPrograms(needed > 0 && needed <= kTextSize ? expanded : shown.c_str());
}

std::wstring ResolveIndirectString(const wchar_t* text) {
    const std::wstring original = text ? text : L"";
    const auto ref = ParseIndirectString(original);
    if (!ref || ref->module.empty() || ref->module.size() >= MAX_PATH) return original;
    // A module named by registry data is never run: its resources are all that is read.
    lark::UniqueModule module(::LoadLibraryExW(ref->module.c_str(), nullptr,
                                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return original;
    wchar_t name[kNameSize] = {};
    ::LoadStringW(module.get(), static_cast<UINT>(ref->number), name, kNameSize);
    name[kNameSize - 1] = L'\0';
    return name;
}
