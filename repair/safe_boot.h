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

// Restores the "SAFEBOOT" resource `resourceId` over the SafeBoot key (created when missing) with
// REG_FORCE_RESTORE, after a backup of the whole key ("安全模式 SafeBoot"). The hive image is
// written to a new file in the backup folder (store.h), held open and shared with nobody, and
// restored from that handle (NtRestoreKey), so that no other program can change it in between;
// the file is deleted afterwards. 1 when the restore succeeded. 0 when the resource is missing or
// empty, the backup or the hive file cannot be written completely, the key cannot be created or
// opened, or the restore fails; nothing is restored then.
int RestoreSafeBootHive(UINT resourceId);
