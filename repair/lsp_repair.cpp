#include "repair/lsp_repair.h"

#include <winver.h>

#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "backup/registry_backup.h"
#include "framework/handles.h"
#include "framework/process.h"
#include "framework/registry.h"
#include "framework/system_library.h"
#include "repair/catalog_item.h"
#include "repair/wow64.h"

namespace {

constexpr DWORD kNameSize = 260;            // characters, terminator included
constexpr DWORD kValueSize = 1024;          // bytes of "PackedCatalogItem" read at most
constexpr int kConvertedSize = 1024;        // characters of the converted path
constexpr DWORD kPathSize = 260;            // characters of the expanded path, terminator included
constexpr int kQuerySize = 256;             // characters of a version query, terminator included
constexpr std::size_t kBackupCommandSize = 512;    // characters, terminator included
constexpr std::size_t kCommandSize = 260;          // characters, terminator included
constexpr const wchar_t kNoVersionText[] = L"--";
constexpr const wchar_t kParametersKey[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
constexpr const wchar_t* kParametersBelowMachine = kParametersKey + std::size(L"HKEY_LOCAL_MACHINE\\") - 1;

// version.dll is not a KnownDLL: loaded from the system folder on first use and kept for the run.
struct VersionLibrary {
    lark::UniqueModule module;
    decltype(&::GetFileVersionInfoSizeW) infoSize = nullptr;
    decltype(&::GetFileVersionInfoW) info = nullptr;
    decltype(&::VerQueryValueW) query = nullptr;

    explicit operator bool() const { return infoSize && info && query; }
};

template <class Function>
void Resolve(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::GetProcAddress(module, name));
}

const VersionLibrary& Version() {
    static const VersionLibrary library = [] {
        VersionLibrary loaded;
        loaded.module.reset(lark::LoadSystemLibrary(L"version.dll"));
        if (!loaded.module) return loaded;
        Resolve(loaded.module.get(), "GetFileVersionInfoSizeW", loaded.infoSize);
        Resolve(loaded.module.get(), "GetFileVersionInfoW", loaded.info);
        Resolve(loaded.module.get(), "VerQueryValueW", loaded.query);
        return loaded;
    }();
    return library;
}

// One string of the version block's string table, up to its NUL, its stated length or the end of
// the block, whichever comes first; cut to what the caller's buffer holds.
bool QueryVersionText(const VersionLibrary& version, std::span<const BYTE> block, WORD language, WORD codePage,
                      const wchar_t* name, std::wstring& text) {
    wchar_t query[kQuerySize] = {};
    ::wsprintfW(query, L"\\StringFileInfo\\%04X%04x\\%s", language, codePage, name);
    void* found = nullptr;
    UINT length = 0;
    if (!version.query(const_cast<BYTE*>(block.data()), query, &found, &length)) return false;
    const auto* first = static_cast<const BYTE*>(found);
    if (length != 0 && (first < block.data() || first >= block.data() + block.size())) return false;
    const std::size_t room = length == 0 ? 0 : static_cast<std::size_t>(block.data() + block.size() - first) / 2;
    const auto* characters = static_cast<const wchar_t*>(found);
    text.clear();
    for (std::size_t i = 0; i < length && i < room && characters[i] != L'\0'; ++i) text += characters[i];
    if (text.size() >= kVersionTextLength) text.resize(kVersionTextLength - 1);
    return true;
}

// The stored path converted from the system code page, then expanded; as stored when the expansion
// would not fit its buffer.
std::wstring ProviderPath(const std::string& stored) {
    wchar_t converted[kConvertedSize + 1] = {};
    const int length = stored.empty() ? 0
                                      : ::MultiByteToWideChar(CP_ACP, 0, stored.data(), static_cast<int>(stored.size()),
                                                              converted, kConvertedSize);
    converted[length > 0 ? length : 0] = L'\0';
    wchar_t expanded[kPathSize] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(converted, expanded, kPathSize);
    return needed > 0 && needed <= kPathSize ? std::wstring(expanded) : std::wstring(converted);
}

void DeliverEntry(std::span<const std::byte> value, lark::RegistryView view, const CatalogSink& sink) {
    const CatalogItem item = ParseCatalogItem(value);
    const std::wstring path = ProviderPath(item.path);
    wchar_t description[kVersionTextLength] = {};
    wchar_t vendor[kVersionTextLength] = {};
    if (!ReadVersionStrings(ProviderFileLoaded(path.c_str(), view).c_str(), description, vendor)) {
        std::wcscpy(description, kNoVersionText);
        std::wcscpy(vendor, kNoVersionText);
    }
    const std::wstring protocol(item.protocol.begin(), item.protocol.end());
    sink(protocol.c_str(), path.c_str(), vendor, description, FormatProviderId(item.providerId).c_str(), view);
}

// Starts folder\file with this command line, its window hidden, and waits for it to end. Its exit
// code; nothing when it was not started, or when there is no process whose end could be seen.
std::optional<DWORD> RunHiddenAndWait(const std::wstring& folder, const wchar_t* file, const std::wstring& commandLine,
                                      std::size_t commandSize) {
    // Never a cut command line, and never a program found through the search path.
    if (folder.empty() || commandLine.size() >= commandSize) return std::nullopt;
    lark::process::StartRequest request;
    request.application = folder + L"\\" + file;
    request.commandLine = commandLine;
    request.showCommand = SW_HIDE;
    lark::UniqueHandle process;
    if (!lark::process::Start(request, process) || !process) return std::nullopt;
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode)) {
        return std::nullopt;
    }
    return exitCode;
}

// The size of the file, when it is one.
std::optional<ULONGLONG> FileSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

const wchar_t* CatalogKeyOf(lark::RegistryView view) {
    return view == lark::RegistryView::Bits32 ? kCatalogEntriesKey : kCatalogEntries64Key;
}

std::wstring ProviderFileLoaded(const wchar_t* path, lark::RegistryView view) {
    if (view == lark::RegistryView::Bits32) return PathFor32BitPrograms(path);
    return path ? path : L"";
}

DWORD EnumerateCatalogEntries(const CatalogSink& sink) {
    if (!sink) return kNoSink;
    DWORD first = 0;
    for (const lark::RegistryView view : lark::kRegistryViews) {
        const DWORD result = EnumerateCatalogEntries(view, sink);
        if (first == 0) first = result;
    }
    return first;
}

DWORD EnumerateCatalogEntries(lark::RegistryView view, const CatalogSink& sink) {
    if (!sink) return kNoSink;
    lark::ListedKey catalogue;
    LONG result = lark::OpenForListing(HKEY_LOCAL_MACHINE, CatalogKeyOf(view), KEY_READ, catalogue);
    if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);

    std::byte value[kValueSize];
    for (DWORD index = 0; index < catalogue.subkeys; ++index) {
        wchar_t name[kNameSize] = {};
        DWORD nameLength = kNameSize;
        result = ::RegEnumKeyExW(catalogue.key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) continue;
        // By its exact name: a name holding a NUL must not be read as the entry named by its start.
        lark::UniqueRegKey entry;
        result = lark::OpenExactSubkey(catalogue.key.get(), {name, nameLength}, KEY_READ, entry);
        if (result != ERROR_SUCCESS) continue;
        DWORD size = kValueSize;
        result = ::RegQueryValueExW(entry.get(), L"PackedCatalogItem", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(value), &size);
        if (result != ERROR_SUCCESS) continue;
        DeliverEntry(std::span<const std::byte>(value, size), view, sink);
    }
    return static_cast<DWORD>(result);
}

int ReadVersionStrings(const wchar_t* path, wchar_t (&description)[kVersionTextLength],
                       wchar_t (&vendor)[kVersionTextLength]) {
    const VersionLibrary& version = Version();
    if (!version || !path) return 0;
    DWORD handle = 0;
    const DWORD size = version.infoSize(path, &handle);
    if (size == 0) return 0;
    const DWORD blockSize = size + 4;
    lark::UniqueVirtualMemory memory(::VirtualAlloc(nullptr, blockSize, MEM_COMMIT, PAGE_READWRITE));
    if (!memory) return 0;
    if (!version.info(path, handle, blockSize, memory.get())) return 0;
    const std::span<const BYTE> block(static_cast<const BYTE*>(memory.get()), blockSize);

    void* translation = nullptr;
    UINT length = 0;
    if (!version.query(memory.get(), L"\\VarFileInfo\\Translation", &translation, &length) || length < 4) return 0;
    const auto* pair = static_cast<const BYTE*>(translation);
    if (pair < block.data() || pair + 4 > block.data() + block.size()) return 0;
    WORD languageAndCodePage[2];
    std::memcpy(languageAndCodePage, pair, sizeof(languageAndCodePage));

    std::wstring company, text;
    if (!QueryVersionText(version, block, languageAndCodePage[0], languageAndCodePage[1], L"CompanyName", company) ||
        !QueryVersionText(version, block, languageAndCodePage[0], languageAndCodePage[1], L"FileDescription", text)) {
        return 0;
    }
    std::wcscpy(vendor, company.c_str());
    std::wcscpy(description, text.c_str());
    return 1;
}

int BackUpWinsockParameters(const wchar_t* target) {
    if (!target || !*target) return 0;
    const std::wstring commandLine = std::wstring(L"regedit.exe /e \"") + target + L"\" \"" + kParametersKey + L"\"";
    if (commandLine.size() >= kBackupCommandSize) return 0;
    // A file already there (the user agreed to replace it) must not pass for this back-up.
    if (!::DeleteFileW(target)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return 0;
    }
    if (!RunHiddenAndWait(lark::process::WindowsDirectory(), L"regedit.exe", commandLine, kBackupCommandSize)) {
        return 0;
    }
    const auto size = FileSize(target);
    if (size && *size > 0) return 1;
    // An empty file is no back-up: it goes, so that nothing looks like one.
    if (size) ::DeleteFileW(target);
    return 0;
}

int ResetWinsockCatalog() {
    // The reset rewrites the whole Parameters tree: it is kept first, and without it nothing runs.
    lark::backup::RegistryBackup backup(L"LSP修复 Winsock参数");
    if (backup.Tree(HKEY_LOCAL_MACHINE, kParametersBelowMachine).Save() != 0) return 0;
    const auto exitCode =
        RunHiddenAndWait(lark::process::SystemDirectory(), L"netsh.exe", L"netsh winsock reset", kCommandSize);
    return exitCode && *exitCode == 0 ? 1 : 0;
}

int LocateFileInExplorer(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return 0;
    std::wstring full = path;
    if (full.find(L'%') != std::wstring::npos) {
        const DWORD size = ::ExpandEnvironmentStringsW(path, nullptr, 0);
        if (size == 0) return 0;
        full.assign(size, L'\0');
        const DWORD written = ::ExpandEnvironmentStringsW(path, full.data(), size);
        if (written == 0 || written > size) return 0;
        full.resize(written - 1);
    }
    // A local path in Windows form only: "X:\..." on a drive that is not a network drive (opening a
    // share would hand it our credentials), without quotes or forward slashes.
    const wchar_t letter = full.size() >= 3 ? static_cast<wchar_t>(full[0] | 0x20) : L'\0';
    const bool driveForm = letter >= L'a' && letter <= L'z' && full[1] == L':' && full[2] == L'\\';
    if (!driveForm || full.find_first_of(L"\"/") != std::wstring::npos) return 0;
    const wchar_t root[] = {full[0], L':', L'\\', L'\0'};
    const UINT drive = ::GetDriveTypeW(root);
    if (drive == DRIVE_REMOTE || drive == DRIVE_NO_ROOT_DIR || drive == DRIVE_UNKNOWN) return 0;
    if (::GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    return lark::process::Select(full) ? 1 : 0;
}
