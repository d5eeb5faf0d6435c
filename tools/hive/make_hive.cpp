// make-hive INPUT.reg OUTPUT SIZE: writes the keys of a regedit text as a registry hive file of
// exactly SIZE bytes whose root is the first key of the text.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "tools/hive/registry_tree.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make-hive INPUT.reg OUTPUT SIZE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "make-hive: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    char* end = nullptr;
    const unsigned long size = std::strtoul(argv[3], &end, 10);
    if (*end != '\0') {
        std::cerr << "make-hive: bad size " << argv[3] << "\n";
        return 2;
    }

    hive::Key root;
    std::string error;
    std::vector<uint8_t> image;
    if (!hive::ParseRegText(text, root, error) || !hive::WriteHive(root, size, image, error)) {
        std::cerr << "make-hive: " << argv[1] << ": " << error << "\n";
        return 1;
    }
    const std::string temporary = std::string(argv[2]) + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out) {
            std::cerr << "make-hive: cannot write " << temporary << "\n";
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0) {
        std::cerr << "make-hive: cannot rename " << temporary << "\n";
        return 1;
    }
    return 0;
}
