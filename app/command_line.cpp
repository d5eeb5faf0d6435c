#include "app/command_line.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <new>
#include <vector>

#include "framework/handles.h"
#include "report/report_file.h"
#include "report/report_format.h"
#include "repair/trust_library.h"

namespace {

constexpr wchar_t kUsage[] = L" (usage: Larkspur.exe /report PATH)";

bool IsReportSwitch(const wchar_t* argument) {
    return ::StrCmpIW(argument, L"/report") == 0 || ::StrCmpIW(argument, L"-report") == 0;
}

// The system's text for an error, on one line.
std::wstring ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    lark::UniqueLocal owner(text);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
    for (wchar_t& c : message) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    while (!message.empty() && message.back() == L' ') message.pop_back();
    return message;
}

// A console takes the text as it is; a file or a pipe takes UTF-8.
bool WriteTo(HANDLE handle, const std::wstring& line) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        return ::WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != FALSE;
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) return false;
    std::vector<char> bytes(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr,
                          nullptr);
    return ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
}

}  // namespace

CommandLine ParseCommandLine(const wchar_t* commandLine) {
    CommandLine result;
    if (!commandLine || !*commandLine) return result;
    int count = 0;
    lark::UniqueLocal arguments(::CommandLineToArgvW(commandLine, &count));
    wchar_t** argv = static_cast<wchar_t**>(arguments.get());
    if (!argv || count <= 1) return result;
    result.mode = CommandLine::Mode::Wrong;
    if (!IsReportSwitch(argv[1])) {
        const bool isSwitch = argv[1][0] == L'/' || argv[1][0] == L'-';
        result.error = std::wstring(isSwitch ? L"unknown switch: " : L"unexpected argument: ") + argv[1] + kUsage;
    } else if (count < 3 || argv[2][0] == L'\0') {
        result.error = std::wstring(L"missing argument: ") + argv[1] + L" needs the path of the report file" + kUsage;
    } else if (count > 3) {
        result.error = std::wstring(L"unexpected argument: ") + argv[3] + kUsage;
    } else {
        result.mode = CommandLine::Mode::Report;
        result.reportPath = argv[2];
    }
    return result;
}

int RunReport(const std::wstring& path) {
    DWORD error = 0;
    bool found = false;
    LoadTrustLibrary();  // without it the signatures show as not verifiable
    try {
        error = report::SaveReport(path.c_str(), report::FormatOfPath(path.c_str()), found);
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    UnloadTrustLibrary();
    if (error != 0) {
        WriteErrorLine(L"cannot write the report to " + path + L": " + ErrorText(error) + L" (error " +
                       report::DecimalText(error) + L")");
        return kReportNotWritten;
    }
    return found ? kReportSomethingFound : kReportNothingFound;
}

void WriteErrorLine(const std::wstring& text) {
    const std::wstring line = L"Larkspur: " + text + L"\r\n";
    if (WriteTo(::GetStdHandle(STD_ERROR_HANDLE), line)) return;
    // Started from a console without redirection: a GUI program has no handles of its own, but may
    // write to its parent's console. Attaching makes no window; a console of our own would.
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    lark::UniqueFile console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    WriteTo(console.get(), line);
    console.reset();
    ::FreeConsole();
}
