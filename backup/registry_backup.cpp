#include "backup/registry_backup.h"

#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "backup/store.h"
#include "framework/registry.h"

extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, PVOID information, ULONG length,
                                     PULONG resultLength);

namespace lark::backup {

namespace {

constexpr int kKeyNameInformation = 3;
constexpr int kMaxDepth = 512;  // the registry's own limit on nesting
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005);
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);

std::u16string ToU16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// ASCII letters folded: the registry's own names ("\REGISTRY\Machine") differ only in case.
bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = text[i], b = prefix[i];
        if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - 32);
        if (b >= u'a' && b <= u'z') b = static_cast<char16_t>(b - 32);
        if (a != b) return false;
    }
    return text.size() == prefix.size() || text[prefix.size()] == u'\\';
}

// The key's name in the registry's own namespace: "\REGISTRY\MACHINE\SOFTWARE\Wow6432Node\...".
std::optional<std::u16string> KernelName(HKEY key) {
    std::vector<BYTE> buffer(1024);
    for (int attempt = 0; attempt < 3; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status =
            NtQueryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if ((status == kBufferOverflow || status == kBufferTooSmall) && needed > buffer.size()) {
            buffer.resize(needed);
            continue;
        }
        if (status != 0) return std::nullopt;
        ULONG length = 0;
        std::memcpy(&length, buffer.data(), sizeof(length));
        if (length > buffer.size() - sizeof(length)) return std::nullopt;
        std::u16string name(length / 2, u'\0');
        std::memcpy(name.data(), buffer.data() + sizeof(length), name.size() * sizeof(char16_t));
        return name;
    }
    return std::nullopt;
}

// The current user's key, as the registry names it: "\REGISTRY\USER\" and the user's SID.
const std::optional<std::u16string>& CurrentUserKernelName() {
    static const std::optional<std::u16string> name = []() -> std::optional<std::u16string> {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
        UniqueHandle hold(token);
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> buffer(size);
        if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return std::nullopt;
        LPWSTR text = nullptr;
        if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            return std::nullopt;
        }
        UniqueLocal free(text);
        return u"\\REGISTRY\\USER\\" + ToU16(text);
    }();
    return name;
}

// The registry editor's name for a key: HKEY_LOCAL_MACHINE\..., HKEY_CURRENT_USER\... (the user's
// classes as HKEY_CURRENT_USER\Software\Classes\...), HKEY_USERS\...
std::optional<std::u16string> EditorPath(const std::u16string& kernel) {
    const std::u16string_view name(kernel);
    const auto rename = [&](std::size_t prefixLength, std::u16string_view root) {
        return std::u16string(root) + std::u16string(name.substr(prefixLength));
    };
    static constexpr std::u16string_view kMachine = u"\\REGISTRY\\MACHINE", kUsers = u"\\REGISTRY\\USER";
    if (StartsWithFolded(name, kMachine)) return rename(kMachine.size(), u"HKEY_LOCAL_MACHINE");
    if (const auto& user = CurrentUserKernelName()) {
        const std::u16string classes = *user + u"_Classes";
        if (StartsWithFolded(name, classes)) return rename(classes.size(), u"HKEY_CURRENT_USER\\Software\\Classes");
        if (StartsWithFolded(name, *user)) return rename(user->size(), u"HKEY_CURRENT_USER");
    }
    if (StartsWithFolded(name, kUsers)) return rename(kUsers.size(), u"HKEY_USERS");
    return std::nullopt;
}

bool IsPredefined(HKEY key) { return (reinterpret_cast<ULONG_PTR>(key) & 0xFFFFFFF0) == 0x80000000; }

// The real path of an opened key; a root (a predefined handle, which has no name of its own)
// under the name the registry editor writes for it. Keys created through HKEY_CLASSES_ROOT's
// root go to the machine's classes, of the view asked for.
std::optional<std::u16string> RealPath(HKEY key, REGSAM view = 0) {
    if (!IsPredefined(key)) {
        const auto kernel = KernelName(key);
        return kernel ? EditorPath(*kernel) : std::nullopt;
    }
    if (key == HKEY_LOCAL_MACHINE) return u"HKEY_LOCAL_MACHINE";
    if (key == HKEY_CURRENT_USER) return u"HKEY_CURRENT_USER";
    if (key == HKEY_USERS) return u"HKEY_USERS";
    const wchar_t* below = key == HKEY_CLASSES_ROOT     ? L"SOFTWARE\\Classes"
                           : key == HKEY_CURRENT_CONFIG ? L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"
                                                        : nullptr;
    UniqueRegKey real;
    if (!below || ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, below, 0, KEY_READ | view, real.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return RealPath(real.get());
}

// "a\b\c" -> "a\b" and "c"; trailing backslashes are not part of the last name.
std::pair<std::wstring, std::wstring> SplitLast(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return {L"", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

std::vector<std::wstring> Components(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const std::size_t end = std::min(path.find(L'\\', begin), path.size());
        if (end > begin) parts.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

std::wstring Folded(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

// The first key on the path that is not there, under the real path of the last one that is.
// Empty (and no error) when the whole path is there.
std::optional<std::u16string> FirstMissingKey(HKEY root, const std::wstring& path, REGSAM view, LONG& error) {
    UniqueRegKey current;  // empty: the root
    for (const std::wstring& name : Components(path)) {
        const HKEY parent = current ? current.get() : root;
        UniqueRegKey next;
        const LONG opened = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | view, next.put());
        if (opened == ERROR_FILE_NOT_FOUND) {
            const auto real = RealPath(parent, view);
            if (!real) {
                error = ERROR_CANT_RESOLVE_FILENAME;
                return std::nullopt;
            }
            return *real + u'\\' + ToU16(name);
        }
        if (opened != ERROR_SUCCESS) {
            error = opened;
            return std::nullopt;
        }
        current = std::move(next);
    }
    return std::u16string();
}

}  // namespace

RegistryBackup::RegistryBackup(std::wstring what) : what_(std::move(what)) {}

void RegistryBackup::Fail(LONG error) {
    if (!error_) error_ = error ? static_cast<DWORD>(error) : ERROR_GEN_FAILURE;
}

RegSection& RegistryBackup::SectionFor(const std::u16string& realPath) {
    for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
        if (!it->remove && it->path == realPath) return *it;
    }
    sections_.push_back({realPath, false, {}});
    return sections_.back();
}

const RegistryBackup::Opened* RegistryBackup::OpenKey(HKEY root, const std::wstring& path, REGSAM view, LONG& error) {
    const auto id = std::make_tuple(root, view, Folded(path));
    if (const auto found = opened_.find(id); found != opened_.end()) return &found->second;
    Opened opened;
    if (Components(path).empty()) {
        opened.root = root;  // the root itself, which is not closed
    } else {
        error = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, opened.key.put());
        if (error != ERROR_SUCCESS) return nullptr;
    }
    const auto real = RealPath(opened.handle(), view);
    if (!real) {
        error = ERROR_CANT_RESOLVE_FILENAME;
        return nullptr;
    }
    opened.realPath = *real;
    return &opened_.emplace(id, std::move(opened)).first->second;
}

RegistryBackup& RegistryBackup::Tree(HKEY root, const wchar_t* path, REGSAM view) {
    if (error_) {
        trees_.emplace_back();
        return *this;
    }
    if (!path || !*path) {
        Fail(ERROR_INVALID_PARAMETER);  // the root itself is never backed up whole
        trees_.emplace_back();
        return *this;
    }
    const auto [parentPath, name] = SplitLast(path);
    LONG error = 0;
    const Opened* parent = OpenKey(root, parentPath, view, error);
    if (!parent) {
        if (error != ERROR_FILE_NOT_FOUND) {
            Fail(error);
        } else if (const auto missing = FirstMissingKey(root, path, view, error); !missing) {
            Fail(error);
        } else if (!missing->empty()) {
            sections_.push_back({*missing, true, {}});
        }
        trees_.emplace_back();
        return *this;
    }
    const std::u16string realPath = parent->realPath + u'\\' + ToU16(name);
    sections_.push_back({realPath, true, {}});
    // The key itself, not what a link would lead to; the parent is where the view led, and below it
    // names are taken as they are. Kept open, with the right to delete it where that is granted.
    UniqueRegKey key;
    error = ::RegOpenKeyExW(parent->handle(), name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, key.put());
    if (error == ERROR_ACCESS_DENIED) {
        error = ::RegOpenKeyExW(parent->handle(), name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.put());
    }
    if (error == ERROR_SUCCESS) {
        ExportTree(key.get(), realPath, 0);
    } else if (error != ERROR_FILE_NOT_FOUND) {
        Fail(error);
    }
    trees_.push_back(std::move(key));
    return *this;
}

void RegistryBackup::ExportTree(HKEY key, const std::u16string& realPath, int depth) {
    if (error_) return;
    if (depth > kMaxDepth) return Fail(ERROR_CANT_RESOLVE_FILENAME);
    const std::size_t sectionIndex = sections_.size();
    sections_.push_back({realPath, false, {}});

    for (int attempt = 0;; ++attempt) {
        DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
        LONG error = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                        &maxName, &maxData, nullptr, nullptr);
        if (error != ERROR_SUCCESS) return Fail(error);
        std::vector<RegEntry> entries;
        std::vector<wchar_t> name(maxName + 2);
        std::vector<BYTE> data(maxData + 1);
        for (DWORD i = 0; i < values && error == ERROR_SUCCESS; ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
            error = ::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size);
            if (error == ERROR_SUCCESS) {
                entries.push_back({std::u16string(name.data(), name.data() + nameLength), false, type,
                                   std::vector<std::uint8_t>(data.begin(), data.begin() + size)});
            }
        }
        if (error == ERROR_MORE_DATA && attempt < 3) continue;  // changed while being read: once more
        if (error != ERROR_SUCCESS && error != ERROR_NO_MORE_ITEMS) return Fail(error);
        sections_[sectionIndex].entries = std::move(entries);

        std::vector<wchar_t> child(maxSubkey + 2);
        for (DWORD i = 0; i < subkeys; ++i) {
            DWORD length = static_cast<DWORD>(child.size());
            error = ::RegEnumKeyExW(key, i, child.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (error == ERROR_NO_MORE_ITEMS) break;
            if (error != ERROR_SUCCESS) return Fail(error);
            // A name with a NUL inside would open another key by its text before the NUL.
            if (NameHoldsNul(child.data(), length)) return Fail(ERROR_INVALID_NAME);
            UniqueRegKey sub;
            error = ::RegOpenKeyExW(key, child.data(), REG_OPTION_OPEN_LINK, KEY_READ, sub.put());
            if (error != ERROR_SUCCESS) return Fail(error);
            ExportTree(sub.get(), realPath + u'\\' + std::u16string(child.data(), child.data() + length), depth + 1);
            if (error_) return;
        }
        return;
    }
}

void RegistryBackup::AddValue(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view, bool keyMayBeCreated) {
    if (error_) return;
    const std::wstring keyPath = path ? path : L"";
    LONG error = 0;
    const Opened* key = OpenKey(root, keyPath, view, error);
    if (!key) {
        if (error != ERROR_FILE_NOT_FOUND) return Fail(error);
        if (!keyMayBeCreated) return;  // the change cannot happen there
        const auto missing = FirstMissingKey(root, keyPath, view, error);
        if (!missing) return Fail(error);
        if (!missing->empty()) sections_.push_back({*missing, true, {}});
        return;
    }
    RegEntry entry;
    entry.name = ToU16(name ? name : L"");
    for (int attempt = 0;; ++attempt) {
        DWORD type = 0, size = 0;
        error = ::RegQueryValueExW(key->handle(), name, nullptr, &type, nullptr, &size);
        if (error == ERROR_FILE_NOT_FOUND) {
            entry.remove = true;
            break;
        }
        if (error != ERROR_SUCCESS) return Fail(error);
        std::vector<BYTE> data(size + 1);
        DWORD read = size;
        error = ::RegQueryValueExW(key->handle(), name, nullptr, &type, data.data(), &read);
        if (error == ERROR_MORE_DATA && attempt < 3) continue;
        if (error == ERROR_FILE_NOT_FOUND) {
            entry.remove = true;
            break;
        }
        if (error != ERROR_SUCCESS) return Fail(error);
        entry.type = type;
        entry.data.assign(data.begin(), data.begin() + read);
        break;
    }
    RegSection& section = SectionFor(key->realPath);
    for (const RegEntry& existing : section.entries) {
        if (existing.name == entry.name) return;  // the first state is the one to go back to
    }
    section.entries.push_back(std::move(entry));
}

RegistryBackup& RegistryBackup::Value(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) {
    AddValue(root, path, name, view, false);
    return *this;
}

RegistryBackup& RegistryBackup::ValueOfKeyToCreate(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view) {
    AddValue(root, path, name, view, true);
    return *this;
}

DWORD RegistryBackup::Save(std::wstring* saved) {
    if (error_) return error_;
    const auto text = FormatRegText(sections_);
    if (!text) return ERROR_INVALID_NAME;
    return SaveFile(what_, L".reg", RegFileBytes(*text), saved);
}

}  // namespace lark::backup
