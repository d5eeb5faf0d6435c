// A strict JSON reader for tests (RFC 8259 and nothing more): valid UTF-8 throughout, no byte-order
// mark, no trailing commas, comments, NaN, leading zeros, unescaped control characters, lone
// surrogates (escaped or not), duplicate member names or text after the document. Plain C++: used
// by the host and the Windows tests alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace strict_json {

struct Member;

struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a number as written, or a string decoded to UTF-8
    std::vector<Value> items;
    std::vector<Member> members;  // in document order

    // The member of that name; nullptr when there is none or this is no object.
    const Value* Get(std::string_view name) const;
};

struct Member {
    std::string first;  // the name
    Value second;
};

inline const Value* Value::Get(std::string_view name) const {
    for (const Member& member : members) {
        if (member.first == name) return &member.second;
    }
    return nullptr;
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
inline bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t length;
        uint32_t c;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, c = b & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<Value> Document() {
        if (!IsValidUtf8(text_)) return Fail("not UTF-8");
        Value value;
        SkipSpace();
        if (!ParseValue(value, 0)) return std::nullopt;
        SkipSpace();
        if (pos_ != text_.size()) return Fail("text after the document");
        return value;
    }
    const std::string& Error() const { return error_; }
    size_t Position() const { return pos_; }

private:
    static constexpr int kMaxDepth = 64;

    std::nullopt_t Fail(const char* what) {
        if (error_.empty()) error_ = what;
        return std::nullopt;
    }
    bool Failed(const char* what) {
        Fail(what);
        return false;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++pos_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return Failed("bad literal");
        pos_ += word.size();
        return true;
    }

    bool ParseValue(Value& value, int depth) {
        if (depth > kMaxDepth) return Failed("too deep");
        switch (Peek()) {
        case '{': return ParseObject(value, depth);
        case '[': return ParseArray(value, depth);
        case '"': value.kind = Value::Kind::String; return ParseString(value.text);
        case 't': value.kind = Value::Kind::Bool; value.boolean = true; return Literal("true");
        case 'f': value.kind = Value::Kind::Bool; value.boolean = false; return Literal("false");
        case 'n': value.kind = Value::Kind::Null; return Literal("null");
        default: value.kind = Value::Kind::Number; return ParseNumber(value.text);
        }
    }

    bool ParseObject(Value& value, int depth) {
        value.kind = Value::Kind::Object;
        ++pos_;
        SkipSpace();
        if (Peek() == '}') return ++pos_, true;
        for (;;) {
            SkipSpace();
            if (Peek() != '"') return Failed("member name expected");
            std::string name;
            if (!ParseString(name)) return false;
            if (value.Get(name)) return Failed("duplicate member name");
            SkipSpace();
            if (Peek() != ':') return Failed("colon expected");
            ++pos_;
            SkipSpace();
            Value member;
            if (!ParseValue(member, depth + 1)) return false;
            value.members.push_back(Member{std::move(name), std::move(member)});
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() == '}') return ++pos_, true;
            return Failed("comma or closing brace expected");
        }
    }

    bool ParseArray(Value& value, int depth) {
        value.kind = Value::Kind::Array;
        ++pos_;
        SkipSpace();
        if (Peek() == ']') return ++pos_, true;
        for (;;) {
            SkipSpace();
            Value item;
            if (!ParseValue(item, depth + 1)) return false;
            value.items.push_back(std::move(item));
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            if (Peek() == ']') return ++pos_, true;
            return Failed("comma or closing bracket expected");
        }
    }

    bool Digits() {
        const size_t start = pos_;
        while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++pos_;
        return pos_ > start;
    }

    bool ParseNumber(std::string& number) {
        const size_t start = pos_;
        if (Peek() == '-') ++pos_;
        if (Peek() == '0') {
            ++pos_;
        } else if (!Digits()) {
            return Failed("value expected");
        }
        if (Peek() == '.') {
            ++pos_;
            if (!Digits()) return Failed("digits expected after the point");
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-') ++pos_;
            if (!Digits()) return Failed("digits expected in the exponent");
        }
        number.assign(text_.substr(start, pos_ - start));
        return true;
    }

    bool Hex4(uint32_t& unit) {
        if (pos_ + 4 > text_.size()) return Failed("short escape");
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            unit <<= 4;
            if (c >= '0' && c <= '9') unit |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') unit |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') unit |= static_cast<uint32_t>(c - 'A' + 10);
            else return Failed("bad hex digit");
        }
        return true;
    }

    static void Append(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    bool ParseString(std::string& out) {
        ++pos_;  // the opening quote
        for (;;) {
            if (AtEnd()) return Failed("unterminated string");
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return Failed("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (AtEnd()) return Failed("unterminated escape");
            switch (text_[pos_++]) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t unit = 0;
                if (!Hex4(unit)) return false;
                if (unit >= 0xDC00 && unit <= 0xDFFF) return Failed("lone low surrogate");
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    uint32_t low = 0;
                    if (text_.substr(pos_, 2) != "\\u") return Failed("lone high surrogate");
                    pos_ += 2;
                    if (!Hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return Failed("lone high surrogate");
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                }
                Append(out, unit);
                break;
            }
            default: return Failed("bad escape");
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string error_;
};

inline std::optional<Value> Parse(std::string_view text, std::string* error = nullptr) {
    Parser parser(text);
    auto value = parser.Document();
    if (!value && error) *error = parser.Error() + " at byte " + std::to_string(parser.Position());
    return value;
}

}  // namespace strict_json
