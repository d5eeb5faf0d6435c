// Whole files as bytes, for fixtures and for reading back what a program wrote.
#pragma once

#include <optional>
#include <string>

namespace test {

// The whole file; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// Creates or replaces the file with these bytes; false when it cannot be written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

}  // namespace test
