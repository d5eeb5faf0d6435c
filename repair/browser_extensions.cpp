#include "repair/browser_extensions.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "backup/registry_backup.h"
#include "framework/handles.h"
#include "framework/registry.h"
#include "repair/extension_json.h"
#include "repair/ie_loader.h"
#include "repair/image_hijack.h"

namespace {

// Registry strings and profile files larger than this are not read.
constexpr DWORD kMaxDataBytes = 4 * 1024 * 1024;
// How much of a profile folder is looked at: folders in "User Data", extensions in a profile,
// versions of one extension.
constexpr int kMaxProfileFolders = 1000;
constexpr int kMaxExtensionFolders = 10000;
constexpr int kMaxVersionFolders = 16;

std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

const ExtensionBrowserKeys& KeysOf(ExtensionBrowser browser) {
    for (const auto& keys : kExtensionBrowsers) {
        if (keys.browser == browser) return keys;
    }
    return kExtensionBrowsers[0];
}

// ---- registry strings ----

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The units of the data before its first NUL; nothing when it holds none.
std::optional<std::wstring> TerminatedText(const BYTE* data, DWORD size) {
    const DWORD units = size / sizeof(wchar_t);
    for (DWORD i = 0; i < units; ++i) {
        wchar_t unit;
        std::memcpy(&unit, data + i * sizeof(wchar_t), sizeof(unit));
        if (unit == L'\0') {
            std::wstring text(i, L'\0');
            if (i != 0) std::memcpy(text.data(), data, i * sizeof(wchar_t));
            return text;
        }
    }
    return std::nullopt;
}

// A string value as stored: its type, all its bytes and its text.
struct StoredString {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::wstring text;
};

// A REG_SZ or REG_EXPAND_SZ value of at most kMaxDataBytes that holds a terminator. ERROR_FILE_NOT_FOUND
// when the value is missing, ERROR_INVALID_DATA when it is anything else.
LONG ReadStoredString(HKEY key, const wchar_t* name, StoredString& stored) {
    DWORD type = REG_NONE, size = 0;
    LONG error = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (error != ERROR_SUCCESS) return error;
    if (!IsString(type) || size > kMaxDataBytes) return ERROR_INVALID_DATA;
    std::vector<BYTE> data(size);
    DWORD read = size;
    error = ::RegQueryValueExW(key, name, nullptr, &type, data.data(), &read);
    if (error == ERROR_MORE_DATA) return ERROR_INVALID_DATA;  // it grew meanwhile
    if (error != ERROR_SUCCESS) return error;
    if (!IsString(type)) return ERROR_INVALID_DATA;
    data.resize(read);
    auto text = TerminatedText(data.data(), read);
    if (!text) return ERROR_INVALID_DATA;
    stored = {type, std::move(data), std::move(*text)};
    return ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name) {
    StoredString stored;
    if (ReadStoredString(key, name, stored) != ERROR_SUCCESS) return std::nullopt;
    return std::move(stored.text);
}

lark::UniqueRegKey OpenKey(HKEY root, const std::wstring& path, REGSAM access, lark::RegistryView view) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, access | lark::ViewAccess(view), key.put()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

// Every value of the key whose name is a list item and whose data is a terminated string, in
// enumeration order: its name and text. The buffers are sized once from the key's largest name and
// data (at most kMaxDataBytes); a value that outgrows them meanwhile is passed over.
void ForEachListValue(HKEY key, const std::function<void(const wchar_t* name, const std::wstring& text)>& visit) {
    DWORD values = 0, longestName = 0, largestData = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName,
                           &largestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(std::min(largestData, kMaxDataBytes) + sizeof(wchar_t));
    for (DWORD index = 0; index < values; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = REG_NONE, size = static_cast<DWORD>(data.size());
        const LONG error =
            ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (error == ERROR_NO_MORE_ITEMS) break;
        if (error != ERROR_SUCCESS || !IsString(type)) continue;
        // A name with a NUL inside cannot be addressed to delete it, and is no number either.
        if (lark::NameHoldsNul(name.data(), nameLength)) continue;
        if (!IsListItemName(U16(std::wstring_view(name.data(), nameLength)))) continue;
        const auto text = TerminatedText(data.data(), size);
        if (text) visit(name.data(), *text);
    }
}

// ---- the entries of each source, as read and as read again before a delete ----

struct Found {
    std::wstring id, file;
    bool fileIsPath = false;
    bool operator==(const Found&) const = default;
};

std::optional<Found> FromListText(const std::wstring& text) {
    const auto entry = ParseForceListEntry(U16(text));
    if (!entry) return std::nullopt;
    return Found{Wide(entry->id), Wide(entry->updateUrl), false};
}

std::optional<Found> FromMember(const SettingsMember& member) {
    if (!IsExtensionId(member.key) || !member.Installs()) return std::nullopt;
    return Found{Wide(member.key), Wide(member.updateUrl), false};
}

// An external extension's subkey: "update_url" when it is a string (the browser then ignores the
// rest), else "path".
std::optional<Found> FromExternalKey(HKEY key, const wchar_t* name) {
    if (!IsExtensionId(U16(name))) return std::nullopt;
    if (auto url = ReadString(key, L"update_url")) return Found{name, std::move(*url), false};
    if (auto path = ReadString(key, L"path")) return Found{name, std::move(*path), true};
    return std::nullopt;
}

std::wstring PolicyPath(const ExtensionBrowserKeys& keys, ExtensionSource source) {
    std::wstring path = keys.policies;
    if (source == ExtensionSource::ForceList) path += std::wstring(L"\\") + kForceListSubkey;
    return path;
}

// ---- installed copies in the user's profiles ----

std::wstring LocalAppData() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

bool IsPlainFolder(const WIN32_FIND_DATAW& found) {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;  // not steered elsewhere
    return std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0;
}

// The plain subfolders of a folder in enumeration order, at most `limit` of them looked at.
std::vector<std::wstring> Subfolders(const std::wstring& folder, int limit) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    lark::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return names;
    int seen = 0;
    do {
        if (++seen > limit) break;
        if (IsPlainFolder(found)) names.emplace_back(found.cFileName);
    } while (::FindNextFileW(find.get(), &found));
    return names;
}

// A file that the user's processes write, read whole when it holds at most kMaxDataBytes. A link is
// opened as itself (it has no data to read), and a folder does not open as a file; its size is found
// by reading, which costs less than asking for it.
std::optional<std::string> ReadProfileFile(const std::wstring& path) {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    constexpr DWORD kAsItself = FILE_FLAG_OPEN_REPARSE_POINT;
    lark::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, kAsItself, nullptr));
    if (!file) return std::nullopt;
    constexpr DWORD kChunk = 64 * 1024;
    std::string bytes;
    for (;;) {
        const std::size_t total = bytes.size();
        bytes.resize(total + kChunk);
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + total, kChunk, &read, nullptr)) return std::nullopt;
        bytes.resize(total + read);
        if (bytes.size() > kMaxDataBytes) return std::nullopt;
        if (read == 0) return bytes;
    }
}

// The name one installed copy (a version folder) gives; empty when it gives none.
std::wstring NameOfCopy(const std::wstring& copy) {
    const auto manifest = ReadProfileFile(copy + L"\\manifest.json");
    if (!manifest) return {};
    const auto read = ReadManifestName(*manifest);
    if (!read) return {};
    std::optional<std::string> messages;
    bool messagesRead = false;
    const auto lookup = [&](std::u16string_view message) -> std::optional<std::u16string> {
        if (read->defaultLocale.empty()) return std::nullopt;
        if (!messagesRead) {
            messages = ReadProfileFile(copy + L"\\_locales\\" + Wide(read->defaultLocale) + L"\\messages.json");
            messagesRead = true;
        }
        return messages ? ReadMessage(*messages, message) : std::nullopt;
    };
    const auto name = ResolveMessageReferences(read->name, lookup);
    return name ? Wide(*name) : std::wstring();
}

// The installed copies of one browser's extensions in the user's profiles, found once: the
// "Extensions\<id>" folders of every profile, "Default" first.
class InstalledCopies {
public:
    explicit InstalledCopies(ExtensionBrowser browser) {
        const std::wstring local = LocalAppData();
        if (local.empty()) return;
        const std::wstring userData = local + L"\\" + KeysOf(browser).userData;
        auto profiles = Subfolders(userData, kMaxProfileFolders);
        std::stable_partition(profiles.begin(), profiles.end(),
                              [](const std::wstring& name) { return Lower(name) == L"default"; });
        for (const auto& profile : profiles) {
            const std::wstring extensions = userData + L"\\" + profile + L"\\Extensions";
            for (const auto& id : Subfolders(extensions, kMaxExtensionFolders)) {
                if (IsExtensionId(U16(id))) folders_[Lower(id)].push_back(extensions + L"\\" + id);
            }
        }
    }

    std::wstring NameOf(const std::wstring& id) {
        const std::wstring key = Lower(id);
        const auto known = names_.find(key);
        if (known != names_.end()) return known->second;
        std::wstring name;
        const auto copies = folders_.find(key);
        if (copies != folders_.end()) {
            for (const auto& folder : copies->second) {
                for (const auto& version : Subfolders(folder, kMaxVersionFolders)) {
                    name = NameOfCopy(folder + L"\\" + version);
                    if (!name.empty()) break;
                }
                if (!name.empty()) break;
            }
        }
        names_.emplace(key, name);
        return name;
    }

private:
    std::map<std::wstring, std::vector<std::wstring>> folders_;
    std::map<std::wstring, std::wstring> names_;
};

BrowserExtension Entry(ExtensionBrowser browser, ExtensionSource source, HKEY root, lark::RegistryView view,
                       std::wstring entry, std::size_t occurrence = 0) {
    BrowserExtension extension;
    extension.browser = browser;
    extension.source = source;
    extension.root = root;
    extension.view = view;
    extension.entry = std::move(entry);
    extension.occurrence = occurrence;
    return extension;
}

// Hands each entry to the sink with its name, looking the browser's profiles up once per listing.
class Lister {
public:
    explicit Lister(const BrowserExtensionSink& sink) : sink_(sink) {}

    void Add(BrowserExtension extension, const Found& found) {
        extension.id = found.id;
        extension.file = found.file;
        extension.fileIsPath = found.fileIsPath;
        auto& copies = copies_[static_cast<int>(extension.browser)];
        if (!copies) copies = std::make_unique<InstalledCopies>(extension.browser);
        extension.name = copies->NameOf(found.id);
        if (extension.name.empty()) extension.name = found.id;
        sink_(extension);
    }

private:
    const BrowserExtensionSink& sink_;
    std::unique_ptr<InstalledCopies> copies_[std::size(kExtensionBrowsers)];
};

void ListForceList(Lister& lister, const ExtensionBrowserKeys& keys, HKEY root) {
    const auto list = OpenKey(root, PolicyPath(keys, ExtensionSource::ForceList), KEY_READ, lark::RegistryView::Bits64);
    if (!list) return;
    ForEachListValue(list.get(), [&](const wchar_t* name, const std::wstring& text) {
        if (const auto found = FromListText(text)) {
            lister.Add(Entry(keys.browser, ExtensionSource::ForceList, root, lark::RegistryView::Bits64, name), *found);
        }
    });
}

void ListSettings(Lister& lister, const ExtensionBrowserKeys& keys, HKEY root) {
    const auto policies = OpenKey(root, keys.policies, KEY_READ, lark::RegistryView::Bits64);
    if (!policies) return;
    const auto text = ReadString(policies.get(), kExtensionSettingsValue);
    if (!text) return;
    const auto members = ReadExtensionSettings(U16(*text));
    if (!members) return;
    std::map<std::u16string, std::size_t> seen;
    for (const auto& member : *members) {
        const std::size_t occurrence = seen[member.key]++;
        if (const auto found = FromMember(member)) {
            lister.Add(
                Entry(keys.browser, ExtensionSource::Settings, root, lark::RegistryView::Bits64, found->id, occurrence),
                *found);
        }
    }
}

void ListExternal(Lister& lister, const ExtensionBrowserKeys& keys, HKEY root, lark::RegistryView view) {
    // A name that holds a NUL adds no row: the browser opens the key that the text before the NUL
    // names, which is another subkey (listed on its own when it is there).
    ForEachSubkey(root, keys.external, view, OnEnumerationError::SkipSubkey, [&](const Subkey& subkey) {
        if (subkey.holdsNul) return;
        const wchar_t* name = subkey.name;
        const auto key = OpenKey(root, std::wstring(keys.external) + L"\\" + name, KEY_READ, view);
        if (!key) return;
        if (const auto found = FromExternalKey(key.get(), name)) {
            lister.Add(Entry(keys.browser, ExtensionSource::External, root, view, name), *found);
        }
    });
}

// ---- deleting one entry ----

// The backup of what a delete of the entry removes, named after its kind and identifier.
lark::backup::RegistryBackup BackupOf(const BrowserExtension& extension) {
    return lark::backup::RegistryBackup(std::wstring(L"浏览器加载项 删除 ") + BrowserExtensionKindText(extension) +
                                        L" " + extension.id);
}

constexpr REGSAM kPolicyView = lark::ViewAccess(lark::RegistryView::Bits64);

LONG DeleteListValue(const BrowserExtension& extension, const Found& shown) {
    const auto list = OpenKey(extension.root, PolicyPath(KeysOf(extension.browser), ExtensionSource::ForceList),
                              KEY_QUERY_VALUE | KEY_SET_VALUE, lark::RegistryView::Bits64);
    if (!list) return ERROR_FILE_NOT_FOUND;
    StoredString stored;
    const LONG error = ReadStoredString(list.get(), extension.entry.c_str(), stored);
    if (error != ERROR_SUCCESS) return error;
    if (FromListText(stored.text) != shown) return ERROR_INVALID_DATA;
    const std::wstring path = PolicyPath(KeysOf(extension.browser), ExtensionSource::ForceList);
    auto backup = BackupOf(extension);
    if (const DWORD error = backup.Value(extension.root, path.c_str(), extension.entry.c_str(), kPolicyView).Save()) {
        return static_cast<LONG>(error);
    }
    return ::RegDeleteValueW(list.get(), extension.entry.c_str());
}

LONG DeleteSettingsMember(const BrowserExtension& extension, const Found& shown) {
    const auto policies = OpenKey(extension.root, KeysOf(extension.browser).policies, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                  lark::RegistryView::Bits64);
    if (!policies) return ERROR_FILE_NOT_FOUND;
    StoredString stored;
    const LONG error = ReadStoredString(policies.get(), kExtensionSettingsValue, stored);
    if (error != ERROR_SUCCESS) return error;
    const std::u16string text = U16(stored.text);
    const auto members = ReadExtensionSettings(text);
    if (!members) return ERROR_INVALID_DATA;
    // The member the row stands for: the same occurrence of the same key.
    std::size_t index = 0, occurrence = 0;
    const std::u16string key = U16(extension.entry);
    for (; index < members->size(); ++index) {
        if ((*members)[index].key == key && occurrence++ == extension.occurrence) break;
    }
    if (index == members->size()) return ERROR_FILE_NOT_FOUND;
    if (FromMember((*members)[index]) != shown) return ERROR_INVALID_DATA;
    const auto rest = RemoveSettingsMember(text, index);
    if (!rest) return ERROR_INVALID_DATA;
    // The text less the member, then whatever followed its terminator, as it was.
    std::vector<BYTE> data(rest->size() * sizeof(char16_t));
    if (!data.empty()) std::memcpy(data.data(), rest->data(), data.size());
    data.insert(data.end(), stored.data.begin() + static_cast<std::ptrdiff_t>(stored.text.size() * sizeof(wchar_t)),
                stored.data.end());
    auto backup = BackupOf(extension);
    const wchar_t* policiesPath = KeysOf(extension.browser).policies;
    if (const DWORD error = backup.Value(extension.root, policiesPath, kExtensionSettingsValue, kPolicyView).Save()) {
        return static_cast<LONG>(error);
    }
    return ::RegSetValueExW(policies.get(), kExtensionSettingsValue, 0, stored.type, data.data(),
                            static_cast<DWORD>(data.size()));
}

LONG DeleteExternalKey(const BrowserExtension& extension, const Found& shown) {
    if (extension.entry.empty()) return ERROR_INVALID_PARAMETER;
    const std::wstring path = std::wstring(KeysOf(extension.browser).external) + L"\\" + extension.entry;
    const auto key = OpenKey(extension.root, path, KEY_READ, extension.view);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if (FromExternalKey(key.get(), extension.entry.c_str()) != shown) return ERROR_INVALID_DATA;
    auto backup = BackupOf(extension);
    if (const DWORD error = backup.Tree(extension.root, path.c_str(), lark::ViewAccess(extension.view)).Save()) {
        return static_cast<LONG>(error);
    }
    return DeleteRegistryTree(extension.root, path.c_str(), extension.view);
}

// Every source in its order.
void ListAll(const BrowserExtensionSink& sink) {
    Lister lister(sink);
    for (const auto& keys : kExtensionBrowsers) {
        for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) ListForceList(lister, keys, root);
    }
    for (const auto& keys : kExtensionBrowsers) {
        for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) ListSettings(lister, keys, root);
    }
    for (const auto& keys : kExtensionBrowsers) {
        for (const lark::RegistryView view : lark::kRegistryViews) ListExternal(lister, keys, HKEY_LOCAL_MACHINE, view);
        ListExternal(lister, keys, HKEY_CURRENT_USER, lark::RegistryView::Bits64);
    }
}

}  // namespace

const wchar_t* BrowserExtensionKindText(const BrowserExtension& extension) {
    // [browser][source][where]: HKEY_LOCAL_MACHINE (its 64-bit view), its 32-bit view, HKEY_CURRENT_USER.
    // Every text fits the kind column's 80 pixels (68 for the text) in the page's font.
    static constexpr const wchar_t* kTexts[3][3][3] = {
        {{L"谷歌强制", L"谷歌强制·32", L"谷歌强制·户"},
         {L"谷歌设置", L"谷歌设置·32", L"谷歌设置·户"},
         {L"谷歌外部", L"谷歌外部·32", L"谷歌外部·户"}},
        {{L"Edge强制", L"Edge强制·32", L"Edge强制·户"},
         {L"Edge设置", L"Edge设置·32", L"Edge设置·户"},
         {L"Edge外部", L"Edge外部·32", L"Edge外部·户"}},
        {{L"Cr强制", L"Cr强制·32", L"Cr强制·户"},
         {L"Cr设置", L"Cr设置·32", L"Cr设置·户"},
         {L"Cr外部", L"Cr外部·32", L"Cr外部·户"}},
    };
    const int browser = static_cast<int>(extension.browser), source = static_cast<int>(extension.source);
    if (browser < 0 || browser > 2 || source < 0 || source > 2) return L"";
    const int where = extension.root == HKEY_CURRENT_USER ? 2 : extension.view == lark::RegistryView::Bits32 ? 1 : 0;
    return kTexts[browser][source][where];
}

DWORD EnumerateBrowserExtensionEntries(const BrowserExtensionSink& sink) {
    if (!sink) return kNoSink;
    try {
        ListAll(sink);
    } catch (const std::bad_alloc&) {
        return kNoBuffers;  // what was listed before stays listed
    }
    return 0;
}

LONG DeleteBrowserExtension(const BrowserExtension& extension) {
    if (extension.root != HKEY_LOCAL_MACHINE && extension.root != HKEY_CURRENT_USER) return ERROR_INVALID_PARAMETER;
    try {
        const Found shown{extension.id, extension.file, extension.fileIsPath};
        switch (extension.source) {
        case ExtensionSource::ForceList: return DeleteListValue(extension, shown);
        case ExtensionSource::Settings: return DeleteSettingsMember(extension, shown);
        case ExtensionSource::External: return DeleteExternalKey(extension, shown);
        }
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;  // before any change: the change is the last call of each
    }
    return ERROR_INVALID_PARAMETER;
}

std::wstring ExtensionDisplayName(ExtensionBrowser browser, const std::wstring& id) {
    try {
        if (!IsExtensionId(U16(id))) return {};
        return InstalledCopies(browser).NameOf(id);
    } catch (const std::bad_alloc&) {
        return {};
    }
}
