// File-association fixtures: the fourteen open commands of the table, as a clean system holds them.
#pragma once

#include <string>

namespace test {

// Writes every entry's expected command (REG_EXPAND_SZ) below HKEY_CLASSES_ROOT.
void WriteCleanAssociations();
// Sets one command key's default value, as damage would.
void BreakAssociation(const std::wstring& commandKey, const std::wstring& command);
// The default value of a command key below HKEY_CLASSES_ROOT, empty when missing.
std::wstring OpenCommandOf(const std::wstring& commandKey);

}  // namespace test
