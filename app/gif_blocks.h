// The GIF block scanner of the picture control: walks the blocks of a GIF held in memory, counts
// its frames and cuts each frame out as a small GIF file of its own. No decoding happens here.
// Every read stays inside the data; a block that would run past the end ends the scan.
// No Windows header: this file is also built and tested on the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace gif {

enum class BlockKind { Application, Comment, GraphicControl, PlainText, Image, Trailer, Unrecognised };

// What the header and logical screen descriptor say, for data that starts with "GIF".
struct ScreenInfo {
    int width = 0;
    int height = 0;
    size_t colourTableSize = 0;  // bytes of the global colour table, 0 when there is none
    size_t FirstBlock() const { return 13 + colourTableSize; }
};

// True when the data starts with "GIF"; the version bytes that follow are not examined.
bool IsGif(const uint8_t* data, size_t size);
// Reads the logical screen descriptor. Data shorter than the descriptor gives zeros; its first
// block then lies past the end, so no frame is found.
ScreenInfo ReadScreen(const uint8_t* data, size_t size);

// The block at offset; Unrecognised when its bytes are missing.
BlockKind ClassifyBlock(const uint8_t* data, size_t size, size_t offset);
// Length of the block at offset, or nothing when the block is unrecognised or would run past the end
// (a block ending exactly at the end of the data is fine).
std::optional<size_t> BlockLength(const uint8_t* data, size_t size, size_t offset);

// One frame as the scanner found it: where its bytes lie in the source, and what it says.
struct Frame {
    size_t begin = 0;  // first byte: the graphic control extension, or the image / plain text block
    size_t end = 0;    // one past the last byte of the image / plain text block
    int left = 0, top = 0, width = 0, height = 0;  // from the image descriptor
    // From the frame's graphic control extension (the last one when there are several):
    std::optional<unsigned> delay;  // hundredths of a second; absent without a control extension
    int disposal = 0;               // bits 2-4 of its packed byte
    size_t Length() const { return end - begin; }
};

// Scan state over one GIF: the data, the size of its global colour table and the scan offset.
struct Scanner {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t colourTableSize = 0;
    size_t offset = 0;

    // Puts the scan offset on the first block after the header and global colour table.
    void Rewind() { offset = 13 + colourTableSize; }
    // Skips the next frame (with the extensions before it); false when none is left or a block is bad.
    bool SkipFrameBlock();
    // Like SkipFrameBlock, and tells where the frame lies and what it says.
    std::optional<Frame> ExtractFrameBlock();
    // Bytes of the small GIF file for a frame: header, screen descriptor and global colour table
    // of the source, the frame's bytes, the trailer.
    size_t FrameFileSize(const Frame& frame) const { return 13 + colourTableSize + frame.Length() + 1; }
    // Writes that file to out, which holds FrameFileSize(frame) bytes.
    void WriteFrameFile(const Frame& frame, uint8_t* out) const;
    std::vector<uint8_t> FrameFile(const Frame& frame) const;

private:
    bool Skip();
    template <class Visitor>
    bool Walk(Visitor&& visit);
};

// How long a frame shows, in milliseconds: delay x 10 from 5 up, 100 below 5 and without a delay.
unsigned DisplayTimeMs(std::optional<unsigned> delay);

}  // namespace gif
