#include "support/files.h"

#include <windows.h>

#include "framework/handles.h"

namespace test {

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD put = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
           put == bytes.size();
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    const std::wstring pattern = folder + (!folder.empty() && folder.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW found{};
    lark::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &found));
    if (!find) return {L"(no folder)"};
    std::vector<std::wstring> names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find.get(), &found));
    return names;
}

}  // namespace test
