// The seam for starting programs (regedit, netsh, regsvr32, the updater) and for what the desktop's
// own shell is asked to do (open the product page, show a file in Explorer). The program makes the
// real calls; tests install a Starter that records the exact request and either answers it or
// passes it through to the real call.
//
// Larkspur runs elevated, and malware may already run as the user: nothing here lets what the user
// can write decide what runs. Programs are started by full path, never through ShellExecute (which
// follows the user's own class registrations); a document is opened by the desktop's shell, as the
// user; a file is shown through the shell's item lists, never through a command line.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

namespace lark::process {

// Whose rights a started program gets.
enum class Rights {
    Caller,       // ours: elevated
    DesktopUser,  // the desktop user's: the desktop shell's own token when it is not elevated, else
                  // ours restricted (administrators deny-only, every privilege but change-notify
                  // removed, medium integrity); never ours as they are
};

struct StartRequest {
    std::wstring application;  // CreateProcessW's application name, a full path; empty: none
    std::wstring commandLine;
    std::wstring directory;    // the program's current folder; empty: ours
    int showCommand = -1;      // SW_* when STARTF_USESHOWWINDOW is set, -1 for default start-up information
    Rights rights = Rights::Caller;
};

// A document for the desktop shell's ShellExecute (Shell.Application of the running desktop).
struct ShellRequest {
    std::wstring verb, file, parameters, directory;
    int showCommand = SW_SHOWNORMAL;
};

class Starter {
public:
    virtual ~Starter() = default;
    // Returns true and a process handle (may be empty) when the start "succeeded".
    virtual bool Start(const StartRequest& request, UniqueHandle& process) = 0;
    // True when the desktop's shell took the request.
    virtual bool Shell(const ShellRequest& request) = 0;
    // True when the shell took the file to show, selected, in its folder's window.
    virtual bool Select(const std::wstring& path) = 0;
};

Starter* SetStarter(Starter* starter);

// CreateProcessW (CreateProcessAsUserW for a restricted token) with no inherited handles; the
// thread handle is closed at once, the process handle is handed to the caller. false: the process
// could not be created, or the rights asked for could not be had (GetLastError tells why); then
// nothing was started.
bool Start(const StartRequest& request, UniqueHandle& process);
// The desktop shell's ShellExecute, reached through the shell windows of the running desktop, so
// that what it starts runs as the desktop's user and not as us. false when no desktop shell
// answered: then nothing was opened.
bool Shell(const ShellRequest& request);
// Opens the folder of the path in an Explorer window with that item selected (an item list made
// from the path, SHOpenFolderAndSelectItems). false when the path gave no item list or the shell
// refused it.
bool Select(const std::wstring& path);

// The real calls, for starters that pass requests through.
bool RealStart(const StartRequest& request, UniqueHandle& process);
bool RealShell(const ShellRequest& request);
bool RealSelect(const std::wstring& path);

// Paths of the system's own folders (no trailing backslash), empty when unavailable.
std::wstring WindowsDirectory();
std::wstring SystemDirectory();
// The folder of the running program, with its trailing backslash.
std::wstring ProgramDirectory();

}  // namespace lark::process
