#include "repair/host.h"

#include <aclapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "backup/store.h"
#include "framework/handles.h"

namespace {

constexpr wchar_t kHostsSuffix[] = L"\\drivers\\etc\\hosts";

// Larger files are refused: both read buffers and the conversion's int lengths must hold them.
constexpr DWORD kMaxHostsSize = INT_MAX / 2 - 4;

// Writes the bytes to a new file and flushes it. 0 or the Windows error.
DWORD WriteWholeFile(const wchar_t* path, const void* bytes, DWORD count) {
    lark::UniqueFile file(
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes, count, &written, nullptr)) return ::GetLastError();
    if (written != count) return ERROR_HANDLE_DISK_FULL;
    if (!::FlushFileBuffers(file.get())) return ::GetLastError();
    file.reset();
    return 0;
}

// The HOSTS file as it is: its bytes and its owner, group and DACL.
struct OldHosts {
    bool present = false;
    std::vector<std::byte> bytes;
    lark::UniqueLocal descriptor;
    PSID owner = nullptr, group = nullptr;
    PACL dacl = nullptr;
    bool protectedDacl = false;
};

DWORD ReadOldHosts(const wchar_t* path, OldHosts& old) {
    lark::UniqueFile file(::CreateFileW(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;  // nothing there to lose
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return ::GetLastError();
    if (size.QuadPart > kMaxHostsSize) return ERROR_FILE_TOO_LARGE;
    old.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!old.bytes.empty() && !::ReadFile(file.get(), old.bytes.data(), static_cast<DWORD>(old.bytes.size()), &read,
                                          nullptr)) {
        return ::GetLastError();
    }
    if (read != old.bytes.size()) return ERROR_READ_FAULT;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (const DWORD error = ::GetSecurityInfo(
            file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &old.owner, &old.group, &old.dacl, nullptr, &descriptor)) {
        return error;
    }
    old.descriptor.reset(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    old.protectedDacl = ::GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
    old.present = true;
    return 0;
}

// Replaces the HOSTS file with the bytes: the old file is kept in the backup folder first, byte for
// byte ("<what> hosts.bak"); a temporary file beside it takes the bytes and the old file's owner,
// group and DACL, and is then renamed over it, so that a failure at any step leaves the old file as
// it was.
DWORD ReplaceHostsFile(const void* bytes, DWORD count, const wchar_t* what) {
    wchar_t path[MAX_PATH] = {};
    if (const DWORD error = BuildHostsPath(path)) return error;
    OldHosts old;
    if (const DWORD error = ReadOldHosts(path, old)) return error;
    if (old.present) {
        if (const DWORD error = lark::backup::SaveFile(std::wstring(what) + L" hosts", L".bak", old.bytes)) return error;
    }
    wchar_t folder[MAX_PATH] = {};
    ::lstrcpynW(folder, path, MAX_PATH);
    ::PathRemoveFileSpecW(folder);
    wchar_t temporary[MAX_PATH] = {};
    if (!::GetTempFileNameW(folder, L"hst", 0, temporary)) return ::GetLastError();

    DWORD result = WriteWholeFile(temporary, bytes, count);
    if (result == 0 && old.present) {
        const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                          DACL_SECURITY_INFORMATION |
                                          (old.protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION
                                                             : UNPROTECTED_DACL_SECURITY_INFORMATION);
        result = ::SetNamedSecurityInfoW(temporary, SE_FILE_OBJECT, parts, old.owner, old.group, old.dacl, nullptr);
    }
    if (result == 0 && !::MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        result = ::GetLastError();
    }
    if (result != 0) ::DeleteFileW(temporary);
    return result;
}

}  // namespace

DWORD BuildHostsPath(wchar_t (&path)[MAX_PATH]) {
    path[0] = L'\0';
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0) {
        const DWORD error = ::GetLastError();
        return error ? error : ERROR_PATH_NOT_FOUND;
    }
    if (length + std::size(kHostsSuffix) > MAX_PATH) {
        path[0] = L'\0';
        return ERROR_FILENAME_EXCED_RANGE;
    }
    ::StrCatW(path, kHostsSuffix);
    return 0;
}

DWORD ReadHostsFile(const HostsTextSink& sink) {
    if (!sink) return kNoSink;
    wchar_t path[MAX_PATH] = {};
    if (const DWORD error = BuildHostsPath(path)) return error;

    // Opened for writing too: a file that another program holds without write sharing does not
    // open, and a missing one is created empty.
    lark::UniqueFile file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();

    DWORD high = 0;
    const DWORD size = ::GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE) {
        const DWORD error = ::GetLastError();
        if (error != NO_ERROR) return error;
    }
    if (high != 0 || size > kMaxHostsSize) return ERROR_FILE_TOO_LARGE;

    // Both buffers come zero-filled; the spare bytes guarantee a NUL after the file's bytes.
    const DWORD capacity = size + 4;
    lark::UniqueVirtualMemory bytes(::VirtualAlloc(nullptr, capacity, MEM_COMMIT, PAGE_READWRITE));
    lark::UniqueVirtualMemory wide(::VirtualAlloc(nullptr, capacity * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    if (!bytes || !wide) return kNoBuffers;

    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.get(), size, &read, nullptr)) return ::GetLastError();

    // Up to and including the first NUL byte: text after a NUL is not shown.
    ::MultiByteToWideChar(CP_ACP, 0, static_cast<const char*>(bytes.get()), -1, static_cast<wchar_t*>(wide.get()),
                          static_cast<int>(capacity));
    sink(static_cast<const wchar_t*>(wide.get()));
    return 0;
}

DWORD ReadHostsBytes(std::string& bytes) {
    wchar_t path[MAX_PATH] = {};
    if (const DWORD error = BuildHostsPath(path)) return error;
    lark::UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return ::GetLastError();
    if (size.QuadPart > kMaxHostsSize) return ERROR_FILE_TOO_LARGE;
    std::string read(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    // A file that shrinks meanwhile gives what is left of it.
    if (!read.empty() && !::ReadFile(file.get(), read.data(), static_cast<DWORD>(read.size()), &done, nullptr)) {
        return ::GetLastError();
    }
    read.resize(done);
    bytes = std::move(read);
    return 0;
}

std::wstring HostsText(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    if (bytes.empty()) return {};
    const int length = static_cast<int>(std::min<size_t>(bytes.size(), kMaxHostsSize));
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring text(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), needed);
    return text;
}

DWORD WriteHostsFile(const wchar_t* text, int length) {
    if (length < 0 || (length > 0 && !text)) return ERROR_INVALID_PARAMETER;
    int needed = 0;
    if (length > 0) {
        needed = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
        if (needed == 0) return ::GetLastError();
    }
    // One spare byte, so that an empty text has a buffer too.
    lark::UniqueVirtualMemory buffer(
        ::VirtualAlloc(nullptr, static_cast<SIZE_T>(needed) + 1, MEM_COMMIT, PAGE_READWRITE));
    if (!buffer) return ::GetLastError();
    int converted = 0;
    if (needed > 0) {
        converted = ::WideCharToMultiByte(CP_ACP, 0, text, length, static_cast<char*>(buffer.get()), needed, nullptr,
                                          nullptr);
        if (converted == 0) return ::GetLastError();
    }
    return ReplaceHostsFile(buffer.get(), static_cast<DWORD>(converted), L"HOSTS文件 保存");
}

DWORD WriteDefaultHosts(std::span<const std::byte> bytes) {
    return ReplaceHostsFile(bytes.data(), static_cast<DWORD>(bytes.size()), L"HOSTS文件 恢复默认");
}
