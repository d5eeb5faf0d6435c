// Writer of registry hive files, format version 1.3: a 4096-byte base block followed by 4096-byte
// bins of cells (key nodes "nk", values "vk", value lists, subkey lists "lf", one security cell
// "sk" shared by every key, data cells). Cell offsets count from the first bin.
#include <algorithm>
#include <cstring>

#include "tools/hive/registry_tree.h"

namespace hive {

namespace {

constexpr size_t kBlock = 4096;
constexpr size_t kBinHeader = 32;
constexpr uint32_t kNone = 0xFFFFFFFF;
// Every time stamp of the image: 2010-01-01 00:00 UTC as a FILETIME, so that builds are repeatable.
constexpr uint64_t kTimeStamp = (1262304000ULL + 11644473600ULL) * 10000000ULL;

constexpr uint16_t kKeyHiveEntry = 0x0004, kKeyNoDelete = 0x0008, kKeyCompressedName = 0x0020;
constexpr uint16_t kValueCompressedName = 0x0001;

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutBytes(std::vector<uint8_t>& b, size_t at, const std::vector<uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A name as stored in a cell: ASCII names compressed to one byte per character, others UTF-16LE.
struct StoredName {
    std::vector<uint8_t> bytes;
    bool compressed = true;
    uint32_t utf16Bytes = 0;  // its length as UTF-16, for the maximum-length fields
};

StoredName Store(const std::string& name) {
    StoredName s;
    std::vector<uint8_t> wide;
    Utf16Bytes(name, wide);
    s.utf16Bytes = static_cast<uint32_t>(wide.size());
    s.compressed = IsAscii(name);
    s.bytes = s.compressed ? std::vector<uint8_t>(name.begin(), name.end()) : wide;
    return s;
}

// The bins: cells are taken in order; a cell that does not fit into the rest of a bin starts the next.
class Bins {
public:
    // Offset of a new used cell with room for `payload` bytes after its size field.
    uint32_t Allocate(size_t payload) {
        const size_t size = (4 + payload + 7) & ~size_t{7};
        if (cursor_ + size > binEnd_) {
            CloseBin();
            OpenBin(std::max(kBlock, (kBinHeader + size + kBlock - 1) & ~(kBlock - 1)));
        }
        const size_t at = cursor_;
        cursor_ += size;
        Put32(data_, at, static_cast<uint32_t>(-static_cast<int32_t>(size)));
        return static_cast<uint32_t>(at);
    }
    // Payload byte `i` of the cell at `cell`.
    size_t At(uint32_t cell, size_t i) const { return cell + 4 + i; }
    std::vector<uint8_t>& Data() { return data_; }

    // Ends the last bin and adds empty bins up to `total` bytes; false when more is already used.
    bool Finish(size_t total) {
        CloseBin();
        if (data_.size() > total) return false;
        while (data_.size() < total) {
            OpenBin(kBlock);
            CloseBin();
        }
        return true;
    }
    size_t Used() const { return data_.size(); }

private:
    void OpenBin(size_t size) {
        const size_t start = data_.size();
        data_.resize(start + size, 0);
        std::memcpy(&data_[start], "hbin", 4);
        Put32(data_, start + 4, static_cast<uint32_t>(start));
        Put32(data_, start + 8, static_cast<uint32_t>(size));
        Put64(data_, start + 0x14, kTimeStamp);
        cursor_ = start + kBinHeader;
        binEnd_ = start + size;
    }
    // The rest of the open bin becomes one free cell.
    void CloseBin() {
        if (cursor_ < binEnd_) Put32(data_, cursor_, static_cast<uint32_t>(binEnd_ - cursor_));
        cursor_ = binEnd_;
    }

    std::vector<uint8_t> data_;
    size_t cursor_ = 0, binEnd_ = 0;
};

// Owner Administrators, group SYSTEM; SYSTEM and Administrators full control, Users read,
// CREATOR OWNER full control on subkeys; every entry inherited by subkeys.
std::vector<uint8_t> SecurityDescriptor() {
    auto sid = [](uint8_t authority, std::vector<uint32_t> subs) {
        std::vector<uint8_t> s = {1, static_cast<uint8_t>(subs.size()), 0, 0, 0, 0, 0, authority};
        for (uint32_t sub : subs) {
            for (int i = 0; i < 4; ++i) s.push_back(static_cast<uint8_t>(sub >> (8 * i)));
        }
        return s;
    };
    const auto system = sid(5, {18}), admins = sid(5, {32, 544}), users = sid(5, {32, 545}), owner = sid(3, {0});
    constexpr uint32_t kKeyAllAccess = 0xF003F, kKeyRead = 0x20019, kGenericAll = 0x10000000;
    constexpr uint8_t kContainerInherit = 0x02, kInheritOnly = 0x08;
    std::vector<uint8_t> aces;
    auto ace = [&aces](uint8_t flags, uint32_t mask, const std::vector<uint8_t>& who) {
        const size_t size = 8 + who.size();
        const uint8_t head[8] = {0, flags, static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                                 static_cast<uint8_t>(mask), static_cast<uint8_t>(mask >> 8),
                                 static_cast<uint8_t>(mask >> 16), static_cast<uint8_t>(mask >> 24)};
        aces.insert(aces.end(), head, head + 8);
        aces.insert(aces.end(), who.begin(), who.end());
    };
    ace(kContainerInherit, kKeyAllAccess, system);
    ace(kContainerInherit, kKeyAllAccess, admins);
    ace(kContainerInherit, kKeyRead, users);
    ace(kContainerInherit | kInheritOnly, kGenericAll, owner);

    std::vector<uint8_t> sd(20, 0);
    sd[0] = 1;                                         // revision
    Put16(sd, 2, 0x8000 | 0x0004);                     // self-relative, DACL present
    Put32(sd, 4, 20);                                  // owner
    Put32(sd, 8, static_cast<uint32_t>(20 + admins.size()));  // group
    Put32(sd, 12, 0);                                  // no SACL
    Put32(sd, 16, static_cast<uint32_t>(20 + admins.size() + system.size()));  // DACL
    sd.insert(sd.end(), admins.begin(), admins.end());
    sd.insert(sd.end(), system.begin(), system.end());
    std::vector<uint8_t> acl(8, 0);
    acl[0] = 2;  // revision
    Put16(acl, 2, static_cast<uint32_t>(8 + aces.size()));
    Put16(acl, 4, 4);  // entries
    sd.insert(sd.end(), acl.begin(), acl.end());
    sd.insert(sd.end(), aces.begin(), aces.end());
    return sd;
}

size_t CountKeys(const Key& key) {
    size_t n = 1;
    for (const Key& k : key.subkeys) n += CountKeys(k);
    return n;
}

class Writer {
public:
    explicit Writer(Bins& bins) : bins_(bins) {}

    uint32_t WriteTree(const Key& root) {
        const uint32_t nk = AllocateKey(root);
        const std::vector<uint8_t> sd = SecurityDescriptor();
        security_ = bins_.Allocate(20 + sd.size());
        auto& d = bins_.Data();
        std::memcpy(&d[bins_.At(security_, 0)], "sk", 2);
        Put32(d, bins_.At(security_, 4), security_);  // the only descriptor: linked to itself
        Put32(d, bins_.At(security_, 8), security_);
        Put32(d, bins_.At(security_, 12), static_cast<uint32_t>(CountKeys(root)));
        Put32(d, bins_.At(security_, 16), static_cast<uint32_t>(sd.size()));
        PutBytes(d, bins_.At(security_, 20), sd);
        FillKey(root, nk, kNone, true);
        return nk;
    }

private:
    uint32_t AllocateKey(const Key& key) {
        const StoredName name = Store(key.name);
        return bins_.Allocate(0x4C + name.bytes.size());
    }

    void FillKey(const Key& key, uint32_t nk, uint32_t parent, bool root) {
        const StoredName name = Store(key.name);
        uint32_t valueList = kNone, maxValueName = 0, maxValueData = 0;
        if (!key.values.empty()) {
            valueList = bins_.Allocate(4 * key.values.size());
            for (size_t i = 0; i < key.values.size(); ++i) {
                const uint32_t vk = WriteValue(key.values[i]);
                Put32(bins_.Data(), bins_.At(valueList, 4 * i), vk);
                maxValueName = std::max(maxValueName, Store(key.values[i].name).utf16Bytes);
                maxValueData = std::max(maxValueData, static_cast<uint32_t>(key.values[i].data.size()));
            }
        }

        std::vector<const Key*> children;
        for (const Key& k : key.subkeys) children.push_back(&k);
        std::sort(children.begin(), children.end(),
                  [](const Key* a, const Key* b) { return UpperName(a->name) < UpperName(b->name); });
        std::vector<uint32_t> childCells;
        uint32_t maxChildName = 0;
        for (const Key* child : children) {
            const uint32_t cell = AllocateKey(*child);
            childCells.push_back(cell);
            FillKey(*child, cell, nk, false);
            maxChildName = std::max(maxChildName, Store(child->name).utf16Bytes);
        }
        uint32_t subkeyList = kNone;
        if (!children.empty()) {
            subkeyList = bins_.Allocate(4 + 8 * children.size());
            auto& d = bins_.Data();
            std::memcpy(&d[bins_.At(subkeyList, 0)], "lf", 2);
            Put16(d, bins_.At(subkeyList, 2), static_cast<uint32_t>(children.size()));
            for (size_t i = 0; i < children.size(); ++i) {
                Put32(d, bins_.At(subkeyList, 4 + 8 * i), childCells[i]);
                const std::string& n = children[i]->name;  // hint: the first four characters
                for (size_t c = 0; c < 4 && c < n.size(); ++c) d[bins_.At(subkeyList, 8 + 8 * i + c)] = n[c];
            }
        }

        auto& d = bins_.Data();
        const size_t at = bins_.At(nk, 0);
        std::memcpy(&d[at], "nk", 2);
        Put16(d, at + 0x02, (root ? kKeyHiveEntry | kKeyNoDelete : 0) | (name.compressed ? kKeyCompressedName : 0));
        Put64(d, at + 0x04, kTimeStamp);
        Put32(d, at + 0x10, parent);
        Put32(d, at + 0x14, static_cast<uint32_t>(children.size()));
        Put32(d, at + 0x18, 0);
        Put32(d, at + 0x1C, subkeyList);
        Put32(d, at + 0x20, kNone);
        Put32(d, at + 0x24, static_cast<uint32_t>(key.values.size()));
        Put32(d, at + 0x28, valueList);
        Put32(d, at + 0x2C, security_);
        Put32(d, at + 0x30, kNone);  // no class name
        Put32(d, at + 0x34, maxChildName);
        Put32(d, at + 0x38, 0);
        Put32(d, at + 0x3C, maxValueName);
        Put32(d, at + 0x40, maxValueData);
        Put16(d, at + 0x48, static_cast<uint32_t>(name.bytes.size()));
        Put16(d, at + 0x4A, 0);
        PutBytes(d, at + 0x4C, name.bytes);
    }

    uint32_t WriteValue(const Value& value) {
        const StoredName name = Store(value.name);
        const uint32_t vk = bins_.Allocate(0x14 + name.bytes.size());
        const auto size = static_cast<uint32_t>(value.data.size());
        uint32_t dataCell = 0;
        if (size > 4) {
            dataCell = bins_.Allocate(size);
            PutBytes(bins_.Data(), bins_.At(dataCell, 0), value.data);
        }
        auto& d = bins_.Data();
        const size_t at = bins_.At(vk, 0);
        std::memcpy(&d[at], "vk", 2);
        Put16(d, at + 0x02, static_cast<uint32_t>(name.bytes.size()));
        if (size > 4) {
            Put32(d, at + 0x04, size);
            Put32(d, at + 0x08, dataCell);
        } else {  // up to four bytes live in the offset field itself
            Put32(d, at + 0x04, size | 0x80000000u);
            PutBytes(d, at + 0x08, value.data);
        }
        Put32(d, at + 0x0C, value.type);
        Put16(d, at + 0x10, !value.name.empty() && name.compressed ? kValueCompressedName : 0);
        PutBytes(d, at + 0x14, name.bytes);
        return vk;
    }

    Bins& bins_;
    uint32_t security_ = kNone;
};

uint32_t Checksum(const std::vector<uint8_t>& image) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4) {
        sum ^= image[i] | (image[i + 1] << 8) | (image[i + 2] << 16) | (static_cast<uint32_t>(image[i + 3]) << 24);
    }
    return sum;
}

}  // namespace

bool WriteHive(const Key& root, size_t size, std::vector<uint8_t>& image, std::string& error) {
    if (size < 2 * kBlock || size % kBlock != 0) {
        error = "the image size must be a multiple of 4096 of at least 8192";
        return false;
    }
    Bins bins;
    const uint32_t rootCell = Writer(bins).WriteTree(root);
    const size_t needed = kBlock + bins.Used();
    if (!bins.Finish(size - kBlock)) {
        error = "the tree needs " + std::to_string(needed) + " bytes, more than " + std::to_string(size);
        return false;
    }

    image.assign(kBlock, 0);
    std::memcpy(&image[0], "regf", 4);
    Put32(image, 0x04, 1);  // primary and secondary sequence numbers: equal, the file is consistent
    Put32(image, 0x08, 1);
    Put32(image, 0x14, 1);  // format version 1.3
    Put32(image, 0x18, 3);
    Put32(image, 0x1C, 0);  // primary file
    Put32(image, 0x20, 1);  // direct memory load
    Put32(image, 0x24, rootCell);
    Put32(image, 0x28, static_cast<uint32_t>(size - kBlock));
    Put32(image, 0x2C, 1);  // clustering factor
    std::vector<uint8_t> fileName;
    Utf16Bytes(root.name.substr(0, 31), fileName);
    fileName.resize(std::min<size_t>(fileName.size(), 62));
    PutBytes(image, 0x30, fileName);
    // The checksum may be neither 0 nor all ones; move the time stamp if it would be.
    for (uint64_t stamp = kTimeStamp;; ++stamp) {
        Put64(image, 0x0C, stamp);
        const uint32_t sum = Checksum(image);
        if (sum != 0 && sum != 0xFFFFFFFF) {
            Put32(image, 0x1FC, sum);
            break;
        }
    }
    image.insert(image.end(), bins.Data().begin(), bins.Data().end());
    return true;
}

}  // namespace hive
