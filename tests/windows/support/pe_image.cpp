#include "support/pe_image.h"

#include <algorithm>
#include <cstring>

namespace test {

namespace {

class Image {
public:
    explicit Image(const std::string& bytes) : bytes_(bytes) {}

    bool ReadHeaders() {
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER)) return false;
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0) return false;
        const std::size_t at = static_cast<std::size_t>(dos->e_lfanew);
        if (at + sizeof(IMAGE_NT_HEADERS64) > bytes_.size()) return false;
        nt_ = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes_.data() + at);
        if (nt_->Signature != IMAGE_NT_SIGNATURE || nt_->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            return false;
        }
        const std::size_t sections = at + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                     nt_->FileHeader.SizeOfOptionalHeader;
        return sections + nt_->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER) <= bytes_.size();
    }

    WORD Subsystem() const { return nt_->OptionalHeader.Subsystem; }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const { return nt_->OptionalHeader.DataDirectory[index]; }

    // The file offset of an address in the image; npos when no section holds it.
    std::size_t Offset(DWORD rva) const {
        const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt_);
        for (WORD i = 0; i < nt_->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < std::max(s.SizeOfRawData, s.Misc.VirtualSize)) {
                const std::size_t at = s.PointerToRawData + (rva - s.VirtualAddress);
                return at < bytes_.size() ? at : std::string::npos;
            }
        }
        return std::string::npos;
    }

    // A terminated string at the address; nothing when it runs past the file.
    std::optional<std::string> Name(DWORD rva) const {
        const std::size_t at = Offset(rva);
        if (at == std::string::npos) return std::nullopt;
        const std::size_t end = bytes_.find('\0', at);
        if (end == std::string::npos) return std::nullopt;
        return bytes_.substr(at, end - at);
    }

    // Each descriptor of a table of fixed-size descriptors that ends with one whose field `end` is 0,
    // handed to visit; false when the table runs off the file or visit returns false.
    template <class Descriptor, class Visit>
    bool ForEachDescriptor(int directory, DWORD Descriptor::*end, Visit visit) const {
        const DWORD rva = Directory(directory).VirtualAddress;
        if (rva == 0) return true;
        std::size_t at = Offset(rva);
        if (at == std::string::npos) return false;
        for (;; at += sizeof(Descriptor)) {
            if (at + sizeof(Descriptor) > bytes_.size()) return false;
            Descriptor descriptor;
            std::memcpy(&descriptor, bytes_.data() + at, sizeof(descriptor));
            if (descriptor.*end == 0) return true;
            if (!visit(descriptor)) return false;
        }
    }

    // The names in a table of descriptors that ends with one whose name is 0.
    template <class Descriptor>
    bool ReadNames(int directory, DWORD Descriptor::*name, std::vector<std::string>& names) const {
        return ForEachDescriptor(directory, name, [&](const Descriptor& descriptor) {
            std::optional<std::string> library = Name(descriptor.*name);
            if (library) names.push_back(*library);
            return library.has_value();
        });
    }

    // The names in a thunk table of 64-bit entries that ends with 0; entries imported by ordinal
    // have no name and are left out.
    bool ReadThunkNames(DWORD rva, const std::string& library, std::vector<std::string>& names) const {
        if (rva == 0) return true;
        std::size_t at = Offset(rva);
        if (at == std::string::npos) return false;
        for (;; at += sizeof(ULONGLONG)) {
            if (at + sizeof(ULONGLONG) > bytes_.size()) return false;
            ULONGLONG entry = 0;
            std::memcpy(&entry, bytes_.data() + at, sizeof(entry));
            if (entry == 0) return true;
            if (entry & IMAGE_ORDINAL_FLAG64) continue;
            // IMAGE_IMPORT_BY_NAME: a two-byte hint, then the name.
            std::optional<std::string> name = Name(static_cast<DWORD>(entry) + 2);
            if (!name) return false;
            names.push_back(library + "!" + *name);
        }
    }

    // The library and name table of each descriptor of an import-style directory.
    template <class Descriptor>
    bool ReadFunctions(int directory, DWORD Descriptor::*libraryName, DWORD (*names)(const Descriptor&),
                       std::vector<std::string>& functions) const {
        return ForEachDescriptor(directory, libraryName, [&](const Descriptor& descriptor) {
            std::optional<std::string> library = Name(descriptor.*libraryName);
            return library && ReadThunkNames(names(descriptor), *library, functions);
        });
    }

private:
    const std::string& bytes_;
    const IMAGE_NT_HEADERS64* nt_ = nullptr;
};

}  // namespace

std::optional<PeImports> ReadPeImports(const std::string& bytes) {
    Image image(bytes);
    if (!image.ReadHeaders()) return std::nullopt;
    PeImports result;
    result.subsystem = image.Subsystem();
    if (!image.ReadNames(IMAGE_DIRECTORY_ENTRY_IMPORT, &IMAGE_IMPORT_DESCRIPTOR::Name, result.libraries) ||
        !image.ReadNames(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, &IMAGE_DELAYLOAD_DESCRIPTOR::DllNameRVA,
                         result.delayLibraries)) {
        return std::nullopt;
    }
    // The name table (the thunks before binding); a linker may leave it out and keep only the
    // address table.
    auto importNames = [](const IMAGE_IMPORT_DESCRIPTOR& d) -> DWORD {
        return d.OriginalFirstThunk != 0 ? d.OriginalFirstThunk : d.FirstThunk;
    };
    auto delayNames = [](const IMAGE_DELAYLOAD_DESCRIPTOR& d) -> DWORD { return d.ImportNameTableRVA; };
    if (!image.ReadFunctions<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT, &IMAGE_IMPORT_DESCRIPTOR::Name,
                                                      importNames, result.functions) ||
        !image.ReadFunctions<IMAGE_DELAYLOAD_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT,
                                                         &IMAGE_DELAYLOAD_DESCRIPTOR::DllNameRVA, delayNames,
                                                         result.functions)) {
        return std::nullopt;
    }
    return result;
}

}  // namespace test
