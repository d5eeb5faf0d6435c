#include "app/gif_blocks.h"

#include <cstring>

namespace gif {
namespace {

unsigned Word(const uint8_t* p) { return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8); }

// Length of the data sub-block chain at offset (sizes plus their own bytes plus the terminator),
// or nothing when it runs past the end.
std::optional<size_t> ChainLength(const uint8_t* data, size_t size, size_t offset) {
    size_t at = offset;
    while (at < size) {
        const size_t sub = data[at];
        if (sub == 0) return at + 1 - offset;
        if (sub + 1 > size - at) return std::nullopt;
        at += sub + 1;
    }
    return std::nullopt;
}

// A fixed-size head followed by a chain.
std::optional<size_t> HeadAndChain(const uint8_t* data, size_t size, size_t offset, size_t head) {
    if (head > size - offset) return std::nullopt;
    const auto chain = ChainLength(data, size, offset + head);
    if (!chain) return std::nullopt;
    return head + *chain;
}

size_t TableSize(uint8_t packed) { return (packed & 0x80) ? 3u * (2u << (packed & 7)) : 0u; }

}  // namespace

bool IsGif(const uint8_t* data, size_t size) { return size >= 3 && std::memcmp(data, "GIF", 3) == 0; }

ScreenInfo ReadScreen(const uint8_t* data, size_t size) {
    ScreenInfo info;
    if (size < 13) return info;  // the first block then lies past the end: no frame
    info.width = static_cast<int>(Word(data + 6));
    info.height = static_cast<int>(Word(data + 8));
    info.colourTableSize = TableSize(data[10]);
    return info;
}

BlockKind ClassifyBlock(const uint8_t* data, size_t size, size_t offset) {
    if (offset >= size) return BlockKind::Unrecognised;
    switch (data[offset]) {
        case 0x2C: return BlockKind::Image;
        case 0x3B: return BlockKind::Trailer;
        case 0x21: break;
        default: return BlockKind::Unrecognised;
    }
    if (size - offset < 2) return BlockKind::Unrecognised;
    switch (data[offset + 1]) {
        case 0xFF: return BlockKind::Application;
        case 0xFE: return BlockKind::Comment;
        case 0xF9: return BlockKind::GraphicControl;
        case 0x01: return BlockKind::PlainText;
        default: return BlockKind::Unrecognised;
    }
}

std::optional<size_t> BlockLength(const uint8_t* data, size_t size, size_t offset) {
    switch (ClassifyBlock(data, size, offset)) {
        case BlockKind::Application: return HeadAndChain(data, size, offset, 14);
        case BlockKind::Comment: return HeadAndChain(data, size, offset, 2);
        case BlockKind::GraphicControl:  // fixed; its own size byte is not trusted
            if (size - offset < 8) return std::nullopt;
            return 8;
        case BlockKind::PlainText: return HeadAndChain(data, size, offset, 15);
        case BlockKind::Image: {
            if (size - offset < 10) return std::nullopt;
            return HeadAndChain(data, size, offset, 11 + TableSize(data[offset + 9]));
        }
        case BlockKind::Trailer: return 1;
        case BlockKind::Unrecognised: break;
    }
    return std::nullopt;
}

bool Scanner::Skip() {
    const auto length = BlockLength(data, size, offset);
    if (!length) return false;
    offset += *length;
    return true;
}

// The walk over one frame. visit(kind, offset) is called for the first block that is not an
// application or comment extension, for each further graphic control extension, and for the
// image or plain text block that ends the frame, before that block is skipped.
template <class Visitor>
bool Scanner::Walk(Visitor&& visit) {
    if (!data || offset >= size) return false;
    BlockKind kind = ClassifyBlock(data, size, offset);
    while (kind == BlockKind::Application || kind == BlockKind::Comment) {
        if (!Skip()) return false;
        kind = ClassifyBlock(data, size, offset);
    }
    if (kind == BlockKind::Unrecognised || kind == BlockKind::Trailer) return false;
    if (kind == BlockKind::GraphicControl) {
        for (;;) {
            if (kind == BlockKind::GraphicControl) {
                if (BlockLength(data, size, offset)) visit(kind, offset);
            }
            if (!Skip()) return false;
            kind = ClassifyBlock(data, size, offset);
            if (kind == BlockKind::Image || kind == BlockKind::PlainText) break;
            if (kind == BlockKind::Unrecognised || kind == BlockKind::Trailer) return false;
        }
    }
    if (!BlockLength(data, size, offset)) return false;
    visit(kind, offset);
    return Skip();
}

bool Scanner::SkipFrameBlock() {
    return Walk([](BlockKind, size_t) {});
}

std::optional<Frame> Scanner::ExtractFrameBlock() {
    Frame frame;
    bool begun = false;
    const bool found = Walk([&](BlockKind kind, size_t at) {
        if (!begun) {
            frame.begin = at;
            begun = true;
        }
        const uint8_t* block = data + at;  // Walk has checked that the whole block is inside the data
        if (kind == BlockKind::GraphicControl) {
            frame.delay = Word(block + 4);
            frame.disposal = (block[3] >> 2) & 7;
        } else if (kind == BlockKind::Image) {
            frame.left = static_cast<int>(Word(block + 1));
            frame.top = static_cast<int>(Word(block + 3));
            frame.width = static_cast<int>(Word(block + 5));
            frame.height = static_cast<int>(Word(block + 7));
        }
    });
    if (!found) return std::nullopt;
    frame.end = offset;
    return frame;
}

void Scanner::WriteFrameFile(const Frame& frame, uint8_t* out) const {
    const size_t head = 13 + colourTableSize;
    std::memcpy(out, data, head);
    std::memcpy(out + head, data + frame.begin, frame.Length());
    out[head + frame.Length()] = 0x3B;
}

std::vector<uint8_t> Scanner::FrameFile(const Frame& frame) const {
    std::vector<uint8_t> file(FrameFileSize(frame));
    WriteFrameFile(frame, file.data());
    return file;
}

unsigned DisplayTimeMs(std::optional<unsigned> delay) {
    if (!delay || *delay < 5) return 100;
    return *delay * 10;
}

}  // namespace gif
