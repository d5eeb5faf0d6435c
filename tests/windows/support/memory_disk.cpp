#include "support/memory_disk.h"

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "framework/handles.h"
#include "support/ui.h"

namespace test {

class MemoryDisk::Device : public lark::disk::Device {
public:
    explicit Device(MemoryDisk& disk) : disk_(disk) {}
    ~Device() override { disk_.calls_.push_back("close"); }
    bool Lock() override { return Step("lock", !disk_.failLock); }
    bool GetGeometry(DISK_GEOMETRY& geometry) override {
        if (!Step("geometry", !disk_.failGeometry)) return false;
        geometry = DISK_GEOMETRY{};
        geometry.Cylinders.QuadPart = 10000;
        geometry.MediaType = FixedMedia;
        geometry.TracksPerCylinder = 255;
        geometry.SectorsPerTrack = 63;
        geometry.BytesPerSector = disk_.reportedSectorSizeAfterRead && disk_.readDone_
                                      ? disk_.reportedSectorSizeAfterRead
                                      : disk_.reportedSectorSize;
        return true;
    }
    bool Read(void* buffer, DWORD size, DWORD& done) override {
        if (!Step("read:" + std::to_string(size), !disk_.failRead)) return false;
        done = std::min<DWORD>(size - std::min(size, disk_.shortRead), static_cast<DWORD>(disk_.sector.size()));
        std::memcpy(buffer, disk_.sector.data(), done);
        disk_.readDone_ = true;
        return true;
    }
    bool Write(const void* buffer, DWORD size, DWORD& done) override {
        if (!Step("write:" + std::to_string(size), !disk_.failWrite)) return false;
        done = size - std::min(size, disk_.shortWrite);
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        if (disk_.sector.size() < done) disk_.sector.resize(done);
        std::copy(bytes, bytes + done, disk_.sector.begin());
        ++disk_.writes_;
        return true;
    }
    void Unlock() override { disk_.calls_.push_back("unlock"); }

private:
    bool Step(const std::string& name, bool succeeds) {
        disk_.calls_.push_back(succeeds ? name : name + "(fails)");
        return succeeds;
    }
    MemoryDisk& disk_;
};

MemoryDisk::MemoryDisk(DWORD sectorSize)
    : sector(sectorSize, 0), reportedSectorSize(sectorSize), previous_(lark::disk::SetDisk(this)) {}

MemoryDisk::~MemoryDisk() {
    if (lark::disk::SetDisk(previous_) != this) {
        ADD_FAILURE() << "memory disks must end in the reverse order of their start";
    }
}

std::unique_ptr<lark::disk::Device> MemoryDisk::Open() {
    if (failOpen) {
        calls_.push_back("open(fails)");
        return nullptr;
    }
    calls_.push_back("open");
    return std::make_unique<Device>(*this);
}

std::string MemoryDisk::Calls() const {
    std::string text;
    for (const std::string& call : calls_) text += (text.empty() ? "" : " ") + call;
    return text;
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::wstring& name) {
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    previous_ = current;
    static int made = 0;
    path_ = TempPath(name + L"-" + std::to_wstring(++made)) + L"\\";
    ::CreateDirectoryW(path_.c_str(), nullptr);
    ::SetCurrentDirectoryW(path_.c_str());
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() { ::SetCurrentDirectoryW(previous_.c_str()); }

std::vector<unsigned char> ScopedCurrentDirectory::Read(const std::wstring& name) const {
    lark::UniqueFile file(::CreateFileW((path_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    std::vector<unsigned char> bytes;
    if (!file) return bytes;
    unsigned char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

bool ScopedCurrentDirectory::Exists(const std::wstring& name) const {
    return ::GetFileAttributesW((path_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace test
