#include <windows.h>

#include "app/command_line.h"
#include "app/larkspur_app.h"
#include "framework/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Elevated: never load a DLL from the program's or the current folder by accident.
    lark::RestrictDllSearchToSystemFolder();
    const CommandLine commandLine = ParseCommandLine(::GetCommandLineW());
    switch (commandLine.mode) {
    case CommandLine::Mode::Report: return RunReport(commandLine.reportPath);
    case CommandLine::Mode::Wrong: WriteErrorLine(commandLine.error); return kReportNotWritten;
    case CommandLine::Mode::Window: break;
    }
    CLarkspurApp app;
    return app.Run();
}
