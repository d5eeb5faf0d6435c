// Any bytes, as the update server (or whatever answers in its place) may send them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "updater/update_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the given bytes, in a buffer of their own, so that a read past them is caught.
    std::vector<char> bytes(data, data + size);
    const auto description =
        tolvane::UpdateDescription::Parse(std::string_view(bytes.data(), bytes.size()), tolvane::DecodeLatin1);
    // What Tolvane asks: the latest version, then the checksums by that name and by the caller's.
    const std::wstring latest = description.String(L"VERSION", L"key", 200);
    if (latest.size() > 199 || latest.find(L'\0') != std::wstring::npos) __builtin_trap();
    description.Number(L"CRC", latest);
    description.Number(L"CRC", L"v1.6");
    return 0;
}
