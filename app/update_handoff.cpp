#include "app/update_handoff.h"

#include <cstdlib>
#include <cwchar>
#include <iterator>

#include "framework/handles.h"
#include "framework/process.h"
#include "pages/fast_check_dialog.h"

namespace {

constexpr size_t kCommandLineSize = 260;
constexpr wchar_t kUpdaterCommand[] = L"Tolvane.exe K00000031 v1.6 ";
constexpr wchar_t kUpdaterFile[] = L"Tolvane.exe";
constexpr wchar_t kProductPage[] = L"http:\\\\" LARKSPUR_PRODUCT_HOST L"\\K00000031";

constexpr DWORD kNewerVersion = 100;
constexpr DWORD kUserWantsUpdate = 101;

DWORD g_updaterExitCode = 0;

}  // namespace

DWORD UpdaterExitCode() { return g_updaterExitCode; }

int RunUpdater() {
    wchar_t modulePath[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    // A truncated path would name the wrong file.
    if (length == 0 || length >= MAX_PATH) return 0;

    wchar_t drive[3] = {}, directory[256] = {}, name[256] = {}, extension[256] = {};
    if (_wsplitpath_s(modulePath, drive, std::size(drive), directory, std::size(directory), name, std::size(name),
                      extension, std::size(extension)) != 0) {
        return 0;
    }

    // The name is quoted, so that a name with blanks ("Larkspur (1).exe", as browsers name a second
    // download) stays one argument. The fixed text and the quotes leave 230 characters for the
    // name and extension; a longer one would be cut and the updater would checksum another file.
    wchar_t commandLine[kCommandLineSize] = {};
    if (wcslen(kUpdaterCommand) + wcslen(name) + wcslen(extension) + 2 >= kCommandLineSize) return 0;
    wcscpy_s(commandLine, kUpdaterCommand);
    wcscat_s(commandLine, L"\"");
    wcscat_s(commandLine, name);
    wcscat_s(commandLine, extension);
    wcscat_s(commandLine, L"\"");

    // Elevated: run the updater from our own folder only, never one found in the current folder
    // or on the search path, and with the desktop user's rights, never ours: it needs none, and
    // our folder is often a download folder the user can write to.
    const std::wstring folder = lark::process::ProgramDirectory();
    if (folder.empty()) return 0;
    lark::process::StartRequest request;
    request.application = folder + kUpdaterFile;
    request.commandLine = commandLine;
    request.rights = lark::process::Rights::DesktopUser;
    const DWORD attributes = ::GetFileAttributesW(request.application.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;

    lark::UniqueHandle process;
    if (!lark::process::Start(request, process) || !process) return 0;
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.get(), &exitCode)) return 0;
    g_updaterExitCode = exitCode;
    return 1;
}

DWORD WINAPI UpdateHandOffThread(LPVOID parameter) try {
    auto* page = static_cast<CFastCheckDialog*>(parameter);
    if (!RunUpdater()) return 0;
    const DWORD exitCode = UpdaterExitCode();
    if (exitCode == kNewerVersion) {
        page->StartUpdateNotice();
    } else if (exitCode == kUserWantsUpdate) {
        // Opened by the desktop's shell, so that the browser runs as the user; when no desktop
        // shell answers, nothing is opened.
        lark::process::ShellRequest request;
        request.verb = L"open";
        request.file = kProductPage;
        request.showCommand = SW_SHOW;
        lark::process::Shell(request);
    }
    return 0;
} catch (...) {
    return 0;  // out of memory while building the request: no hand-off, nothing else affected
}
