// The seam for starting programs (regedit, netsh, regsvr32, Explorer, the updater, shell open).
// The program calls CreateProcessW and ShellExecuteW; tests install a Starter that records the
// exact request and either answers it or passes it through to the real call.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

namespace lark::process {

struct StartRequest {
    std::wstring application;  // CreateProcessW's application name; empty: none
    std::wstring commandLine;
    int showCommand = -1;      // SW_* when STARTF_USESHOWWINDOW is set, -1 for default start-up information
};

struct ShellRequest {
    HWND owner = nullptr;
    std::wstring verb, file, parameters, directory;
    int showCommand = SW_SHOWNORMAL;
};

class Starter {
public:
    virtual ~Starter() = default;
    // Returns true and a process handle (may be empty) when the start "succeeded".
    virtual bool Start(const StartRequest& request, UniqueHandle& process) = 0;
    // ShellExecuteW's result: above 32 for success.
    virtual INT_PTR Shell(const ShellRequest& request) = 0;
};

Starter* SetStarter(Starter* starter);

// CreateProcessW with no inherited handles and creation flags 0; the thread handle is closed at
// once, the process handle is handed to the caller. false: the process could not be created
// (GetLastError tells why).
bool Start(const StartRequest& request, UniqueHandle& process);
// ShellExecuteW; returns its result.
INT_PTR Shell(const ShellRequest& request);

// The real calls, for starters that pass requests through.
bool RealStart(const StartRequest& request, UniqueHandle& process);
INT_PTR RealShell(const ShellRequest& request);

// Paths of the system's own folders (no trailing backslash), empty when unavailable.
std::wstring WindowsDirectory();
std::wstring SystemDirectory();
// The folder of the running program, with its trailing backslash.
std::wstring ProgramDirectory();

}  // namespace lark::process
