// The policy values that the fast check inspects and the other-repairs page deletes.
#pragma once

#include <windows.h>

// Value under HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\System.
// 1: the function the value governs is allowed (also when the key or the value cannot be read,
// or the data is longer than 4 bytes); 0: disabled (the data is the number 1 or begins with '1').
int CheckPolicyValue(const wchar_t* valueName);
// 1 when the value was deleted or was not there; 0 when the key cannot be opened, the backup of the
// value ("系统策略 <name>") cannot be written (nothing is deleted then) or the delete fails.
int DeletePolicyValue(const wchar_t* valueName);
