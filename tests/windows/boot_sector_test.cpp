// The boot-sector routines on an in-memory disk: which boot codes are accepted, the reset with its
// backup in the backup folder, sectors of 512 and 4096 bytes, and every failure touching neither
// backup nor disk.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "repair/boot_sector.h"
#include "support/backups.h"
#include "support/memory_disk.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Repeatable bytes that hold no accepted pattern.
Bytes Noise(size_t size, unsigned seed = 7) {
    Bytes bytes(size);
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    return bytes;
}

Bytes With(Bytes bytes, size_t at, const char* text) {
    std::memcpy(bytes.data() + at, text, std::strlen(text));
    return bytes;
}

Bytes Code() {
    const auto code = StandardBootCode();
    return Bytes(code.begin(), code.end());
}

// A sector as Windows leaves it: its boot code, a partition table, the boot signature.
Bytes WindowsSector(size_t size) {
    Bytes bytes = Noise(size, 3);
    const Bytes code = Code();
    std::copy(code.begin(), code.end(), bytes.begin());
    bytes[510] = 0x55;
    bytes[511] = 0xAA;
    return bytes;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t to) { return Bytes(bytes.begin() + from, bytes.begin() + to); }

class BootSector : public ::testing::Test {
protected:
    void UseDisk(DWORD size, Bytes content) {
        disk.reset();
        disk = std::make_unique<test::MemoryDisk>(size);
        disk->sector = std::move(content);
    }
    // The backups written since the fixture began or since the last call, oldest first; each is
    // named "<time> 硬盘主引导记录 MBR.Bak".
    std::vector<Bytes> NewBackups() {
        std::vector<Bytes> backups;
        for (const auto& name : watch.Added()) {
            EXPECT_TRUE(name.ends_with(L" 硬盘主引导记录 MBR.Bak"));
            backups.push_back(test::ReadBytes(test::BackupPath(name)));
        }
        watch = test::BackupWatch();
        return backups;
    }

    test::ScopedCurrentDirectory folder{L"boot"};  // nothing may land here any more
    test::BackupWatch watch;
    std::unique_ptr<test::MemoryDisk> disk = std::make_unique<test::MemoryDisk>();
};

TEST_F(BootSector, StandardBootCodeIsTheWindowsCode) {
    const Bytes code = Code();
    ASSERT_EQ(code.size(), 440u);
    const Bytes start = {0x33, 0xC0, 0x8E, 0xD0, 0xBC, 0x00, 0x7C, 0xFB,
                         0x50, 0x07, 0x50, 0x1F, 0xFC, 0xBE, 0x1B, 0x7C};
    EXPECT_EQ(Slice(code, 0, 16), start);
    auto text = [&](size_t at, const char* expected) {
        return std::string(code.begin() + at, code.begin() + at + std::strlen(expected));
    };
    EXPECT_EQ(text(0x12C, "Invalid partition table"), "Invalid partition table");
    EXPECT_EQ(text(0x144, "Error loading operating system"), "Error loading operating system");
    EXPECT_EQ(text(0x163, "Missing operating system"), "Missing operating system");
    EXPECT_EQ(Slice(code, 437, 440), (Bytes{0x2C, 0x44, 0x63}));

    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    ASSERT_TRUE(::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
    ASSERT_TRUE(::CryptHashData(hash, code.data(), static_cast<DWORD>(code.size()), 0));
    BYTE digest[16] = {};
    DWORD digestSize = sizeof(digest);
    ASSERT_TRUE(::CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0));
    ::CryptDestroyHash(hash);
    ::CryptReleaseContext(provider, 0);
    char hex[33] = {};
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    EXPECT_STREQ(hex, "8f558eb6672622401da993e1e865c861");
}

TEST_F(BootSector, CheckAcceptsTheKnownBootCodesOnly) {
    struct Case {
        const char* name;
        DWORD size;
        Bytes sector;
        int expected;
    };
    const Case cases[] = {
        {"Windows boot code", 512, WindowsSector(512), 1},
        {"Windows boot code, 4096-byte sector", 4096, WindowsSector(4096), 1},
        {"DiskGeni", 512, With(Noise(512), 100, "DiskGeni"), 1},
        {"DiskGeni ending at byte 511", 512, With(Noise(512), 504, "DiskGeni"), 1},
        {"Invalid part ending at byte 511", 512, With(Noise(512), 500, "Invalid part"), 1},
        {"all zero", 512, Bytes(512, 0), 0},
        {"noise", 512, Noise(512), 0},
        {"Inva at 508, part would be past the sector", 512, With(Noise(512), 508, "Inva"), 0},
        {"Disk at 508, Geni would be past the sector", 512, With(Noise(512), 508, "Disk"), 0},
        {"Inva at 508, part at 516 of a 4096-byte sector", 4096, With(Noise(4096), 508, "Invalid part"), 1},
        {"Disk at 508, Geni at 512 of a 4096-byte sector", 4096, With(Noise(4096), 508, "DiskGeni"), 1},
        {"DiskGeni only at 512, past the scanned offsets", 4096, With(Noise(4096), 512, "DiskGeni"), 0},
        {"the texts apart", 512, With(With(Noise(512), 40, "Inva"), 200, "part"), 0},
    };
    for (const Case& c : cases) {
        UseDisk(c.size, c.sector);
        EXPECT_EQ(CheckMasterBootRecord(), c.expected) << c.name;
        EXPECT_EQ(disk->Calls(), "open lock geometry read:" + std::to_string(c.size) + " unlock close") << c.name;
        EXPECT_EQ(disk->sector, c.sector) << c.name;
    }
}

// Each failure ends the single transfer: the check finds nothing, the reset fails, and neither the
// disk is touched nor a backup written.
TEST_F(BootSector, FailuresBeforeTheReadTouchNeitherBackupNorDisk) {
    struct Case {
        const char* name;
        void (*arrange)(test::MemoryDisk&);
        const char* calls;
    };
    const Case cases[] = {
        {"open fails", [](test::MemoryDisk& d) { d.failOpen = true; }, "open(fails)"},
        {"lock fails", [](test::MemoryDisk& d) { d.failLock = true; }, "open lock(fails) close"},
        {"geometry fails", [](test::MemoryDisk& d) { d.failGeometry = true; }, "open lock geometry(fails) close"},
        {"read fails", [](test::MemoryDisk& d) { d.failRead = true; }, "open lock geometry read:512(fails) close"},
        {"read falls short", [](test::MemoryDisk& d) { d.shortRead = 1; }, "open lock geometry read:512 close"},
        {"sector size 256", [](test::MemoryDisk& d) { d.reportedSectorSize = 256; }, "open lock geometry close"},
        {"sector size 511", [](test::MemoryDisk& d) { d.reportedSectorSize = 511; }, "open lock geometry close"},
        {"sector size 8192", [](test::MemoryDisk& d) { d.reportedSectorSize = 8192; }, "open lock geometry close"},
    };
    for (const Case& c : cases) {
        const Bytes sector = Noise(512);
        for (int reset = 0; reset < 2; ++reset) {
            UseDisk(512, sector);
            c.arrange(*disk);
            if (reset) {
                EXPECT_EQ(ResetMasterBootRecord(), 0) << c.name;
            } else {
                EXPECT_EQ(CheckMasterBootRecord(), 1) << c.name;
            }
            EXPECT_EQ(disk->Calls(), c.calls) << c.name << (reset ? " (reset)" : " (check)");
            EXPECT_EQ(disk->Writes(), 0) << c.name;
            EXPECT_EQ(disk->sector, sector) << c.name;
            EXPECT_TRUE(NewBackups().empty()) << c.name;
        }
    }
}

TEST_F(BootSector, ResetWritesTheStandardCodeAndKeepsTheRestOfTheSector) {
    for (DWORD size : {512u, 4096u}) {
        const Bytes found = Noise(size, size);
        UseDisk(size, found);
        ASSERT_EQ(CheckMasterBootRecord(), 0) << size;
        EXPECT_EQ(ResetMasterBootRecord(), 1) << size;
        const std::string n = std::to_string(size);
        EXPECT_EQ(disk->Calls(), "open lock geometry read:" + n + " unlock close open lock geometry read:" + n +
                                     " unlock close open lock geometry write:" + n + " unlock close");
        ASSERT_EQ(disk->sector.size(), size);
        EXPECT_EQ(Slice(disk->sector, 0, 440), Code()) << size;
        EXPECT_EQ(Slice(disk->sector, 440, size), Slice(found, 440, size)) << size;
        EXPECT_EQ(NewBackups(), std::vector<Bytes>{Slice(found, 0, 512)}) << size;  // 512 bytes, whatever the size
        EXPECT_EQ(CheckMasterBootRecord(), 1) << size;
    }
}

// A second reset keeps the sector it found in a backup of its own: the first one, holding the
// sector as it was before any reset, is never overwritten.
TEST_F(BootSector, EachResetKeepsItsOwnBackupInTheBackupFolder) {
    const Bytes found = With(Noise(512), 0, "virus");
    UseDisk(512, found);
    ASSERT_EQ(ResetMasterBootRecord(), 1);
    const Bytes once = disk->sector;
    ASSERT_EQ(ResetMasterBootRecord(), 1);
    EXPECT_EQ(disk->sector, once);
    EXPECT_EQ(NewBackups(), (std::vector<Bytes>{found, once}));  // in the order of their names
    EXPECT_FALSE(folder.Exists(L"MBR.Bak"));
}

TEST_F(BootSector, NoWriteWithoutABackup) {
    const Bytes found = Noise(512);
    auto attempt = [&](const char* why) {
        UseDisk(512, found);
        EXPECT_EQ(ResetMasterBootRecord(), 0) << why;
        EXPECT_EQ(disk->Calls(), "open lock geometry read:512 unlock close") << why;
        EXPECT_EQ(disk->Writes(), 0) << why;
        EXPECT_EQ(disk->sector, found) << why;
        EXPECT_TRUE(NewBackups().empty()) << why;  // nor a part of one
    };
    {
        test::FullDisk full;
        attempt("full disk");
    }
    test::ReadOnlyBackupFolder readOnly;
    if (readOnly.available()) attempt("read-only backup folder");
}

TEST_F(BootSector, NoWriteWhenTheSectorSizeChangedSinceTheRead) {
    const Bytes found = Noise(512);
    UseDisk(512, found);
    // The device reports 512 bytes for the read and 4096 for the write.
    disk->reportedSectorSizeAfterRead = 4096;
    EXPECT_EQ(ResetMasterBootRecord(), 0);
    EXPECT_EQ(disk->Writes(), 0);
    EXPECT_EQ(disk->sector, found);
}

TEST_F(BootSector, FailedOrShortWriteIsAFailure) {
    for (bool failing : {true, false}) {
        const Bytes found = Noise(512);
        UseDisk(512, found);
        disk->failWrite = failing;
        disk->shortWrite = failing ? 0 : 1;
        EXPECT_EQ(ResetMasterBootRecord(), 0) << failing;
        const std::string write = failing ? "write:512(fails)" : "write:512";
        EXPECT_EQ(disk->Calls(), "open lock geometry read:512 unlock close open lock geometry " + write + " close");
        EXPECT_EQ(NewBackups(), std::vector<Bytes>{found}) << failing;
    }
}

}  // namespace
