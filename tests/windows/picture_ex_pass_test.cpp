// One complete pass of the shipped animation. The pass counter is process-wide and never reset,
// so this program holds the only test that lets a pass finish.
#include <gtest/gtest.h>

#include "picture_support.h"

namespace {

TEST(PictureExPass, ShippedAnimationPlaysOnePassThenStopsAndASecondStartDrawsNoFrame) {
    test::PictureWindow w;
    ASSERT_TRUE(w.picture.LoadAnimationResource());
    ASSERT_EQ(w.picture.FrameCount(), 20u);
    ASSERT_EQ(CPictureEx::PassCount(), 0);

    const COLORREF background = w.picture.BackgroundColour();
    bool sawMark = false;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(w.picture.StartPlayback());
    ASSERT_TRUE(test::PumpUntil(
        [&] {
            // The flower mark shows while the frames play.
            if (w.picture.HasThread() && w.ScreenPixel(66, 20) != background) sawMark = true;
            return !w.picture.HasThread();
        },
        10000));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_TRUE(sawMark);
    // 20 frames of 80 ms; rendering adds a little.
    EXPECT_GE(elapsed, 1550u) << elapsed;
    EXPECT_LE(elapsed, 3000u) << elapsed;
    EXPECT_EQ(CPictureEx::PassCount(), 1);
    EXPECT_FALSE(w.picture.IsPlaying());
    EXPECT_EQ(w.picture.CurrentFrame(), 0u);

    // The pass ends with the off-screen picture cleared and no repaint: the control keeps the last
    // frame, the whole banner, until it is next painted.
    for (POINT p : {POINT{0, 0}, POINT{66, 20}, POINT{345, 54}, POINT{689, 108}}) {
        EXPECT_EQ(w.SurfacePixel(p.x, p.y), background) << p.x << "," << p.y;
    }
    EXPECT_NE(w.ScreenPixel(66, 20), background);
    EXPECT_NE(w.ScreenPixel(600, 100), background);

    // A second start runs a thread that ends at once without drawing or asking for a repaint.
    ::ValidateRect(w.control, nullptr);
    ASSERT_TRUE(w.picture.StartPlayback());
    ASSERT_TRUE(test::PumpUntil([&] { return !w.picture.HasThread(); }, 1000));
    EXPECT_FALSE(::GetUpdateRect(w.control, nullptr, FALSE));
    EXPECT_EQ(w.picture.CurrentFrame(), 0u);
    EXPECT_EQ(CPictureEx::PassCount(), 1);
    for (POINT p : {POINT{0, 0}, POINT{66, 20}, POINT{689, 108}}) {
        EXPECT_EQ(w.SurfacePixel(p.x, p.y), background) << p.x << "," << p.y;
    }
    EXPECT_NE(w.ScreenPixel(66, 20), background);
}

}  // namespace
