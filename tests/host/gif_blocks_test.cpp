// The GIF block scanner on small hand-made GIFs: frame counts, the exact bytes of each cut-out
// frame file, what each frame says, and where bad or truncated data stops the scan.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gif_blocks.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Header and logical screen descriptor; a global colour table of 2^(bits) entries when bits > 0.
Bytes Header(const char* version, int width, int height, int bits) {
    Bytes b = {'G', 'I', 'F'};
    for (int i = 0; i < 3; ++i) b.push_back(static_cast<uint8_t>(version[i]));
    b.insert(b.end(), {uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8)});
    b.push_back(bits > 0 ? uint8_t(0x80 | (bits - 1)) : 0);
    b.insert(b.end(), {0, 0});
    for (int i = 0; bits > 0 && i < (3 << bits); ++i) b.push_back(uint8_t(i));
    return b;
}
Bytes Gce(unsigned delay, int disposal, bool transparent = false) {
    return {0x21, 0xF9, 0x04, uint8_t((disposal << 2) | (transparent ? 1 : 0)), uint8_t(delay), uint8_t(delay >> 8),
            0x07, 0x00};
}
// Sub-blocks holding the given text, then the terminator.
Bytes Chain(const std::string& text) {
    Bytes b;
    for (size_t at = 0; at < text.size(); at += 255) {
        const std::string part = text.substr(at, 255);
        b.push_back(uint8_t(part.size()));
        b.insert(b.end(), part.begin(), part.end());
    }
    b.push_back(0);
    return b;
}
Bytes Comment(const std::string& text) { return Bytes{0x21, 0xFE} + Chain(text); }
Bytes Application(const std::string& text) {
    return Bytes{0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'} + Chain(text);
}
Bytes PlainText() {
    return Bytes{0x21, 0x01, 0x0C, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0} + Chain("hi");
}
// Image descriptor, optional local colour table of 2^(bits) entries, LZW code size, image data.
Bytes Image(int left, int top, int width, int height, int localBits = 0, const std::string& pixels = "\x44\x01") {
    Bytes b = {0x2C, uint8_t(left), uint8_t(left >> 8), uint8_t(top), uint8_t(top >> 8), uint8_t(width),
               uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8)};
    b.push_back(localBits > 0 ? uint8_t(0x80 | (localBits - 1)) : 0);
    for (int i = 0; localBits > 0 && i < (3 << localBits); ++i) b.push_back(uint8_t(0xA0 + i));
    b.push_back(2);
    return b + Chain(pixels);
}
const Bytes kTrailer = {0x3B};

struct Cut {
    Bytes frameBytes;  // the frame's own blocks, as they lie in the source
    int left, top, width, height;
    std::optional<unsigned> delay;
    int disposal;
};

std::vector<std::optional<gif::Frame>> ExtractAll(gif::Scanner& scanner) {
    std::vector<std::optional<gif::Frame>> frames;
    scanner.Rewind();
    while (auto frame = scanner.ExtractFrameBlock()) frames.push_back(frame);
    return frames;
}

int CountFrames(const Bytes& data) {
    const gif::ScreenInfo screen = gif::ReadScreen(data.data(), data.size());
    gif::Scanner scanner{data.data(), data.size(), screen.colourTableSize};
    scanner.Rewind();
    int count = 0;
    while (scanner.SkipFrameBlock()) ++count;
    return count;
}

struct Case {
    const char* name;
    Bytes header;
    Bytes body;  // everything after the header
    std::vector<Cut> cuts;
};

TEST(GifBlocks, CountsAndCutsEveryFrameWithTheSourceHeader) {
    const Bytes h2 = Header("89a", 20, 10, 1);
    const Bytes h87 = Header("87a", 690, 109, 8);
    const Bytes plain = Header("89a", 5, 5, 0);
    const Bytes f1 = Gce(8, 2, true) + Image(0, 0, 20, 10);
    const Bytes f2 = Gce(3, 3) + Image(4, 2, 6, 5, 2);
    const Bytes f3 = Image(1, 2, 3, 4);
    const Bytes gceComment = Gce(10, 1) + Comment("between") + Image(0, 0, 2, 2);
    const Bytes gceApp = Gce(12, 0) + Application("x") + Image(0, 0, 2, 2);
    const Bytes twoGces = Gce(20, 1) + Gce(30, 2) + Image(0, 0, 1, 1);
    const Bytes longChain = Image(0, 0, 9, 9, 0, std::string(600, '\x55'));
    const std::vector<Case> cases = {
        {"two frames with control extensions", h2, f1 + f2 + kTrailer,
         {{f1, 0, 0, 20, 10, 8, 2}, {f2, 4, 2, 6, 5, 3, 3}}},
        {"leading application and comment extensions are not part of a frame", h87,
         Application("\x03\x01\x00\x00") + Comment("made here") + f1 + Comment("c") + f3 + kTrailer,
         {{f1, 0, 0, 20, 10, 8, 2}, {f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"no global colour table", plain, f3 + f3 + kTrailer,
         {{f3, 1, 2, 3, 4, std::nullopt, 0}, {f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"a comment or application extension after the control extension stays in the frame", h2,
         gceComment + gceApp + kTrailer, {{gceComment, 0, 0, 2, 2, 10, 1}, {gceApp, 0, 0, 2, 2, 12, 0}}},
        {"of two control extensions the later one counts", h2, twoGces + kTrailer, {{twoGces, 0, 0, 1, 1, 30, 2}}},
        {"a plain text extension is a frame", h2, PlainText() + Gce(5, 0) + PlainText() + f3 + kTrailer,
         {{PlainText(), 0, 0, 0, 0, std::nullopt, 0}, {Gce(5, 0) + PlainText(), 0, 0, 0, 0, 5, 0}, {f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"image data over several sub-blocks", h2, longChain + kTrailer, {{longChain, 0, 0, 9, 9, std::nullopt, 0}}},
        {"data after the trailer is ignored", h2, f3 + kTrailer + f3, {{f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"no trailer: the frame ending exactly at the end still counts", h2, f1, {{f1, 0, 0, 20, 10, 8, 2}}},
        {"nothing but a trailer", h2, kTrailer, {}},
        {"an unrecognised block ends the scan", h2, f3 + Bytes{0x00} + f3 + kTrailer, {{f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"an unknown extension label ends the scan", h2, f3 + Bytes{0x21, 0x02, 0x00} + f3, {{f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"a control extension followed by the trailer is no frame", h2, f3 + Gce(8, 2) + kTrailer,
         {{f3, 1, 2, 3, 4, std::nullopt, 0}}},
        {"a control extension followed by garbage is no frame", h2, f3 + Gce(8, 2) + Bytes{0x99, 0, 0},
         {{f3, 1, 2, 3, 4, std::nullopt, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data = c.header + c.body;
        const gif::ScreenInfo screen = gif::ReadScreen(data.data(), data.size());
        EXPECT_EQ(screen.FirstBlock(), c.header.size());
        EXPECT_EQ(CountFrames(data), static_cast<int>(c.cuts.size()));

        gif::Scanner scanner{data.data(), data.size(), screen.colourTableSize};
        const auto frames = ExtractAll(scanner);
        ASSERT_EQ(frames.size(), c.cuts.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            const gif::Frame& f = *frames[i];
            const Cut& want = c.cuts[i];
            EXPECT_EQ(scanner.FrameFile(f), c.header + want.frameBytes + kTrailer);
            EXPECT_EQ(scanner.FrameFileSize(f), c.header.size() + want.frameBytes.size() + 1);
            EXPECT_EQ(f.left, want.left);
            EXPECT_EQ(f.top, want.top);
            EXPECT_EQ(f.width, want.width);
            EXPECT_EQ(f.height, want.height);
            EXPECT_EQ(f.delay, want.delay);
            EXPECT_EQ(f.disposal, want.disposal);
        }
    }
}

TEST(GifBlocks, ScreenDescriptorAndVersion) {
    struct {
        Bytes data;
        bool gif;
        int width, height;
        size_t table;
    } cases[] = {
        {Header("89a", 690, 109, 8), true, 690, 109, 768},
        {Header("87a", 1, 2, 1), true, 1, 2, 6},
        {Header("\x00\xff?", 300, 0, 0), true, 300, 0, 0},  // any version bytes
        {Header("zzz", 4, 4, 3), true, 4, 4, 24},
        {Bytes{'G', 'I', 'F'}, true, 0, 0, 0},             // too short for a descriptor
        {Bytes{'G', 'I'}, false, 0, 0, 0},
        {Bytes{'g', 'i', 'f', '8', '9', 'a'}, false, 0, 0, 0},
        {Bytes{0x89, 'P', 'N', 'G'}, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gif::IsGif(c.data.data(), c.data.size()), c.gif);
        if (!c.gif) continue;
        const gif::ScreenInfo s = gif::ReadScreen(c.data.data(), c.data.size());
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.height, c.height);
        EXPECT_EQ(s.colourTableSize, c.table);
    }
    // Short data has no frame, and the scanner reads nothing past it.
    const Bytes shortGif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80};
    EXPECT_EQ(CountFrames(shortGif), 0);
}

TEST(GifBlocks, TruncatedDataEndsTheScanAtTheCut) {
    // Three frames; cut the data at every length and count what is left before the cut.
    const Bytes header = Header("87a", 8, 8, 2);
    const Bytes frame = Gce(8, 2, true) + Image(0, 0, 8, 8, 0, std::string(300, '\x11'));
    const Bytes data = header + frame + frame + frame + kTrailer;
    for (size_t cut = 0; cut <= data.size(); ++cut) {
        // A heap copy of exactly `cut` bytes, so that a read past the end is caught by the sanitiser.
        const Bytes part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
        const size_t whole = cut < header.size() ? 0 : (cut - header.size()) / frame.size();
        EXPECT_EQ(CountFrames(part), static_cast<int>(whole > 3 ? 3 : whole)) << cut;
    }
}

TEST(GifBlocks, BlockLengths) {
    const Bytes image = Image(0, 0, 1, 1, 1, "abc");
    struct {
        Bytes block;
        gif::BlockKind kind;
        std::optional<size_t> length;
    } cases[] = {
        {Application("ab"), gif::BlockKind::Application, 14 + 4},
        {Comment(""), gif::BlockKind::Comment, 3},
        {Gce(1, 1), gif::BlockKind::GraphicControl, 8},
        {Bytes{0x21, 0xF9, 0x09, 0, 0, 0, 0, 0}, gif::BlockKind::GraphicControl, 8},  // size byte not trusted
        {PlainText(), gif::BlockKind::PlainText, 15 + 4},
        {image, gif::BlockKind::Image, image.size()},
        {kTrailer, gif::BlockKind::Trailer, 1},
        {Bytes{0x21}, gif::BlockKind::Unrecognised, std::nullopt},
        {Bytes{0x21, 0x00, 0x00}, gif::BlockKind::Unrecognised, std::nullopt},
        {Bytes{0x2D}, gif::BlockKind::Unrecognised, std::nullopt},
        {Bytes{0x21, 0xF9, 0x04, 0, 0, 0, 0}, gif::BlockKind::GraphicControl, std::nullopt},  // one byte short
        {Bytes{0x21, 0xFE, 0x05, 'a', 'b'}, gif::BlockKind::Comment, std::nullopt},             // sub-block past the end
        {Bytes{0x21, 0xFE, 0x01, 'a'}, gif::BlockKind::Comment, std::nullopt},                  // no terminator
        {Bytes(image.begin(), image.begin() + 9), gif::BlockKind::Image, std::nullopt},         // descriptor cut
        {Bytes(image.begin(), image.begin() + 12), gif::BlockKind::Image, std::nullopt},        // colour table cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.block));
        EXPECT_EQ(gif::ClassifyBlock(c.block.data(), c.block.size(), 0), c.kind);
        EXPECT_EQ(gif::BlockLength(c.block.data(), c.block.size(), 0), c.length);
    }
    EXPECT_EQ(gif::ClassifyBlock(kTrailer.data(), kTrailer.size(), 1), gif::BlockKind::Unrecognised);
}

TEST(GifBlocks, DisplayTime) {
    const std::pair<std::optional<unsigned>, unsigned> cases[] = {
        {0u, 100}, {1u, 100}, {2u, 100}, {3u, 100}, {4u, 100}, {5u, 50}, {8u, 80}, {100u, 1000}, {std::nullopt, 100},
    };
    for (const auto& [delay, ms] : cases) EXPECT_EQ(gif::DisplayTimeMs(delay), ms);
}

}  // namespace
