// The routines that read and write the system's HOSTS file.
//
// The file is one text in the system's ANSI code page; line ends pass through untouched both
// ways. Every routine builds the path anew from GetSystemDirectoryW + "\drivers\etc\hosts".
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "repair/results.h"

// Receives the file's text, NUL-terminated UTF-16.
using HostsTextSink = std::function<void(const wchar_t* text)>;

// The HOSTS path into a buffer of MAX_PATH characters. 0, or the error of GetSystemDirectoryW
// (ERROR_FILENAME_EXCED_RANGE when the folder leaves no room for the file name).
DWORD BuildHostsPath(wchar_t (&path)[MAX_PATH]);

// Reads the file (creating it empty when it is missing) and hands its text, up to the first NUL
// byte, to the sink. 0, kNoSink, kNoBuffers, or the Windows error of the failing call;
// on failure the sink is not called.
DWORD ReadHostsFile(const HostsTextSink& sink);

// The file's bytes as they are, read without changing anything: opened for reading only, shared
// with every other access, never created. 0; ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when
// there is no file; ERROR_FILE_TOO_LARGE for a file larger than ReadHostsFile takes; otherwise the
// Windows error of the failing call. On failure the bytes are left as they were.
DWORD ReadHostsBytes(std::string& bytes);

// The text ReadHostsFile hands over for these bytes: the bytes before the first NUL, converted
// from the ANSI code page.
std::wstring HostsText(std::string_view bytes);

// Replaces the file's contents with the text converted to the ANSI code page. The old file is kept
// byte for byte in the backup folder first ("HOSTS文件 保存 hosts.bak"; a missing file has nothing
// to keep). The bytes go to a temporary file in the HOSTS folder, which takes the old file's owner,
// group and DACL and then replaces the HOSTS file: on any failure, the backup's included, the old
// file stays whole. 0 or the Windows error of the failing call.
DWORD WriteHostsFile(const wchar_t* text, int length);

// Replaces the file's contents with the bytes given (the program's default text), unchanged, the
// same way as WriteHostsFile ("HOSTS文件 恢复默认 hosts.bak"). 0 or the Windows error of the failing call.
DWORD WriteDefaultHosts(std::span<const std::byte> bytes);
