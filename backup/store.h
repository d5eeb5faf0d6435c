// The backup folder and the files in it.
//
// Every backup goes into one folder, "<ProgramData>\LarkspurBackup", where it outlives the program's
// own folder (often a download folder, deleted after the cleaning). ProgramData is asked of the
// system, never taken from the environment, which the user's own programs can set. A user-level
// program may have created the folder first or put a link in its place, so the folder is made
// right before the first file goes in: a link (reparse point) or a file of that name is refused,
// and an owner or a DACL that lets anyone but Administrators and SYSTEM change it is replaced by
// owner Administrators and a protected DACL (SYSTEM and Administrators full control, Users read).
// The folder is then held open without delete sharing until the program ends, so that it cannot be
// renamed or replaced while files are written into it.
//
// Files are named "<local time to the millisecond> <what they undo><extension>", for example
// "2026-12-11 14-03-07.042 映像劫持 notepad.exe.reg", so that they sort by time (each later than
// the one before, also within one millisecond); a name that exists already is never overwritten.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "framework/handles.h"

namespace lark::backup {

// The folder's path, without a trailing backslash; empty when the system names no ProgramData.
std::wstring FolderPath();

// Creates the folder, or makes the one that is there right, and holds it from then on; the
// routines below do it themselves. 0, or the Windows error: the folder is a link or a file, cannot
// be created or opened, or its owner and DACL cannot be set.
DWORD PrepareFolder();

// Writes the bytes to a new file in the folder, completely, and flushes it. 0, or the Windows
// error of the step that failed (the folder cannot be made right or written to, the disk is full):
// then no file of it is left. `saved` gets the file's path on success.
DWORD SaveFile(std::wstring_view what, std::wstring_view extension, std::span<const std::byte> bytes,
               std::wstring* saved = nullptr);

// A new, empty file in the folder for the caller's own use: opened for reading and writing, shared
// with nobody, and deleted when it is closed. 0 or the Windows error.
DWORD CreateScratchFile(std::wstring_view what, UniqueFile& file);

// Lets go of the folder, so that the next backup makes it right anew (tests).
void ReleaseFolder();

// The seam for the bytes written to backup files: WriteFile in the program, a writer that fails as
// a full disk does in tests. Returns the writer installed before; nullptr restores WriteFile.
using FileWriter = BOOL (*)(HANDLE file, const void* bytes, DWORD count, DWORD* written);
FileWriter SetFileWriter(FileWriter writer);

}  // namespace lark::backup
