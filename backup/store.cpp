#include "backup/store.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <mutex>

namespace lark::backup {

namespace {

constexpr wchar_t kFolderName[] = L"LarkspurBackup";
// Owner Administrators; SYSTEM and Administrators full control, Users read, for the folder and
// everything in it; nothing inherited from ProgramData, whose ACL lets users create folders.
constexpr wchar_t kFolderSecurity[] = L"O:BAG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr std::size_t kMaxWhat = 80;  // characters of the description in a file name

// Rights that change the folder, its contents or its security.
constexpr ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                        FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                        GENERIC_ALL;

BOOL RealWrite(HANDLE file, const void* bytes, DWORD count, DWORD* written) {
    return ::WriteFile(file, bytes, count, written, nullptr);
}

FileWriter g_writer = nullptr;
std::mutex g_mutex;
UniqueFile g_folder;  // held while the program runs: the folder cannot be renamed or replaced
ULONGLONG g_lastStamp = 0;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return sid && ::IsWellKnownSid(sid, type); }
bool IsTrusted(PSID sid) { return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid); }

// Owner SYSTEM or Administrators, a protected DACL, and no allowing entry that lets anyone else
// change anything.
bool IsSecurityRight(HANDLE folder) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    UniqueLocal hold(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!IsTrusted(owner) || !dacl || !::GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !(control & SE_DACL_PROTECTED)) {
        return false;
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;  // object and callback entries: not ours
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kChangingRights) && !IsTrusted(const_cast<DWORD*>(&allowed->SidStart))) return false;
    }
    return true;
}

DWORD MakeSecurityRight(HANDLE folder, PSECURITY_DESCRIPTOR wanted) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!::GetSecurityDescriptorOwner(wanted, &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted)) {
        return ::GetLastError();
    }
    return ::SetSecurityInfo(folder, SE_FILE_OBJECT,
                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                 PROTECTED_DACL_SECURITY_INFORMATION,
                             owner, nullptr, dacl, nullptr);
}

bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Creates the folder, or makes the one that is there right, and holds it. Called with g_mutex held.
DWORD HoldFolder() {
    if (g_folder) return 0;
    const std::wstring path = FolderPath();
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return ::GetLastError();
    }
    UniqueLocal hold(descriptor);

    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    if (!::CreateDirectoryW(path.c_str(), &attributes) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return ::GetLastError();
    }
    // A link in its place is never followed, nor removed: what it points to is not ours.
    if (!IsPlainFolder(::GetFileAttributesW(path.c_str()))) return ERROR_CANT_RESOLVE_FILENAME;
    UniqueFile folder(::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return ::GetLastError();
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
        return ::GetLastError();
    }
    if (!IsPlainFolder(tag.FileAttributes)) return ERROR_CANT_RESOLVE_FILENAME;
    if (!IsSecurityRight(folder.get())) {
        if (const DWORD error = MakeSecurityRight(folder.get(), descriptor)) return error;
    }
    g_folder = std::move(folder);
    return 0;
}

// "2026-12-11 14-03-07.042": local time to the millisecond, later than the one handed out before.
std::wstring NextStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    FILETIME asFile{};
    ::SystemTimeToFileTime(&now, &asFile);
    ULONGLONG stamp = (static_cast<ULONGLONG>(asFile.dwHighDateTime) << 32 | asFile.dwLowDateTime) / 10000;
    if (stamp <= g_lastStamp) stamp = g_lastStamp + 1;
    g_lastStamp = stamp;
    const ULONGLONG ticks = stamp * 10000;
    asFile.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    asFile.dwLowDateTime = static_cast<DWORD>(ticks);
    SYSTEMTIME shown{};
    ::FileTimeToSystemTime(&asFile, &shown);
    wchar_t text[32] = {};
    std::swprintf(text, std::size(text), L"%04u-%02u-%02u %02u-%02u-%02u.%03u", shown.wYear, shown.wMonth, shown.wDay,
                  shown.wHour, shown.wMinute, shown.wSecond, shown.wMilliseconds);
    return text;
}

// The description as a file name allows it: characters a name cannot hold become '_', no trailing
// dots or blanks, at most kMaxWhat characters (never half a surrogate pair).
std::wstring FileNamePart(std::wstring_view what, std::size_t limit) {
    std::wstring part;
    for (const wchar_t c : what) {
        part += (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c)) ? L'_' : c;
    }
    if (part.size() > limit) {
        part.resize(limit);
        if (!part.empty() && part.back() >= 0xD800 && part.back() <= 0xDBFF) part.pop_back();
    }
    while (!part.empty() && (part.back() == L' ' || part.back() == L'.')) part.pop_back();
    return part;
}

// Creates a new file "<stamp> <what><extension>" in the held folder; a name that is taken is
// never reused, the next stamp is tried instead.
DWORD CreateNew(std::wstring_view what, std::wstring_view extension, DWORD access, DWORD flags, UniqueFile& file,
                std::wstring& path) {
    if (const DWORD error = HoldFolder()) return error;
    const std::wstring folder = FolderPath() + L'\\';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring stamp = NextStamp();
        const std::size_t fixed = folder.size() + stamp.size() + 1 + extension.size();
        if (fixed + 1 >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
        const std::wstring part = FileNamePart(what, std::min(kMaxWhat, MAX_PATH - 1 - fixed));
        path = folder + stamp + (part.empty() ? L"" : L" ") + part + std::wstring(extension);
        file.reset(::CreateFileW(path.c_str(), access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | flags, nullptr));
        if (file) return 0;
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return error;
    }
    return ERROR_FILE_EXISTS;
}

// The file is gone when its handle closes: used when a backup could not be written whole.
void DiscardOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof(dispose));
}

}  // namespace

std::wstring FolderPath() {
    PWSTR programData = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_ProgramData, KF_FLAG_DONT_VERIFY, nullptr, &programData);
    std::wstring path = SUCCEEDED(result) && programData ? programData : L"";
    ::CoTaskMemFree(programData);
    if (path.empty()) return {};
    if (path.back() != L'\\') path += L'\\';
    return path + kFolderName;
}

DWORD SaveFile(std::wstring_view what, std::wstring_view extension, std::span<const std::byte> bytes,
               std::wstring* saved) {
    if (bytes.size() > MAXDWORD) return ERROR_FILE_TOO_LARGE;
    const std::lock_guard lock(g_mutex);
    UniqueFile file;
    std::wstring path;
    if (const DWORD error = CreateNew(what, extension, GENERIC_WRITE | DELETE, 0, file, path)) return error;

    const FileWriter write = g_writer ? g_writer : &RealWrite;
    DWORD written = 0;
    DWORD error = 0;
    if (!write(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written)) {
        error = ::GetLastError();
        if (error == 0) error = ERROR_WRITE_FAULT;
    } else if (written != bytes.size()) {
        error = ERROR_HANDLE_DISK_FULL;
    } else if (!::FlushFileBuffers(file.get())) {
        error = ::GetLastError();
    }
    if (error) {
        DiscardOnClose(file.get());
        return error;
    }
    file.reset();
    if (saved) *saved = path;
    return 0;
}

DWORD CreateScratchFile(std::wstring_view what, UniqueFile& file) {
    const std::lock_guard lock(g_mutex);
    std::wstring path;
    return CreateNew(what, L".tmp", GENERIC_READ | GENERIC_WRITE | DELETE, FILE_FLAG_DELETE_ON_CLOSE, file, path);
}

DWORD PrepareFolder() {
    const std::lock_guard lock(g_mutex);
    return HoldFolder();
}

void ReleaseFolder() {
    const std::lock_guard lock(g_mutex);
    g_folder.reset();
}

FileWriter SetFileWriter(FileWriter writer) {
    const std::lock_guard lock(g_mutex);
    const FileWriter previous = g_writer;
    g_writer = writer;
    return previous;
}

}  // namespace lark::backup
