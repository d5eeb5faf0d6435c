// The program's command line: no arguments start the window; "/report PATH" writes a report and
// ends without any window (exit code 0 nothing found, 1 something found, 2 no report written);
// anything else is wrong and ends with exit code 2 and a line on standard error.
#pragma once

#include <windows.h>

#include <string>

struct CommandLine {
    enum class Mode { Window, Report, Wrong };
    Mode mode = Mode::Window;
    std::wstring reportPath;  // Report: the file to write
    std::wstring error;       // Wrong: what is wrong, for standard error
};

// The arguments after the program's name, as CommandLineToArgvW splits them. The switch is
// "/report" or "-report", in any case.
CommandLine ParseCommandLine(const wchar_t* commandLine);

inline constexpr int kReportNothingFound = 0;
inline constexpr int kReportSomethingFound = 1;
inline constexpr int kReportNotWritten = 2;

// Loads the trust library, writes the report to the path (JSON for ".json", text otherwise),
// releases the library and returns the exit code; says on standard error why no report was written.
int RunReport(const std::wstring& path);

// One line on standard error: to the handle the program was given (UTF-8 to a file or pipe), or,
// when it has none, to the console of the program that started it; never a console of its own.
void WriteErrorLine(const std::wstring& text);
