#include "repair/extension_json.h"

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>
#include <rapidjson/stream.h>

#include <cstdint>

namespace {

using Utf16 = rapidjson::UTF16<char16_t>;
using Utf8 = rapidjson::UTF8<char>;
using SizeType = rapidjson::SizeType;

bool IsSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool IsLeadSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// What the reader writes strings in: UTF-16. The library (1.1.0) refuses an escaped lead surrogate
// without its trail, but hands an escaped lone trail surrogate (U+DC00 to U+DFFF written as an
// escape) to the encoder unchecked, which asserts on it, and in a build without assertions writes
// it as it is. Here it is written as it is in every build; the handlers then refuse any string
// that holds an unpaired surrogate.
struct Utf16Target : Utf16 {
    template <typename OutputStream>
    static void Encode(OutputStream& os, unsigned codepoint) {
        if (IsSurrogate(codepoint)) return os.Put(static_cast<char16_t>(codepoint));
        Utf16::Encode(os, codepoint);
    }
    template <typename OutputStream>
    static void EncodeUnsafe(OutputStream& os, unsigned codepoint) {
        if (IsSurrogate(codepoint)) return os.Put(static_cast<char16_t>(codepoint));
        Utf16::EncodeUnsafe(os, codepoint);
    }
};

bool HoldsUnpairedSurrogate(const char16_t* text, SizeType length) {
    for (SizeType i = 0; i < length; ++i) {
        if (IsLeadSurrogate(text[i]) && i + 1 < length && IsTrailSurrogate(text[i + 1])) {
            ++i;
        } else if (IsSurrogate(text[i])) {
            return true;
        }
    }
    return false;
}

// Strict JSON; nesting lives on the reader's own heap stack; text of another encoding or with
// unpaired surrogates is refused. (Numbers are read as numbers: the library's reading of them as
// raw text uses freed memory when a long number makes its stack grow.)
constexpr unsigned kParseFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;

std::u16string_view UpToNul(std::u16string_view text) {
    const auto nul = text.find(u'\0');
    return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

std::string_view WithoutByteOrderMark(std::string_view utf8) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    return utf8.substr(0, kMark.size()) == kMark ? utf8.substr(kMark.size()) : utf8;
}


char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// Keeps the nesting depth for the handlers below: the depth counts the objects and arrays open
// around the current event.
template <class Derived, class SourceEncoding>
class DepthHandler : public rapidjson::BaseReaderHandler<Utf16, Derived> {
public:
    using Ch = char16_t;
    bool Null() { return Scalar(); }
    bool Bool(bool) { return Scalar(); }
    bool Int(int) { return Scalar(); }
    bool Uint(unsigned) { return Scalar(); }
    bool Int64(std::int64_t) { return Scalar(); }
    bool Uint64(std::uint64_t) { return Scalar(); }
    bool Double(double) { return Scalar(); }
    bool String(const Ch* text, SizeType length, bool) {
        return !HoldsUnpairedSurrogate(text, length) && self().Text(text, length);
    }
    bool Key(const Ch* text, SizeType length, bool) {
        return !HoldsUnpairedSurrogate(text, length) && self().Name(text, length);
    }
    bool StartObject() { return self().Open(true); }
    bool StartArray() { return self().Open(false); }
    bool EndObject(SizeType) { return self().Close(); }
    bool EndArray(SizeType) { return self().Close(); }

protected:
    int depth = 0;

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    bool Scalar() { return self().Text(nullptr, 0); }
};

// Parses the whole text with the handler; true when it is valid JSON and the handler took all of it.
template <class SourceEncoding, class Handler>
bool Parse(rapidjson::GenericStringStream<SourceEncoding>& stream, Handler& handler) {
    rapidjson::GenericReader<SourceEncoding, Utf16Target> reader;
    return !reader.template Parse<kParseFlags>(stream, handler).IsError();
}

// ---- ExtensionSettings ----

struct MemberSpan {
    SettingsMember member;
    std::size_t end = 0;  // just after the closing brace of its value
};

// An object of objects: records each member's key, the two strings of its value and where its value
// ends. The reader is iterative, so that an opening or closing brace is reported with the stream
// still at it.
class SettingsHandler : public DepthHandler<SettingsHandler, Utf16> {
public:
    explicit SettingsHandler(std::u16string_view text, const rapidjson::GenericStringStream<Utf16>& stream)
        : text_(text), stream_(stream) {}

    std::vector<MemberSpan> members;
    std::size_t afterOpeningBrace = 0;

    bool Text(const Ch* text, SizeType length) {
        if (depth < 2) return false;  // the document and every member must be objects
        if (depth == 2) TakeInner(text, length);
        return true;
    }
    bool Name(const Ch* text, SizeType length) {
        if (depth == 1) members.push_back({SettingsMember{std::u16string(text, length), {}, {}}, 0});
        if (depth == 2) innerKey_.assign(text, length);
        return true;
    }
    bool Open(bool object) {
        if (depth < 2 && !object) return false;
        if (depth == 0 && !AtBrace(u'{', afterOpeningBrace)) return false;
        if (depth == 2) TakeInner(nullptr, 0);
        ++depth;
        return true;
    }
    bool Close() {
        --depth;
        if (depth == 1 && !AtBrace(u'}', members.back().end)) return false;
        return true;
    }

private:
    // The value of the current key of a member's object: a string, or (null) anything else. Of
    // repeated keys the last counts, as for any JSON object.
    void TakeInner(const Ch* text, SizeType length) {
        std::u16string* field = nullptr;
        if (innerKey_ == u"installation_mode") field = &members.back().member.installationMode;
        if (innerKey_ == u"update_url") field = &members.back().member.updateUrl;
        if (field && text) field->assign(text, length);
        if (field && !text) field->clear();
        innerKey_.clear();
    }

    // Where the stream stands after the brace it is at; false when it is not at that brace.
    bool AtBrace(char16_t brace, std::size_t& after) const {
        const std::size_t at = stream_.Tell();
        if (at >= text_.size() || text_[at] != brace) return false;
        after = at + 1;
        return true;
    }

    std::u16string_view text_;
    const rapidjson::GenericStringStream<Utf16>& stream_;
    std::u16string innerKey_;
};

struct SettingsLayout {
    std::vector<MemberSpan> members;
    std::size_t afterOpeningBrace = 0;
};

std::optional<SettingsLayout> ReadSettingsLayout(std::u16string_view text) {
    const std::u16string terminated(UpToNul(text));
    rapidjson::GenericStringStream<Utf16> stream(terminated.c_str());
    SettingsHandler handler(terminated, stream);
    if (!Parse(stream, handler)) return std::nullopt;
    return SettingsLayout{std::move(handler.members), handler.afterOpeningBrace};
}

bool IsJsonBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// ---- manifest and messages ----

class ManifestHandler : public DepthHandler<ManifestHandler, Utf8> {
public:
    std::optional<std::u16string> name;
    std::u16string locale;

    bool Text(const Ch* text, SizeType length) {
        if (depth == 0) return false;
        if (depth == 1) Take(text, length);
        return true;
    }
    bool Name(const Ch* text, SizeType length) {
        if (depth == 1) key_.assign(text, length);
        return true;
    }
    bool Open(bool object) {
        if (depth == 0 && !object) return false;
        if (depth == 1) Take(nullptr, 0);
        ++depth;
        return true;
    }
    bool Close() {
        --depth;
        return true;
    }

private:
    // A top-level member's value: a string, or (null) anything else; the last of a repeated key counts.
    void Take(const Ch* text, SizeType length) {
        if (key_ == u"name") name = text ? std::optional<std::u16string>(std::in_place, text, length) : std::nullopt;
        if (key_ == u"default_locale") locale = text ? std::u16string(text, length) : std::u16string();
        key_.clear();
    }

    std::u16string key_;
};

bool IsLocaleName(std::u16string_view locale) {
    if (locale.empty() || locale.size() > 20) return false;
    for (const char16_t c : locale) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                           c == u'_' || c == u'-';
        if (!plain) return false;
    }
    return true;
}

// The messages of a messages.json: the "message" string of the last member named as asked.
class MessagesHandler : public DepthHandler<MessagesHandler, Utf8> {
public:
    explicit MessagesHandler(std::u16string_view wanted) : wanted_(wanted) {}
    std::optional<std::u16string> message;

    bool Text(const Ch* text, SizeType length) {
        if (depth == 0) return false;
        if (depth == 1 && matching_) message.reset();  // a message that is no object has no text
        if (depth == 1) matching_ = false;
        if (depth == 2) Take(text, length);
        return true;
    }
    bool Name(const Ch* text, SizeType length) {
        if (depth == 1) {
            matching_ = EqualsIgnoringAsciiCase(std::u16string_view(text, length), wanted_);
            if (matching_) current_.reset();
        }
        if (depth == 2) key_.assign(text, length);
        return true;
    }
    bool Open(bool object) {
        if (depth == 0 && !object) return false;
        if (depth == 1 && matching_ && !object) {
            message.reset();
            matching_ = false;
        }
        if (depth == 2) Take(nullptr, 0);
        ++depth;
        return true;
    }
    bool Close() {
        --depth;
        if (depth == 1 && matching_) message = current_;
        if (depth == 1) matching_ = false;
        return true;
    }

private:
    void Take(const Ch* text, SizeType length) {
        if (matching_ && key_ == u"message") {
            current_ = text ? std::optional<std::u16string>(std::in_place, text, length) : std::nullopt;
        }
        key_.clear();
    }

    std::u16string_view wanted_;
    bool matching_ = false;
    std::optional<std::u16string> current_;
    std::u16string key_;
};

bool IsMessageNameCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'@';
}

}  // namespace

bool IsExtensionId(std::u16string_view text) {
    if (text.size() != 32) return false;
    for (const char16_t c : text) {
        if (LowerAscii(c) < u'a' || LowerAscii(c) > u'p') return false;
    }
    return true;
}

std::optional<ForceListEntry> ParseForceListEntry(std::u16string_view text) {
    const auto semicolon = text.find(u';');
    const std::u16string_view id = text.substr(0, semicolon);
    if (!IsExtensionId(id)) return std::nullopt;
    ForceListEntry entry{std::u16string(id), {}};
    if (semicolon != std::u16string_view::npos) entry.updateUrl = text.substr(semicolon + 1);
    return entry;
}

bool IsListItemName(std::u16string_view name) {
    std::size_t i = 0;
    bool negative = false;
    if (!name.empty() && (name[0] == u'+' || name[0] == u'-')) {
        negative = name[0] == u'-';
        i = 1;
    }
    if (i == name.size()) return false;
    std::int64_t value = 0;
    for (; i < name.size(); ++i) {
        if (name[i] < u'0' || name[i] > u'9') return false;
        value = value * 10 + (name[i] - u'0');
        if (value > (negative ? 2147483648LL : 2147483647LL)) return false;
    }
    return true;
}

bool SettingsMember::Installs() const {
    return installationMode == u"force_installed" || installationMode == u"normal_installed";
}

std::optional<std::vector<SettingsMember>> ReadExtensionSettings(std::u16string_view text) {
    auto layout = ReadSettingsLayout(text);
    if (!layout) return std::nullopt;
    std::vector<SettingsMember> members;
    members.reserve(layout->members.size());
    for (auto& span : layout->members) members.push_back(std::move(span.member));
    return members;
}

std::optional<std::u16string> RemoveSettingsMember(std::u16string_view text, std::size_t index) {
    const auto layout = ReadSettingsLayout(text);
    if (!layout || index >= layout->members.size()) return std::nullopt;
    const auto& members = layout->members;
    std::size_t from = 0, to = members[index].end;
    if (index > 0) {
        // From the end of the member before: its comma, this member's key and value.
        from = members[index - 1].end;
    } else {
        // From the opening brace: this member and, when another follows, the comma after it.
        from = layout->afterOpeningBrace;
        if (members.size() > 1) {
            while (to < text.size() && IsJsonBlank(text[to])) ++to;
            if (to >= text.size() || text[to] != u',') return std::nullopt;
            ++to;
        }
    }
    std::u16string rest(text);
    rest.erase(from, to - from);
    return rest;
}

std::optional<ManifestName> ReadManifestName(std::string_view utf8) {
    const std::string terminated(WithoutByteOrderMark(utf8));
    rapidjson::GenericStringStream<Utf8> stream(terminated.c_str());
    ManifestHandler handler;
    if (!Parse(stream, handler) || !handler.name) return std::nullopt;
    return ManifestName{*handler.name, IsLocaleName(handler.locale) ? handler.locale : u""};
}

std::optional<std::u16string> ReadMessage(std::string_view utf8, std::u16string_view messageName) {
    const std::string terminated(WithoutByteOrderMark(utf8));
    rapidjson::GenericStringStream<Utf8> stream(terminated.c_str());
    MessagesHandler handler(messageName);
    if (!Parse(stream, handler)) return std::nullopt;
    return handler.message;
}

std::optional<std::u16string> ResolveMessageReferences(
    std::u16string_view name, const std::function<std::optional<std::u16string>(std::u16string_view)>& lookup) {
    constexpr std::u16string_view kBegin = u"__MSG_", kEnd = u"__";
    std::u16string resolved;
    std::size_t at = 0;
    while (at < name.size()) {
        const auto begin = name.find(kBegin, at);
        if (begin == std::u16string_view::npos) break;
        const auto end = name.find(kEnd, begin + kBegin.size());
        if (end == std::u16string_view::npos) break;
        const std::u16string_view message = name.substr(begin + kBegin.size(), end - begin - kBegin.size());
        bool valid = !message.empty();
        for (const char16_t c : message) valid = valid && IsMessageNameCharacter(c);
        resolved.append(name.substr(at, begin - at));
        if (!valid) {
            // Not a reference: its text stays, and the search goes on after its opening.
            resolved.append(kBegin);
            at = begin + kBegin.size();
            continue;
        }
        const auto text = lookup ? lookup(message) : std::nullopt;
        if (!text) return std::nullopt;
        resolved.append(*text);
        at = end + kEnd.size();
    }
    if (at < name.size()) resolved.append(name.substr(at));
    return resolved;
}
