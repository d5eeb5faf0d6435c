#include "framework/registry.h"

#include <winternl.h>

extern "C" NTSTATUS NTAPI NtOpenKey(HANDLE* key, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes);

namespace lark {

LONG OpenExactSubkey(HKEY parent, std::wstring_view name, REGSAM access, UniqueRegKey& key) {
    key.reset();
    if (!parent || name.size() * sizeof(wchar_t) > 0xFFFE) return ERROR_INVALID_PARAMETER;
    const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    UNICODE_STRING text{bytes, bytes, const_cast<wchar_t*>(name.data())};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof(attributes);
    attributes.RootDirectory = parent;
    attributes.ObjectName = &text;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    HANDLE opened = nullptr;
    // The view flags belong to paths from a root; relative to an open key there is nothing to choose.
    const NTSTATUS status = ::NtOpenKey(&opened, access & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY), &attributes);
    if (status != 0) return static_cast<LONG>(::RtlNtStatusToDosError(status));
    key.reset(static_cast<HKEY>(opened));
    return ERROR_SUCCESS;
}

}  // namespace lark
