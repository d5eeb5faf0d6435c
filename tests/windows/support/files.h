// Whole files as bytes, for fixtures and for reading back what a program wrote, and what a folder
// holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace test {

// The whole file; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// Creates or replaces the file with these bytes; false when it cannot be written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The names in a folder (given with or without its trailing backslash), "." and ".." left out,
// hidden files and subfolders included, in the order the system lists them. {"(no folder)"} when
// the folder cannot be listed, so that a test that expects it empty fails where it is missing.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);

}  // namespace test
