// Random keys, names and values of every type through the .reg text and back through the model of
// the importer: whatever can be written reads back as the same registry, byte for byte, and only
// names with a line break or a NUL are refused.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "backup/reg_text.h"
#include "tests/host/reg_import.h"

namespace {

using lark::backup::RegEntry;
using lark::backup::RegSection;

// Characters that matter to the format, and any other.
char16_t Unit(FuzzedDataProvider& in) {
    static constexpr char16_t kAwkward[] = {u'"', u'\\', u'[', u']', u'@', u'=', u'-', u';', u'#', u' ',
                                            u'\t', 0xD800, 0xDC00, 0xFEFF, 0xFFFE, u'a', u'Z'};
    static constexpr char16_t kUnwritable[] = {u'\r', u'\n', u'\0'};
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0: return kUnwritable[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kUnwritable) - 1)];
    case 1: return in.ConsumeIntegral<char16_t>();
    default: return kAwkward[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kAwkward) - 1)];
    }
}

std::u16string Name(FuzzedDataProvider& in, std::size_t maxLength, bool allowBackslash) {
    std::u16string name;
    const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, maxLength);
    while (name.size() < length) {
        const char16_t c = Unit(in);
        if (c == u'\\' && !allowBackslash) continue;
        name += c;
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    static constexpr std::u16string_view kRoots[] = {u"HKEY_LOCAL_MACHINE", u"HKEY_CURRENT_USER", u"HKEY_CLASSES_ROOT"};
    std::vector<RegSection> sections;
    bool representable = true;
    const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 6);
    for (std::size_t s = 0; s < count; ++s) {
        RegSection section;
        section.path = kRoots[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kRoots) - 1)];
        const std::size_t depth = in.ConsumeIntegralInRange<std::size_t>(1, 3);
        for (std::size_t d = 0; d < depth; ++d) {
            std::u16string component = Name(in, 8, false);
            if (component.empty()) component = u"k";  // a key name is never empty
            section.path += u'\\' + component;
        }
        representable = representable && lark::backup::IsRepresentable(section.path);
        section.remove = in.ConsumeIntegralInRange<int>(0, 4) == 0;
        const std::size_t values = section.remove ? 0 : in.ConsumeIntegralInRange<std::size_t>(0, 5);
        for (std::size_t v = 0; v < values; ++v) {
            RegEntry entry;
            entry.name = Name(in, 8, true);
            representable = representable && lark::backup::IsRepresentable(entry.name);
            entry.remove = in.ConsumeIntegralInRange<int>(0, 5) == 0;
            if (!entry.remove) {
                static constexpr std::uint32_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 11};
                entry.type = in.ConsumeBool() ? kTypes[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kTypes) - 1)]
                                              : in.ConsumeIntegral<std::uint32_t>();
                if (in.ConsumeBool()) {  // text, often well-formed
                    for (const char16_t c : Name(in, 12, true)) entry.data.push_back(c & 0xFF), entry.data.push_back(c >> 8);
                    if (in.ConsumeBool()) entry.data.push_back(0), entry.data.push_back(0);
                } else {
                    entry.data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 120));
                }
            }
            section.entries.push_back(std::move(entry));
        }
        sections.push_back(std::move(section));
    }

    const auto text = lark::backup::FormatRegText(sections);
    if (!text) {
        if (representable) __builtin_trap();  // refused what could be written
        return 0;
    }
    if (!representable) __builtin_trap();  // wrote what cannot be read back

    test::Registry expected;
    for (const RegSection& section : sections) test::Apply(expected, section);
    const auto imported = test::Import(lark::backup::RegFileBytes(*text), {});
    if (!imported || *imported != expected) __builtin_trap();
    return 0;
}
