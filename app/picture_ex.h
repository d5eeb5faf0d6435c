// The animated picture control of the start-up banner: shows one picture held in memory, a GIF
// animation played on a thread of its own, or a still picture in any format OleLoadPicture reads.
// Frames are decoded once, at load time; playback renders them into an off-screen picture that
// WM_PAINT copies to the control.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <optional>
#include <vector>

#include "framework/com.h"
#include "framework/controls.h"

// One owned reference to an OLE picture.
using PictureRef = lark::UniqueComPtr<IPicture>;

// One decoded frame of a GIF animation.
struct AnimationFrame {
    PictureRef picture;
    int width = 0, height = 0;      // pixels, from the image descriptor
    int left = 0, top = 0;          // position in the logical screen
    std::optional<unsigned> delay;  // hundredths of a second; absent without a control extension
    int disposal = 0;               // 0-7
};

class CPictureEx : public lark::CStatic {
public:
    CPictureEx();
    ~CPictureEx() override;
    CPictureEx(const CPictureEx&) = delete;
    CPictureEx& operator=(const CPictureEx&) = delete;

    // Non-zero when the "PCGIF" resource 156 was found and loaded.
    BOOL LoadAnimationResource();
    // Non-zero when a picture was loaded from the block and the off-screen picture prepared.
    // The block is the caller's; it is only read.
    BOOL LoadFromMemoryBlock(HGLOBAL block, DWORD size);
    BOOL StartPlayback();
    void StopPlayback();
    void ReleasePicture();

    // State, for tests and the main window.
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsGif() const { return m_isGif; }
    bool IsReady() const { return m_ready; }
    bool IsPlaying() const { return m_playing; }
    bool HasThread() const { return m_thread.load() != nullptr; }
    bool HasStillPicture() const { return static_cast<bool>(m_picture); }
    size_t FrameCount() const { return m_frames.size(); }
    const std::vector<AnimationFrame>& Frames() const { return m_frames; }
    unsigned CurrentFrame() const { return m_currentFrame; }
    COLORREF BackgroundColour() const { return m_background; }
    HDC SurfaceDc() const { return m_surface.dc.get(); }
    // How many complete passes the animation has played in this process.
    static int PassCount() { return s_passes.load(); }

    bool WantsMessages() const override { return true; }
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // A memory device context with its bitmap selected, and the bitmap it replaced.
    struct MemorySurface {
        lark::UniqueMemoryDc dc;
        lark::UniqueBitmap bitmap;
        HGDIOBJ replaced = nullptr;
        ~MemorySurface() { Release(); }
        // Releases what it held, then makes a new one; false (and nothing held) on failure.
        bool Create(HDC compatible, int width, int height);
        // Selects the replaced bitmap back, deletes the context and the bitmap.
        void Release();
    };

    BOOL LoadStillPicture(HGLOBAL block, DWORD size);
    bool SkipFrameBlock();
    // The next frame as a small GIF file in a fixed global block (the caller frees it).
    HGLOBAL ExtractFrameBlock(DWORD& length, AnimationFrame& frame);
    BOOL PrepareSurface(int width, int height);
    void DisposeFrame(const AnimationFrame& frame);
    void FillSurface(const RECT& area, bool* brushMade = nullptr);
    void Playback();
    static unsigned __stdcall PlaybackThread(void* self);

    int m_width = 0;
    int m_height = 0;
    COLORREF m_background = 0xFFFFFF;
    std::atomic<unsigned> m_currentFrame{0};
    DWORD m_dataSize = 0;
    DWORD m_scanOffset = 0;
    DWORD m_colourTableSize = 0;
    bool m_isGif = false;
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_stopRequested{false};
    bool m_ready = false;
    MemorySurface m_surface;
    MemorySurface m_saveArea;
    std::atomic<HANDLE> m_thread{nullptr};
    lark::UniqueHandle m_lingering;  // a thread that outlived StopPlayback's wait; waited for before release
    lark::UniqueHandle m_stopEvent;
    PictureRef m_picture;
    std::vector<AnimationFrame> m_frames;
    const BYTE* m_gifData = nullptr;

    static std::atomic<int> s_passes;
};
