// Arbitrary bytes through the GIF block scanner: counting and cutting must stay inside the data,
// agree on the number of frames, and cut frames that lie inside the data in file order.
#include <cstdlib>

#include "app/gif_blocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gif::IsGif(data, size)) return 0;
    const gif::ScreenInfo screen = gif::ReadScreen(data, size);
    gif::Scanner scanner{data, size, screen.colourTableSize};
    scanner.Rewind();
    size_t counted = 0;
    while (scanner.SkipFrameBlock()) ++counted;

    scanner.Rewind();
    size_t cut = 0, previousEnd = screen.FirstBlock();
    while (auto frame = scanner.ExtractFrameBlock()) {
        if (frame->begin < previousEnd || frame->end <= frame->begin || frame->end > size) std::abort();
        const std::vector<uint8_t> file = scanner.FrameFile(*frame);
        if (file.back() != 0x3B || file.size() != scanner.FrameFileSize(*frame)) std::abort();
        previousEnd = frame->end;
        ++cut;
    }
    if (cut != counted) std::abort();
    return 0;
}
