// Any UTF-16 text as the ExtensionSettings policy: an adware installer's, or a broken one. What is
// read must stay read after any one member is taken out, less exactly that member.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "repair/extension_json.h"

namespace {

bool Same(const SettingsMember& a, const SettingsMember& b) {
    return a.key == b.key && a.installationMode == b.installationMode && a.updateUrl == b.updateUrl;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / sizeof(char16_t), u'\0');
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
    const auto members = ReadExtensionSettings(text);
    if (!members) {
        if (RemoveSettingsMember(text, 0)) __builtin_trap();
        return 0;
    }
    if (RemoveSettingsMember(text, members->size())) __builtin_trap();
    for (std::size_t index = 0; index < members->size() && index < 4; ++index) {
        const auto rest = RemoveSettingsMember(text, index);
        if (!rest || rest->size() >= text.size()) __builtin_trap();
        const auto left = ReadExtensionSettings(*rest);
        if (!left || left->size() + 1 != members->size()) __builtin_trap();
        for (std::size_t i = 0; i < left->size(); ++i) {
            if (!Same((*left)[i], (*members)[i < index ? i : i + 1])) __builtin_trap();
        }
    }
    return 0;
}
