// Safe Mode: whether the driver lists under the SafeBoot key are there, and restoring the whole key
// from the hive image the program carries for the running Windows release.
#pragma once

#include <windows.h>

// 1 when HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SafeBoot\Minimal and ...\Network both
// open and both have at least one subkey; 0 (Safe Mode damaged) otherwise.
int CheckSafeBoot();

// The "SAFEBOOT" resource for a Windows version: 5.0, 5.1, 5.2 give 144, 145, 146; any other major
// version gives 147 for minor 0 and 148 for minor 1. 0 for every other version.
UINT SafeBootResourceFor(DWORD major, DWORD minor);

// Restores the hive for the version GetVersionExW reports. 1 when restored; 0 when the version is
// unknown or outside the table (nothing is touched then) or the restore fails.
int RestoreSafeBoot();
// The same for a given version.
int RestoreSafeBootForVersion(DWORD major, DWORD minor);

// Writes the "SAFEBOOT" resource `resourceId` to the file "SafeBoot" in the temporary folder
// (deleting any old file of that name first; the file stays afterwards) and restores it over the
// SafeBoot key (created when missing) with REG_FORCE_RESTORE. 1 when the restore succeeded.
// 0 when the path does not fit 260 characters, the file cannot be created or written completely,
// the key cannot be created or opened, the restore fails, or the resource is missing or empty (its
// temporary file is then left empty and nothing is restored).
int RestoreSafeBootHive(UINT resourceId);
