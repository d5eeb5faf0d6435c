// What a 64-bit program's file tells the loader before any of its code runs: its subsystem and the
// DLLs it names in its import tables, read from the bytes as the loader reads them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace test {

struct PeImports {
    WORD subsystem = 0;
    std::vector<std::string> libraries;       // the import directory, in its order
    std::vector<std::string> delayLibraries;  // the delay-load directory, in its order
    // Every function imported by name, static and delay-loaded, as "library!name" in table order.
    std::vector<std::string> functions;
};

// Nothing when the bytes are not a 64-bit PE file, or a directory or a name lies outside them.
std::optional<PeImports> ReadPeImports(const std::string& image);

}  // namespace test
