// An in-memory first disk for the boot-sector routines, with failures to inject, and a scoped
// current directory for the ".\MBR.Bak" backup.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "repair/boot_sector.h"

namespace test {

// Installed while it lives, so that no test reaches a real disk. Disks nest: the last one made
// must be the first one to end.
class MemoryDisk : public lark::disk::Disk {
public:
    explicit MemoryDisk(DWORD sectorSize = 512);  // a zero sector of that size
    ~MemoryDisk() override;
    MemoryDisk(const MemoryDisk&) = delete;
    MemoryDisk& operator=(const MemoryDisk&) = delete;

    std::vector<unsigned char> sector;  // the first sector, as a read returns it
    DWORD reportedSectorSize;           // bytes per sector in the geometry
    DWORD reportedSectorSizeAfterRead = 0;  // when non-zero: the geometry's size once a read was made
    bool failOpen = false, failLock = false, failGeometry = false, failRead = false, failWrite = false;
    DWORD shortRead = 0, shortWrite = 0;  // transfers that end this many bytes early, reporting success

    // Every device operation so far, e.g. "open lock geometry read:512 unlock close".
    std::string Calls() const;
    int Writes() const { return writes_; }

    std::unique_ptr<lark::disk::Device> Open() override;

private:
    class Device;
    std::vector<std::string> calls_;
    int writes_ = 0;
    bool readDone_ = false;
    lark::disk::Disk* previous_;
};

// Makes a fresh, empty folder the current directory, and puts the old one back afterwards.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::wstring& name);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;
    const std::wstring& path() const { return path_; }  // with a trailing backslash
    // The bytes of a file in it; nothing when it cannot be read.
    std::vector<unsigned char> Read(const std::wstring& name) const;
    bool Exists(const std::wstring& name) const;

private:
    std::wstring previous_, path_;
};

}  // namespace test
