// The one-click repairs of the other-repairs page that are routines of their own: the Explorer
// options for hidden files and extensions, the browser options, the taskbar menu, and the
// attributes of hidden folders.
#pragma once

#include <windows.h>

#include <string>

// The value routines write REG_DWORD values into keys that must exist already: every key is
// opened with full access for one value and closed after it, never created. Each first writes a
// backup of the values it is about to write ("其它选项 <its check box>"); when that cannot be written
// nothing is written and the result is 0. Otherwise each returns 1 when the row it answers for
// was written, 0 otherwise; the other rows do not change the result.
// HKLM ...\Folder\HideFileExt: CheckedValue 1, DefaultValue 1. Answers for DefaultValue.
int RepairFileExtensionOption();
// HKLM ...\Folder\Hidden\NOHIDDEN: CheckedValue 2, DefaultValue 2; ...\Hidden\SHOWALL: CheckedValue 1,
// DefaultValue 2. Answers for SHOWALL DefaultValue.
int RepairHiddenFilesOption();
// HKCU ...\Internet Explorer\Restrictions: NoBrowserOptions 0.
int EnableBrowserOptions();
// HKCU ...\Policies\Explorer: NoTrayContextMenu 0.
int EnableTrayContextMenu();

// The listing pattern for a folder: the path, one backslash, "*.*". Empty when the path is empty
// or the pattern would not fit in 260 characters with its terminator.
std::wstring HiddenFolderPattern(const wchar_t* folder);
// Sets every hidden entry directly inside the folder (files and folders, one level, not "." and
// "..") to FILE_ATTRIBUTE_NORMAL. 1 when at least one entry was changed; 0 when none was, or the
// folder cannot be listed.
int RestoreHiddenFolders(const wchar_t* folder);
