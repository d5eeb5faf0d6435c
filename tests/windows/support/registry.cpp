#include "support/registry.h"

#include <algorithm>

#include "framework/handles.h"

namespace test {

std::wstring RegValue::Text() const {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    const size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? text : text.substr(0, nul);
}

DWORD RegValue::Dword() const {
    DWORD value = 0;
    std::copy_n(data.begin(), std::min<size_t>(data.size(), sizeof(value)), reinterpret_cast<BYTE*>(&value));
    return value;
}

LONG CreateKey(HKEY root, const std::wstring& path, REGSAM view) {
    lark::UniqueRegKey key;
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr);
}

LONG SetBinary(HKEY root, const std::wstring& path, const wchar_t* name, const void* data, DWORD size, DWORD type,
               REGSAM view) {
    lark::UniqueRegKey key;
    LONG error =
        ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr);
    if (error != ERROR_SUCCESS) return error;
    return ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

LONG SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value, DWORD type,
               REGSAM view) {
    return SetBinary(root, path, name, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), type,
                     view);
}

LONG SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value, REGSAM view) {
    return SetBinary(root, path, name, &value, sizeof(value), REG_DWORD, view);
}

std::optional<RegValue> GetValue(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    RegValue value;
    value.type = type;
    value.data.resize(size);
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    lark::UniqueRegKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
    if (view == 0) {
        ::RegDeleteTreeW(root, path.c_str());
        return;
    }
    // RegDeleteTreeW takes no view: what lies below goes through a key opened in the view.
    {
        lark::UniqueRegKey key;
        if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS) return;
        ::RegDeleteTreeW(key.get(), nullptr);
    }
    ::RegDeleteKeyExW(root, path.c_str(), view, 0);
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path, REGSAM view) {
    std::vector<std::wstring> names;
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[260];
        DWORD length = 260;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void AppendSnapshot(HKEY parent, const std::wstring& name, const std::wstring& path, std::vector<std::wstring>& lines) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(parent, name.empty() ? nullptr : name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        lines.push_back(path + L" (unreadable)");
        return;
    }
    lines.push_back(path);
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[16384];
        DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
        LONG error = ::RegEnumValueW(key.get(), i, valueName, &nameLength, nullptr, &type, data.data(), &size);
        if (error == ERROR_MORE_DATA) {
            data.resize(size);
            nameLength = 16384;
            error = ::RegEnumValueW(key.get(), i, valueName, &nameLength, nullptr, &type, data.data(), &size);
        }
        if (error != ERROR_SUCCESS) break;
        std::wstring line = path + L"|" + std::wstring(valueName, nameLength) + L"|" + std::to_wstring(type) + L"|";
        for (DWORD b = 0; b < size; ++b) {
            line += kHex[data[b] >> 4];
            line += kHex[data[b] & 15];
        }
        lines.push_back(std::move(line));
    }
    for (DWORD i = 0;; ++i) {
        wchar_t child[512];
        DWORD length = 512;
        if (::RegEnumKeyExW(key.get(), i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring childName(child, length);
        AppendSnapshot(key.get(), childName, path + L"\\" + childName, lines);
    }
}

}  // namespace

std::vector<std::wstring> RegistrySnapshot(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> lines;
    AppendSnapshot(root, path, path, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

ScopedKeys::ScopedKeys(HKEY root, std::vector<std::wstring> paths, REGSAM view)
    : root_(root), paths_(std::move(paths)), view_(view) {
    for (const auto& path : paths_) DeleteTree(root_, path, view_);
}

ScopedKeys::~ScopedKeys() {
    for (const auto& path : paths_) DeleteTree(root_, path, view_);
}

}  // namespace test
