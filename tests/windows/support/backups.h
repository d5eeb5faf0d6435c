// The backup folder for tests: its files, importing them again with the registry editor, exact
// snapshots of registry trees to compare before and after, and the two ways a backup cannot be
// written (a full disk, a read-only folder).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace test {

// The names of the files in the backup folder, sorted (which is their order in time).
std::vector<std::wstring> BackupFiles();
std::wstring BackupPath(const std::wstring& name);
std::vector<unsigned char> ReadBytes(const std::wstring& path);

// The backups written while it lives: names sorted, oldest first.
class BackupWatch {
public:
    BackupWatch();
    std::vector<std::wstring> Added() const;

private:
    std::vector<std::wstring> before_;
};

// Imports the files with the system's registry editor ("regedit /s"), newest first, as a user
// undoing changes would. true when every import ran and ended with exit code 0.
bool ImportNewestFirst(const std::vector<std::wstring>& names);

// A registry tree exactly as it is: every key below root\path (links not followed, shown as the
// link keys they are) with every value's type and bytes.
struct SnapshotValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const SnapshotValue&) const = default;
};
using Snapshot = std::map<std::wstring, std::map<std::wstring, SnapshotValue>>;
Snapshot TakeSnapshot(HKEY root, const std::wstring& path, REGSAM view = 0);
// The first key or value in which they differ, for failure messages; empty when they are equal.
std::string FirstDifference(const Snapshot& expected, const Snapshot& actual);

// While it lives, backup files cannot be written whole: the file writer puts half the bytes down
// and fails with ERROR_DISK_FULL, as a full disk does.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

// While it lives, nothing can be created in the backup folder: the Unix folder under the prefix is
// made immutable (chattr +i, as root) or read-only (chmod, as another user); Wine has no ACLs to do
// it with. The folder is made first. `available()` is false where neither works (and then the
// folder is left as it was).
class ReadOnlyBackupFolder {
public:
    ReadOnlyBackupFolder();
    ~ReadOnlyBackupFolder();
    ReadOnlyBackupFolder(const ReadOnlyBackupFolder&) = delete;
    ReadOnlyBackupFolder& operator=(const ReadOnlyBackupFolder&) = delete;
    bool available() const { return available_; }

private:
    std::string unixPath_;
    bool available_ = false;
};

// Runs a Unix command line (no double quotes) through /bin/sh and waits for it; its exit status, or
// -1 when it could not be run.
int RunUnix(const std::string& command);
// The Unix path of a Windows path (Wine's own conversion); empty when there is none.
std::string UnixPath(const std::wstring& path);

}  // namespace test
