// The picture control with the real OLE picture loader: still pictures, the shipped animation,
// reloading a playing control, truncated and unreadable data. No test here lets a playback pass
// complete (the pass counter is process-wide); picture_ex_pass_test.cpp does that.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/gif_blocks.h"
#include "picture_support.h"

namespace {

using test::Bytes;
using test::operator+;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

TEST(PictureEx, OneImageGifIsAStillPictureSizedByItsScreenAndRenderedOnceWithoutAThread) {
    test::PictureWindow w;
    // The logical screen is larger than the image.
    const Bytes gif = test::GifHeader(40, 30) + test::GifControl(8, 2) + test::GifImage(0, 0, 20, 15, 0) +
                      test::kGifTrailer;
    ASSERT_TRUE(w.Load(gif));
    EXPECT_TRUE(w.picture.IsGif());
    EXPECT_TRUE(w.picture.HasStillPicture());
    EXPECT_EQ(w.picture.FrameCount(), 0u);
    EXPECT_EQ(w.picture.Width(), 40);
    EXPECT_EQ(w.picture.Height(), 30);
    EXPECT_EQ(w.ControlSize().cx, 40);
    EXPECT_EQ(w.ControlSize().cy, 30);
    // Prepared, not yet drawn: the surface holds the menu colour, the background is the button face.
    EXPECT_EQ(w.SurfacePixel(5, 5), ::GetSysColor(COLOR_MENU));
    EXPECT_EQ(w.picture.BackgroundColour(), ::GetSysColor(COLOR_BTNFACE));

    EXPECT_TRUE(w.picture.StartPlayback());
    EXPECT_FALSE(w.picture.HasThread());
    EXPECT_EQ(w.SurfacePixel(5, 5), kRed);
    EXPECT_EQ(w.ScreenPixel(5, 5), kRed);  // the paint handler copied it to the control
}

TEST(PictureEx, StillBitmapIsSizedFromItsHimetricSizeAtTheScreenResolution) {
    test::PictureWindow w;
    ASSERT_TRUE(w.Load(test::BmpFile(12, 7, kGreen)));
    EXPECT_FALSE(w.picture.IsGif());
    lark::WindowDc dc(w.control);
    // At 96 dpi the round trip through HIMETRIC gives the bitmap's own size.
    ASSERT_EQ(::GetDeviceCaps(dc.get(), LOGPIXELSX), 96);
    EXPECT_EQ(w.picture.Width(), 12);
    EXPECT_EQ(w.picture.Height(), 7);
    EXPECT_EQ(w.ControlSize().cx, 12);
    EXPECT_EQ(w.ControlSize().cy, 7);
    EXPECT_TRUE(w.picture.StartPlayback());
    EXPECT_EQ(w.SurfacePixel(11, 6), kGreen);
    EXPECT_EQ(w.ScreenPixel(0, 0), kGreen);
}

TEST(PictureEx, UnreadableDataReturnsZeroAndLeavesTheControlEmpty) {
    Bytes noise(4000);
    std::srand(7);
    for (auto& b : noise) b = static_cast<uint8_t>(std::rand());
    noise[0] = 'X';
    const Bytes header = test::GifHeader(20, 20);
    const struct {
        const char* name;
        Bytes data;
    } cases[] = {
        {"random bytes", noise},
        {"empty", {}},
        {"GIF and nothing else", {'G', 'I', 'F'}},
        {"GIF without any frame", header + test::kGifTrailer},
        {"GIF whose first block is unknown", header + Bytes{0x21, 0x77, 0} + test::GifImage(0, 0, 2, 2, 1)},
        {"GIF whose only image runs past the end", header + Bytes{0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 200, 1, 2}},
        {"GIF with two frames the loader cannot decode",
         header + Bytes{0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 1, 0xFF, 0} +
             Bytes{0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 1, 0xFF, 0} + test::kGifTrailer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::PictureWindow w;
        // A picture was there before: the failed load leaves nothing of it.
        ASSERT_TRUE(w.Load(test::BmpFile(4, 4, kGreen)));
        EXPECT_FALSE(w.Load(c.data));
        EXPECT_FALSE(w.picture.IsReady());
        EXPECT_FALSE(w.picture.IsGif());
        EXPECT_FALSE(w.picture.HasStillPicture());
        EXPECT_EQ(w.picture.FrameCount(), 0u);
        EXPECT_EQ(w.picture.SurfaceDc(), nullptr);
        EXPECT_EQ(w.picture.BackgroundColour(), 0xFFFFFFu);
        EXPECT_FALSE(w.picture.StartPlayback());
        w.ScreenPixel(0, 0);  // painting an empty control draws nothing and does not fail
    }
}

TEST(PictureEx, ShippedAnimationIsTwentyFullScreenFramesEndingOnTheBanner) {
    const Bytes data = test::ShippedAnimation();
    ASSERT_GT(data.size(), 13u + 768u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 6), "GIF87a");
    // Walk the blocks: control extensions and images only, no looping (application) extension.
    int controls = 0, images = 0, others = 0;
    for (size_t at = 13 + 768; at < data.size();) {
        const gif::BlockKind kind = gif::ClassifyBlock(data.data(), data.size(), at);
        if (kind == gif::BlockKind::Trailer) break;
        if (kind == gif::BlockKind::GraphicControl) {
            ++controls;
            EXPECT_EQ(data[at + 3] & 1, 1) << "transparent colour flag";
        } else if (kind == gif::BlockKind::Image) {
            ++images;
        } else {
            ++others;
        }
        const auto length = gif::BlockLength(data.data(), data.size(), at);
        ASSERT_TRUE(length);
        at += *length;
    }
    EXPECT_EQ(controls, 20);
    EXPECT_EQ(images, 20);
    EXPECT_EQ(others, 0);

    test::PictureWindow w;
    ASSERT_TRUE(w.picture.LoadAnimationResource());
    EXPECT_TRUE(w.picture.IsGif());
    EXPECT_EQ(w.picture.Width(), 690);
    EXPECT_EQ(w.picture.Height(), 109);
    EXPECT_EQ(w.ControlSize().cx, 690);
    EXPECT_EQ(w.ControlSize().cy, 109);
    ASSERT_EQ(w.picture.FrameCount(), 20u);
    for (const AnimationFrame& f : w.picture.Frames()) {
        EXPECT_EQ(f.left, 0);
        EXPECT_EQ(f.top, 0);
        EXPECT_EQ(f.width, 690);
        EXPECT_EQ(f.height, 109);
        EXPECT_EQ(f.delay, 8u);
        EXPECT_EQ(f.disposal, 2);
    }

    // The last frame, drawn as playback draws it, matches bitmap 152 to within the palette's error.
    HDC screen = ::GetDC(nullptr);
    lark::UniqueMemoryDc frameDc(::CreateCompatibleDC(screen));
    lark::UniqueBitmap frameBitmap(::CreateCompatibleBitmap(screen, 690, 109));
    lark::UniqueMemoryDc bannerDc(::CreateCompatibleDC(screen));
    lark::UniqueBitmap banner(::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANNER)));
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(banner);
    lark::SelectGuard selectFrame(frameDc.get(), frameBitmap.get());
    lark::SelectGuard selectBanner(bannerDc.get(), banner.get());
    IPicture* last = w.picture.Frames().back().picture.get();
    OLE_XSIZE_HIMETRIC hw = 0;
    OLE_YSIZE_HIMETRIC hh = 0;
    last->get_Width(&hw);
    last->get_Height(&hh);
    ASSERT_EQ(last->Render(frameDc.get(), 0, 0, 690, 109, 0, hh, hw, -hh, nullptr), S_OK);
    long total = 0, samples = 0, worst = 0;
    for (int y = 0; y < 109; y += 3) {
        for (int x = 0; x < 690; x += 3) {
            const COLORREF a = ::GetPixel(frameDc.get(), x, y), b = ::GetPixel(bannerDc.get(), x, y);
            const long d = std::labs(long(GetRValue(a)) - GetRValue(b)) + std::labs(long(GetGValue(a)) - GetGValue(b)) +
                           std::labs(long(GetBValue(a)) - GetBValue(b));
            total += d;
            worst = d > worst ? d : worst;
            ++samples;
        }
    }
    EXPECT_LT(total / samples, 6) << "mean difference per pixel (sum of three channels)";
    EXPECT_LT(worst, 120);
}

TEST(PictureEx, LoadingASecondPictureStopsPlaybackAndReleasesEveryEarlierFrameAndContext) {
    test::PictureWindow w;
    ASSERT_TRUE(w.picture.LoadAnimationResource());
    ASSERT_TRUE(w.picture.StartPlayback());
    ASSERT_TRUE(test::PumpUntil([&] { return w.picture.CurrentFrame() >= 2; }, 3000));
    EXPECT_TRUE(w.picture.IsPlaying());
    EXPECT_TRUE(w.picture.HasThread());

    // Keep an extra reference to every frame, and note the surface's context and bitmap.
    std::vector<IPicture*> frames;
    for (const AnimationFrame& f : w.picture.Frames()) {
        f.picture->AddRef();
        frames.push_back(f.picture.get());
    }
    HDC oldDc = w.picture.SurfaceDc();
    HGDIOBJ oldBitmap = ::GetCurrentObject(oldDc, OBJ_BITMAP);
    ASSERT_EQ(::GetObjectType(oldDc), static_cast<DWORD>(OBJ_MEMDC));
    ASSERT_EQ(::GetObjectType(oldBitmap), static_cast<DWORD>(OBJ_BITMAP));

    ASSERT_TRUE(w.Load(test::GifHeader(8, 8) + test::GifImage(0, 0, 8, 8, 0) + test::kGifTrailer));
    EXPECT_FALSE(w.picture.HasThread());
    EXPECT_FALSE(w.picture.IsPlaying());
    EXPECT_EQ(w.picture.FrameCount(), 0u);
    EXPECT_EQ(w.picture.CurrentFrame(), 0u);
    EXPECT_EQ(::GetObjectType(oldDc), 0u);
    EXPECT_EQ(::GetObjectType(oldBitmap), 0u);
    for (IPicture* p : frames) EXPECT_EQ(p->Release(), 0u) << "the control still held a reference";
    EXPECT_EQ(CPictureEx::PassCount(), 0);
    EXPECT_TRUE(w.picture.StartPlayback());
    EXPECT_EQ(w.SurfacePixel(3, 3), kRed);
}

TEST(PictureEx, DisposalMethodsLeaveClearOrRestoreTheFrameArea) {
    // Red over the whole screen, then a green square at (2,2) with the disposal under test, then a
    // long-showing blue dot at (0,0). While the dot shows, (3,3) tells what the disposal left.
    const struct {
        int disposal;
        bool background;  // else the colour below
        COLORREF colour;
    } cases[] = {{0, false, kGreen}, {1, false, kGreen}, {2, true, 0}, {3, false, kRed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disposal);
        const Bytes gif = test::GifHeader(8, 8) + test::GifControl(5, 0) + test::GifImage(0, 0, 8, 8, 0) +
                          test::GifControl(30, c.disposal) + test::GifImage(2, 2, 4, 4, 1) + test::GifControl(300, 0) +
                          test::GifImage(0, 0, 2, 2, 2) + test::kGifTrailer;
        test::PictureWindow w;
        ASSERT_TRUE(w.Load(gif));
        ASSERT_EQ(w.picture.FrameCount(), 3u);
        ASSERT_TRUE(w.picture.StartPlayback());
        ASSERT_TRUE(test::PumpUntil([&] { return w.picture.CurrentFrame() == 1; }, 2000));
        test::PumpMessages(20);
        EXPECT_EQ(w.SurfacePixel(3, 3), kGreen);
        EXPECT_EQ(w.SurfacePixel(7, 7), kRed);
        ASSERT_TRUE(test::PumpUntil([&] { return w.picture.CurrentFrame() == 2; }, 2000));
        test::PumpMessages(50);
        EXPECT_EQ(w.SurfacePixel(0, 0), RGB(0, 0, 255));
        EXPECT_EQ(w.SurfacePixel(3, 3), c.background ? w.picture.BackgroundColour() : c.colour);
        EXPECT_EQ(w.SurfacePixel(7, 7), kRed);
        w.picture.StopPlayback();
    }
    EXPECT_EQ(CPictureEx::PassCount(), 0);
}

TEST(PictureEx, TruncatedAnimationPlaysTheFramesBeforeTheCutAndResumesAfterAStop) {
    const Bytes full = test::ShippedAnimation();
    // Cut halfway through the tenth frame.
    gif::Scanner scanner{full.data(), full.size(), 768};
    scanner.Rewind();
    size_t ends[10] = {};
    for (size_t& end : ends) {
        ASSERT_TRUE(scanner.SkipFrameBlock());
        end = scanner.offset;
    }
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>((ends[8] + ends[9]) / 2));

    test::PictureWindow w;
    ASSERT_TRUE(w.Load(cut));
    ASSERT_EQ(w.picture.FrameCount(), 9u);
    ASSERT_TRUE(w.picture.StartPlayback());
    ASSERT_TRUE(test::PumpUntil([&] { return w.picture.CurrentFrame() >= 3; }, 3000));
    w.picture.StopPlayback();
    EXPECT_FALSE(w.picture.HasThread());
    const unsigned stoppedAt = w.picture.CurrentFrame();
    EXPECT_GE(stoppedAt, 3u);
    EXPECT_LT(stoppedAt, 9u);
    // The flower mark of a shown frame is on screen, not the background.
    EXPECT_NE(w.ScreenPixel(66, 20), w.picture.BackgroundColour());
    test::PumpMessages(200);
    EXPECT_EQ(w.picture.CurrentFrame(), stoppedAt) << "a stopped control keeps its frame";

    ASSERT_TRUE(w.picture.StartPlayback());
    ASSERT_TRUE(test::PumpUntil([&] { return w.picture.CurrentFrame() >= stoppedAt + 2; }, 3000));
    w.picture.StopPlayback();
    EXPECT_EQ(CPictureEx::PassCount(), 0);
}

}  // namespace
