#include "support/import_patch.h"

#include <cstring>

namespace test {

namespace {

// The slot of this program's import table through which it calls dll!function.
void** ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name;
         ++import) {
        if (_stricmp(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

}  // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement)
    : slot_(ImportSlot(dll, function)) {
    if (!slot_) return;
    original_ = *slot_;
    Write(replacement);
}

ImportPatch::~ImportPatch() {
    if (slot_) Write(original_);
}

void ImportPatch::Write(void* value) {
    DWORD protection = 0;
    ::VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection);
    *slot_ = value;
    ::VirtualProtect(slot_, sizeof(void*), protection, &protection);
}

}  // namespace test
