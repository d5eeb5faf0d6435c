#include "repair/file_type.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "backup/registry_backup.h"
#include "framework/handles.h"

namespace {

constexpr std::size_t kTextSize = 260;  // characters, terminator included
constexpr const wchar_t kClassesRootPrefix[] = L"HKEY_CLASSES_ROOT\\";
constexpr const wchar_t kSeparator[] = L"、";

// The command key's default value as stored, read into 260 characters; false when the key does
// not open or the value does not fit. The type is not looked at; the text always ends in a NUL.
struct OpenCommand {
    bool read = false;
    wchar_t value[kTextSize + 1] = {};
};

OpenCommand ReadOpenCommand(const wchar_t* commandKey) {
    OpenCommand command;
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, commandKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return command;
    }
    DWORD size = kTextSize * sizeof(wchar_t);
    command.read = ::RegQueryValueExW(key.get(), L"", nullptr, nullptr, reinterpret_cast<BYTE*>(command.value),
                                      &size) == ERROR_SUCCESS;
    return command;
}

// The value with a leading system folder replaced by its environment string, as it is compared.
bool MatchesExpected(const wchar_t* value, const wchar_t* expected) {
    wchar_t comparable[kTextSize] = {};
    if (::PathUnExpandEnvStringsW(value, comparable, kTextSize) != 1) ::lstrcpynW(comparable, value, kTextSize);
    comparable[kTextSize - 1] = L'\0';
    return ::StrCmpIW(comparable, expected) == 0;
}

}  // namespace

const FileAssociation FileAssociationTable[kFileAssociationCount] = {
    {L"batfile", L".bat", L"batfile\\shell\\open\\command", L"\"%1\" %*"},
    {L"cmdfile", L".cmd", L"cmdfile\\shell\\open\\command", L"\"%1\" %*"},
    {L"comfile", L".com", L"comfile\\shell\\open\\command", L"\"%1\" %*"},
    {L"exefile", L".exe", L"exefile\\shell\\open\\command", L"\"%1\" %*"},
    {L"scrfile", L".scr", L"scrfile\\shell\\open\\command", L"\"%1\" /S"},
    {L"txtfile", L".txt", L"txtfile\\shell\\open\\command", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1"},
    {L"piffile", L".pif", L"piffile\\shell\\open\\command", L"\"%1\" %*"},
    {L"regfile", L".reg", L"regfile\\shell\\open\\command", L"regedit.exe \"%1\""},
    {L"inffile", L".inf", L"inffile\\shell\\open\\command", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1"},
    {L"hlpfile", L".hlp", L"hlpfile\\shell\\open\\command", L"%SystemRoot%\\System32\\winhlp32.exe %1"},
    {L"chmfile", L".chm", L"chm.file\\shell\\open\\command", L"\"%SystemRoot%\\hh.exe\" %1"},
    {L"vbsfile", L".vbs", L"vbsfile\\shell\\open\\command", L"%SystemRoot%\\System32\\WScript.exe \"%1\" %*"},
    {L"jsfile", L".js", L"jsfile\\shell\\open\\command", L"%SystemRoot%\\System32\\WScript.exe \"%1\" %*"},
    {L"inifile", L".ini", L"inifile\\shell\\open\\command", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1"},
};

const wchar_t* AssociationStateText(int correct) { return correct ? L"正确" : L"错误"; }

int IsAssociationCorrect(const wchar_t* expected, const wchar_t* commandKey) {
    const OpenCommand command = ReadOpenCommand(commandKey);
    if (!command.read) return 1;
    return MatchesExpected(command.value, expected) ? 1 : 0;
}

int CheckFileAssociations(wchar_t* text, std::size_t capacity) {
    std::wstring found;
    int result = 1;
    for (const auto& entry : FileAssociationTable) {
        if (IsAssociationCorrect(entry.command, entry.commandKey) == 0) {
            found += entry.extension;
            found += kSeparator;
            result = 0;
        }
    }
    if (text && capacity > 0) {
        const std::size_t length = std::min(found.size(), capacity - 1);
        found.copy(text, length);
        text[length] = L'\0';
    }
    return result;
}

int WriteOpenCommand(const wchar_t* commandKey, const wchar_t* command) {
    const std::wstring fileClass(commandKey, std::wcscspn(commandKey, L"\\"));
    lark::backup::RegistryBackup backup(L"文件关联 " + fileClass);
    if (backup.ValueOfKeyToCreate(HKEY_CLASSES_ROOT, commandKey, nullptr).Save() != 0) return 0;
    lark::UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, commandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    const DWORD size = static_cast<DWORD>((::lstrlenW(command) + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(command), size) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return 1;
}

int RepairFileAssociation(const wchar_t* extension) {
    for (const auto& entry : FileAssociationTable) {
        if (::StrCmpIW(extension, entry.extension) == 0) return WriteOpenCommand(entry.commandKey, entry.command);
    }
    return 0;
}

DWORD ListFileAssociations(const AssociationSink& sink) {
    if (!sink) return kNoSink;
    for (const auto& entry : FileAssociationTable) {
        const OpenCommand command = ReadOpenCommand(entry.commandKey);
        if (!command.read) continue;
        const std::wstring keyPath = std::wstring(kClassesRootPrefix) + entry.commandKey;
        sink(entry.displayName, entry.extension, command.value, keyPath.c_str(),
             MatchesExpected(command.value, entry.command) ? 1 : 0);
    }
    return 0;
}
