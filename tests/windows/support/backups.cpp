#include "support/backups.h"

#include <algorithm>
#include <cstdlib>

#include "backup/store.h"
#include "framework/handles.h"
#include "framework/process.h"
#include "support/files.h"

namespace test {

std::vector<std::wstring> BackupFiles() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    lark::UniqueFindHandle listing(::FindFirstFileW((lark::backup::FolderPath() + L"\\*").c_str(), &entry));
    if (!listing) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
    } while (::FindNextFileW(listing.get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring BackupPath(const std::wstring& name) { return lark::backup::FolderPath() + L"\\" + name; }

std::vector<unsigned char> ReadBytes(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path).value_or(std::string());
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

BackupWatch::BackupWatch() : before_(BackupFiles()) {}

std::vector<std::wstring> BackupWatch::Added() const {
    std::vector<std::wstring> added;
    for (const auto& name : BackupFiles()) {
        if (!std::binary_search(before_.begin(), before_.end(), name)) added.push_back(name);
    }
    return added;
}

bool ImportNewestFirst(const std::vector<std::wstring>& names) {
    std::vector<std::wstring> newestFirst = names;
    std::sort(newestFirst.rbegin(), newestFirst.rend());
    for (const auto& name : newestFirst) {
        const std::wstring regedit = lark::process::WindowsDirectory() + L"\\regedit.exe";
        std::wstring commandLine = L"regedit.exe /s \"" + BackupPath(name) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(regedit.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process)) {
            return false;
        }
        lark::UniqueHandle hold(process.hProcess), thread(process.hThread);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 1;
        if (!::GetExitCodeProcess(process.hProcess, &code) || code != 0) return false;
    }
    return true;
}

namespace {

void Walk(HKEY key, const std::wstring& path, Snapshot& snapshot) {
    auto& values = snapshot[path];
    DWORD subkeys = 0, maxSubkey = 0, count = 0, maxName = 0, maxData = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &count, &maxName, &maxData,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        values[L"<unreadable>"] = {};
        return;
    }
    std::vector<wchar_t> name(maxName + 2);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
        if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
            break;
        }
        values[std::wstring(name.data(), nameLength)] = {type, std::vector<BYTE>(data.begin(), data.begin() + size)};
    }
    std::vector<wchar_t> child(maxSubkey + 2);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD length = static_cast<DWORD>(child.size());
        if (::RegEnumKeyExW(key, i, child.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring childName(child.data(), length);
        lark::UniqueRegKey sub;
        if (::RegOpenKeyExW(key, childName.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, sub.put()) != ERROR_SUCCESS) {
            snapshot[path + L"\\" + childName][L"<unopenable>"] = {};
            continue;
        }
        Walk(sub.get(), path + L"\\" + childName, snapshot);
    }
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

Snapshot TakeSnapshot(HKEY root, const std::wstring& path, REGSAM view) {
    Snapshot snapshot;
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS) {
        Walk(key.get(), path, snapshot);
    }
    return snapshot;
}

std::string FirstDifference(const Snapshot& expected, const Snapshot& actual) {
    for (const auto& [path, values] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end()) return "key missing: " + Narrow(path);
        for (const auto& [name, value] : values) {
            const auto other = found->second.find(name);
            if (other == found->second.end()) return "value missing: " + Narrow(path) + " / " + Narrow(name);
            if (!(other->second == value)) return "value differs: " + Narrow(path) + " / " + Narrow(name);
        }
        for (const auto& [name, value] : found->second) {
            if (!values.count(name)) return "value added: " + Narrow(path) + " / " + Narrow(name);
        }
    }
    for (const auto& [path, values] : actual) {
        if (!expected.count(path)) return "key added: " + Narrow(path);
    }
    return {};
}

namespace {

BOOL WINAPI HalfAndFull(HANDLE file, const void* bytes, DWORD count, DWORD* written) {
    ::WriteFile(file, bytes, count / 2, written, nullptr);
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

}  // namespace

FullDisk::FullDisk() { lark::backup::SetFileWriter(&HalfAndFull); }
FullDisk::~FullDisk() { lark::backup::SetFileWriter(nullptr); }

// Wine does not pass a Unix program's exit status on, nor wait for its end: the shell writes the
// status to a file, whole (written aside, then renamed), and that file is waited for.
int RunUnix(const std::string& command) {
    if (command.find('"') != std::string::npos) return -1;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring status = std::wstring(temp) + L"unix-status.txt";
    ::DeleteFileW(status.c_str());
    const std::string statusPath = UnixPath(status);
    if (statusPath.empty()) return -1;
    const std::string script = "( " + command + " ) >/dev/null 2>&1; echo $? > '" + statusPath + ".part' && mv '" +
                               statusPath + ".part' '" + statusPath + "'";
    std::wstring commandLine = L"/bin/sh -c \"";
    for (const char c : script) commandLine += static_cast<wchar_t>(static_cast<unsigned char>(c));
    commandLine += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return -1;
    }
    lark::UniqueHandle hold(process.hProcess), thread(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    std::vector<unsigned char> bytes;
    for (int waited = 0; waited < 1000 && bytes.empty(); ++waited) {
        bytes = ReadBytes(status);
        if (bytes.empty()) ::Sleep(10);
    }
    ::DeleteFileW(status.c_str());
    if (bytes.empty()) return -1;
    return std::atoi(std::string(bytes.begin(), bytes.end()).c_str());
}

std::string UnixPath(const std::wstring& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert =
        reinterpret_cast<Convert>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!convert) return {};
    char* unix = convert(path.c_str());
    if (!unix) return {};
    std::string result = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

namespace {

bool CanCreateIn(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\writable.probe";
    HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    ::DeleteFileW(probe.c_str());
    return true;
}

}  // namespace

ReadOnlyBackupFolder::ReadOnlyBackupFolder() {
    // The folder as the program makes it, held by the program from then on.
    if (lark::backup::PrepareFolder() != 0) return;
    const std::wstring folder = lark::backup::FolderPath();
    unixPath_ = UnixPath(folder);
    if (unixPath_.empty() || unixPath_.find('\'') != std::string::npos) return;
    for (const char* command : {"chattr +i '", "chmod a-w '"}) {
        if (RunUnix(command + unixPath_ + "'") == 0 && !CanCreateIn(folder)) {
            available_ = true;
            return;
        }
    }
    RunUnix("chattr -i '" + unixPath_ + "'; chmod u+w '" + unixPath_ + "'");
}

ReadOnlyBackupFolder::~ReadOnlyBackupFolder() {
    if (available_) RunUnix("chattr -i '" + unixPath_ + "'; chmod u+w '" + unixPath_ + "'");
}

}  // namespace test
