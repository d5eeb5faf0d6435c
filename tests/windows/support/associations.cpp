#include "support/associations.h"

#include <windows.h>

#include "repair/file_type.h"
#include "support/registry.h"

namespace test {

void WriteCleanAssociations() {
    for (const auto& entry : FileAssociationTable) {
        SetString(HKEY_CLASSES_ROOT, entry.commandKey, L"", entry.command, REG_EXPAND_SZ);
    }
}

void BreakAssociation(const std::wstring& commandKey, const std::wstring& command) {
    SetString(HKEY_CLASSES_ROOT, commandKey, L"", command, REG_SZ);
}

std::wstring OpenCommandOf(const std::wstring& commandKey) {
    const auto value = GetValue(HKEY_CLASSES_ROOT, commandKey, L"");
    return value ? value->Text() : std::wstring();
}

}  // namespace test
