// The boot sector of the first physical disk: read, check and reset its boot code.
// Every device operation goes through the disk seam below; tests install an in-memory disk.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <memory>
#include <span>

namespace lark::disk {

// One open of the disk. Destroying it closes the device, which also ends a lock.
class Device {
public:
    virtual ~Device() = default;
    virtual bool Lock() = 0;                                         // FSCTL_LOCK_VOLUME
    virtual bool GetGeometry(DISK_GEOMETRY& geometry) = 0;           // IOCTL_DISK_GET_DRIVE_GEOMETRY
    virtual bool Read(void* buffer, DWORD size, DWORD& done) = 0;    // at the position after opening
    virtual bool Write(const void* buffer, DWORD size, DWORD& done) = 0;
    virtual void Unlock() = 0;                                       // FSCTL_UNLOCK_VOLUME
};

class Disk {
public:
    virtual ~Disk() = default;
    // Opens the device for reading and writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<Device> Open() = 0;
};

// Installs the disk the routines below use; nullptr restores the real one ("\\.\PhysicalDrive0",
// read and write access, shared for reading and writing). Returns the disk installed before.
Disk* SetDisk(Disk* disk);

}  // namespace lark::disk

// A sector buffer: one zero-filled page. Sectors of 512 to 4096 bytes fit.
constexpr size_t kSectorBufferSize = 4096;
constexpr DWORD kMinSectorSize = 512;
constexpr DWORD kMaxSectorSize = 4096;
constexpr size_t kBootCodeSize = 440;    // bytes 440 to 511: disk signature, partition table, boot signature
constexpr size_t kBootBackupSize = 512;  // what the MBR.Bak backup holds

// Read or write one sector (the size the disk's geometry gives) at offset 0 of the disk, between a
// lock and an unlock of the device. `buffer` has kSectorBufferSize bytes. 1 when the whole sector
// was transferred; 0 when the device cannot be opened or locked, its geometry is unknown, its
// sector size is outside 512..4096 (nothing is transferred then) or the transfer fails or falls
// short.
int ReadBootSector(unsigned char* buffer);
int WriteBootSector(const unsigned char* buffer);

// 1 when the boot code is of an accepted kind, and also when the sector cannot be read;
// 0 when it is unknown.
int CheckMasterBootRecord();

// Saves the first 512 bytes of the sector to a new file "<time> 硬盘主引导记录 MBR.Bak" in the backup
// folder (backup/store.h: only administrators and the system can write there, and no file is ever
// overwritten, so each reset keeps the sector it found), then writes the standard boot code over
// bytes 0 to 439 and writes the sector back; the rest of the sector stays as read. 1 when the sector was written. 0, with the disk not
// written, when the sector cannot be read or the backup could not be written completely; 0 also
// when the write fails.
int ResetMasterBootRecord();

// The 440-byte boot code of the Windows 2000/XP master boot record, carried as the resource
// "STANDARD_BOOT_CODE"; empty when the program lacks it.
std::span<const unsigned char> StandardBootCode();
