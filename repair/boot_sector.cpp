#include "repair/boot_sector.h"

#include <cstring>

#include "backup/store.h"
#include "framework/handles.h"
#include "framework/resources.h"
#include "framework/wnd.h"
#include "repair/boot_code.h"

namespace lark::disk {

namespace {

class PhysicalDevice : public Device {
public:
    explicit PhysicalDevice(UniqueFile file) : file_(std::move(file)) {}
    bool Lock() override { return Control(FSCTL_LOCK_VOLUME, nullptr, 0); }
    bool GetGeometry(DISK_GEOMETRY& geometry) override {
        return Control(IOCTL_DISK_GET_DRIVE_GEOMETRY, &geometry, sizeof(geometry));
    }
    bool Read(void* buffer, DWORD size, DWORD& done) override {
        return ::ReadFile(file_.get(), buffer, size, &done, nullptr) != FALSE;
    }
    bool Write(const void* buffer, DWORD size, DWORD& done) override {
        return ::WriteFile(file_.get(), buffer, size, &done, nullptr) != FALSE;
    }
    void Unlock() override { Control(FSCTL_UNLOCK_VOLUME, nullptr, 0); }

private:
    bool Control(DWORD code, void* out, DWORD outSize) {
        DWORD returned = 0;
        return ::DeviceIoControl(file_.get(), code, nullptr, 0, out, outSize, &returned, nullptr) != FALSE &&
               returned == outSize;
    }
    UniqueFile file_;
};

class PhysicalDisk : public Disk {
public:
    std::unique_ptr<Device> Open() override {
        UniqueFile file(::CreateFileW(L"\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return nullptr;
        return std::make_unique<PhysicalDevice>(std::move(file));
    }
};

PhysicalDisk g_physicalDisk;
Disk* g_disk = nullptr;

Disk& CurrentDisk() { return g_disk ? *g_disk : g_physicalDisk; }

}  // namespace

Disk* SetDisk(Disk* disk) {
    Disk* previous = g_disk;
    g_disk = disk;
    return previous;
}

}  // namespace lark::disk

namespace {

// One locked transfer of a whole sector; the device is closed on every path.
// sectorSize: in, the size the transfer must have (0: any); out, the size transferred.
int TransferBootSector(unsigned char* readInto, const unsigned char* writeFrom, DWORD* sectorSize = nullptr) {
    std::unique_ptr<lark::disk::Device> device = lark::disk::CurrentDisk().Open();
    if (!device) return 0;
    DISK_GEOMETRY geometry{};
    if (!device->Lock() || !device->GetGeometry(geometry)) return 0;
    const DWORD size = geometry.BytesPerSector;
    if (sectorSize && *sectorSize != 0 && *sectorSize != size) return 0;  // not the sector that was read
    if (size < kMinSectorSize || size > kMaxSectorSize) return 0;  // would not fit the buffer or the layout
    DWORD done = 0;
    const bool transferred = readInto ? device->Read(readInto, size, done) : device->Write(writeFrom, size, done);
    if (!transferred || done != size) return 0;
    device->Unlock();
    if (sectorSize) *sectorSize = size;
    return 1;
}

lark::UniqueVirtualMemory NewSectorBuffer() {
    return lark::UniqueVirtualMemory(
        ::VirtualAlloc(nullptr, kSectorBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));  // zero-filled
}

// The first 512 bytes of the sector into a new file "<time> 硬盘主引导记录 MBR.Bak" in the backup
// folder, complete and flushed, or false.
bool WriteBackup(const unsigned char* sector) {
    const auto bytes = std::as_bytes(std::span(sector, kBootBackupSize));
    return lark::backup::SaveFile(L"硬盘主引导记录 MBR", L".Bak", bytes) == 0;
}

}  // namespace

int ReadBootSector(unsigned char* buffer) { return TransferBootSector(buffer, nullptr); }

int WriteBootSector(const unsigned char* buffer) { return TransferBootSector(nullptr, buffer); }

int CheckMasterBootRecord() {
    lark::UniqueVirtualMemory buffer = NewSectorBuffer();
    if (!buffer) return 1;
    auto* sector = static_cast<unsigned char*>(buffer.get());
    if (!ReadBootSector(sector)) return 1;  // an unreadable sector is no finding
    return IsAcceptedBootCode(sector, kSectorBufferSize) ? 1 : 0;
}

int ResetMasterBootRecord() {
    const std::span<const unsigned char> code = StandardBootCode();
    if (code.size() != kBootCodeSize) return 0;
    lark::UniqueVirtualMemory buffer = NewSectorBuffer();
    if (!buffer) return 0;
    auto* sector = static_cast<unsigned char*>(buffer.get());
    DWORD sectorSize = 0;
    if (!TransferBootSector(sector, nullptr, &sectorSize)) return 0;
    // Without a complete backup the sector is not touched: it could not be put back.
    if (!WriteBackup(sector)) return 0;
    std::memcpy(sector, code.data(), kBootCodeSize);
    // Written back only at the size it was read: a device that now reported another sector size
    // would get zeros past what was read, or only part of the sector.
    return TransferBootSector(nullptr, sector, &sectorSize);
}

std::span<const unsigned char> StandardBootCode() {
    const auto bytes = lark::ResourceBytes(lark::ResourceInstance(), L"STANDARD_BOOT_CODE", RT_RCDATA);
    if (!bytes || bytes->size() != kBootCodeSize) return {};
    return {reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size()};
}
