#include "app/picture_ex.h"

#include <process.h>

#include <cstring>

#include "app/gif_blocks.h"
#include "framework/resources.h"
#include "resource.h"

std::atomic<int> CPictureEx::s_passes{0};

namespace {

constexpr DWORD kStopWaitMs = 5000;

// Renders a whole picture (bottom-up HIMETRIC source rectangle) into dc at the given place.
HRESULT RenderWhole(IPicture* picture, HDC dc, int x, int y, int width, int height) {
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    return picture->Render(dc, x, y, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
}

}  // namespace

bool CPictureEx::MemorySurface::Create(HDC compatible, int width, int height) {
    Release();
    lark::UniqueMemoryDc newDc(::CreateCompatibleDC(compatible));
    if (!newDc) return false;
    lark::UniqueBitmap newBitmap(::CreateCompatibleBitmap(compatible, width, height));
    if (!newBitmap) return false;
    HGDIOBJ old = ::SelectObject(newDc.get(), newBitmap.get());
    if (!old || old == HGDI_ERROR) return false;
    dc = std::move(newDc);
    bitmap = std::move(newBitmap);
    replaced = old;
    return true;
}

void CPictureEx::MemorySurface::Release() {
    if (dc && replaced) ::SelectObject(dc.get(), replaced);
    replaced = nullptr;
    dc.reset();
    bitmap.reset();
}

CPictureEx::CPictureEx() : m_stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CPictureEx::~CPictureEx() { ReleasePicture(); }

BOOL CPictureEx::LoadAnimationResource() {
    const auto bytes = lark::ResourceBytes(lark::ResourceInstance(), MAKEINTRESOURCEW(IDR_PCGIF), L"PCGIF");
    if (!bytes || bytes->empty()) return FALSE;
    const DWORD size = static_cast<DWORD>(bytes->size());

    lark::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!block) return FALSE;
    void* target = ::GlobalLock(block.get());
    if (!target) return FALSE;
    std::memcpy(target, bytes->data(), size);
    ::GlobalUnlock(block.get());
    return LoadFromMemoryBlock(block.get(), size);
}

BOOL CPictureEx::LoadStillPicture(HGLOBAL block, DWORD size) {
    lark::UniqueComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(block, FALSE, stream.put())) || !stream) return FALSE;
    const HRESULT hr =
        ::OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, m_picture.put_void());
    if (FAILED(hr) || !m_picture) {
        m_picture.reset();
        return FALSE;
    }
    return TRUE;
}

BOOL CPictureEx::LoadFromMemoryBlock(HGLOBAL block, DWORD size) {
    ReleasePicture();
    const BYTE* data = static_cast<const BYTE*>(::GlobalLock(block));
    if (!data) return FALSE;
    // Never read past the block, whatever size the caller claims.
    const SIZE_T blockSize = ::GlobalSize(block);
    if (size > blockSize) size = static_cast<DWORD>(blockSize);
    m_dataSize = size;

    if (!gif::IsGif(data, size)) {
        ::GlobalUnlock(block);
        if (!LoadStillPicture(block, size)) {
            ReleasePicture();
            return FALSE;
        }
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        m_picture->get_Width(&hmWidth);
        m_picture->get_Height(&hmHeight);
        lark::WindowDc dc(m_hWnd);
        m_width = ::MulDiv(hmWidth, ::GetDeviceCaps(dc.get(), LOGPIXELSX), 2540);
        m_height = ::MulDiv(hmHeight, ::GetDeviceCaps(dc.get(), LOGPIXELSY), 2540);
    } else {
        m_isGif = true;
        m_gifData = data;
        const gif::ScreenInfo screen = gif::ReadScreen(data, size);
        m_width = screen.width;
        m_height = screen.height;
        m_colourTableSize = static_cast<DWORD>(screen.colourTableSize);
        m_scanOffset = static_cast<DWORD>(screen.FirstBlock());

        int frames = 0;
        while (SkipFrameBlock()) ++frames;
        if (frames == 0) {
            ::GlobalUnlock(block);
            ReleasePicture();
            return FALSE;
        }
        if (frames == 1) {
            ::GlobalUnlock(block);
            m_gifData = nullptr;
            if (!LoadStillPicture(block, size)) {
                ReleasePicture();
                return FALSE;
            }
        } else {
            m_scanOffset = static_cast<DWORD>(screen.FirstBlock());
            for (;;) {
                DWORD length = 0;
                AnimationFrame frame;
                HGLOBAL file = ExtractFrameBlock(length, frame);
                if (!file) break;
                lark::UniqueComPtr<IStream> stream;
                if (FAILED(::CreateStreamOnHGlobal(file, TRUE, stream.put())) || !stream) {
                    ::GlobalFree(file);
                    continue;
                }
                const HRESULT hr = ::OleLoadPicture(stream.get(), static_cast<LONG>(length), FALSE, IID_IPicture,
                                                   frame.picture.put_void());
                if (SUCCEEDED(hr) && frame.picture) m_frames.push_back(std::move(frame));
            }
            ::GlobalUnlock(block);
            m_gifData = nullptr;
            if (m_frames.empty()) {
                ReleasePicture();
                return FALSE;
            }
        }
    }

    if (!PrepareSurface(m_width, m_height)) {
        ReleasePicture();
        return FALSE;
    }
    return TRUE;
}

bool CPictureEx::SkipFrameBlock() {
    if (!m_gifData) return false;
    gif::Scanner scanner{m_gifData, m_dataSize, m_colourTableSize, m_scanOffset};
    const bool skipped = scanner.SkipFrameBlock();
    m_scanOffset = static_cast<DWORD>(scanner.offset);
    return skipped;
}

HGLOBAL CPictureEx::ExtractFrameBlock(DWORD& length, AnimationFrame& frame) {
    if (!m_gifData) return nullptr;
    gif::Scanner scanner{m_gifData, m_dataSize, m_colourTableSize, m_scanOffset};
    const std::optional<gif::Frame> found = scanner.ExtractFrameBlock();
    m_scanOffset = static_cast<DWORD>(scanner.offset);
    if (!found) return nullptr;

    const size_t total = scanner.FrameFileSize(*found);
    HGLOBAL file = ::GlobalAlloc(GMEM_FIXED, total);
    if (!file) return nullptr;
    scanner.WriteFrameFile(*found, static_cast<uint8_t*>(file));  // a fixed block's handle is its address
    length = static_cast<DWORD>(total);
    frame.left = found->left;
    frame.top = found->top;
    frame.width = found->width;
    frame.height = found->height;
    frame.delay = found->delay;
    frame.disposal = found->disposal;
    return file;
}

BOOL CPictureEx::PrepareSurface(int width, int height) {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    lark::WindowDc dc(m_hWnd);
    if (!dc) return FALSE;
    if (!m_surface.Create(dc.get(), width, height)) return FALSE;
    m_background = ::GetSysColor(COLOR_BTNFACE);
    const RECT whole{0, 0, width, height};
    ::FillRect(m_surface.dc.get(), &whole, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
    m_ready = true;
    return TRUE;
}

BOOL CPictureEx::StartPlayback() {
    if (!m_ready) return FALSE;
    if (m_isGif && m_frames.size() > 1) {
        if (m_thread.load()) return TRUE;  // already playing: one thread per control
        if (m_lingering) return FALSE;     // an earlier thread has not left yet
        unsigned id = 0;
        HANDLE thread = reinterpret_cast<HANDLE>(
            ::_beginthreadex(nullptr, 0, &CPictureEx::PlaybackThread, this, CREATE_SUSPENDED, &id));
        if (!thread) return FALSE;
        m_thread.store(thread);
        ::ResumeThread(thread);
        return TRUE;
    }
    if (!m_picture) return FALSE;
    if (FAILED(RenderWhole(m_picture.get(), m_surface.dc.get(), 0, 0, m_width, m_height))) return FALSE;
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

unsigned __stdcall CPictureEx::PlaybackThread(void* self) {
    static_cast<CPictureEx*>(self)->Playback();
    return 0;
}

void CPictureEx::FillSurface(const RECT& area, bool* brushMade) {
    lark::UniqueBrush brush(::CreateSolidBrush(m_background));
    if (brushMade) *brushMade = static_cast<bool>(brush);
    if (brush) ::FillRect(m_surface.dc.get(), &area, brush.get());
}

void CPictureEx::DisposeFrame(const AnimationFrame& frame) {
    if (frame.disposal == 2) {
        const RECT area{frame.left, frame.top, frame.left + frame.width, frame.top + frame.height};
        FillSurface(area);
    } else if (frame.disposal == 3 && m_saveArea.dc) {
        ::BitBlt(m_surface.dc.get(), frame.left, frame.top, frame.width, frame.height, m_saveArea.dc.get(), 0, 0,
                 SRCCOPY);
        m_saveArea.Release();
    }
}

void CPictureEx::Playback() {
    // The control's window as it was at the start: after its destruction m_hWnd is cleared, and
    // InvalidateRect(NULL) would repaint every window of the desktop.
    const HWND window = m_hWnd;
    m_playing = true;
    if (m_currentFrame < m_frames.size()) DisposeFrame(m_frames[m_currentFrame]);

    while (!m_stopRequested && s_passes.load() < 1) {
        const AnimationFrame& frame = m_frames[m_currentFrame];
        if (frame.picture) {
            if (frame.disposal == 3 && m_saveArea.Create(m_surface.dc.get(), frame.width, frame.height)) {
                ::BitBlt(m_saveArea.dc.get(), 0, 0, frame.width, frame.height, m_surface.dc.get(), frame.left,
                         frame.top, SRCCOPY);
            }
            if (SUCCEEDED(RenderWhole(frame.picture.get(), m_surface.dc.get(), frame.left, frame.top, frame.width,
                                      frame.height)) &&
                window) {
                ::InvalidateRect(window, nullptr, FALSE);
            }
            if (m_stopRequested) break;
            ::WaitForSingleObject(m_stopEvent.get(), gif::DisplayTimeMs(frame.delay));
            if (m_stopRequested) break;
            DisposeFrame(frame);
        }
        if (++m_currentFrame >= m_frames.size()) {
            m_currentFrame = 0;
            bool brushMade = false;
            FillSurface(RECT{0, 0, m_width, m_height}, &brushMade);
            if (brushMade) ++s_passes;
        }
        if (m_stopRequested) break;
    }

    m_playing = false;
    // Whoever takes the stored handle closes it: this thread when it ends on its own, StopPlayback
    // when it took the handle first to wait on it. Nothing of the control is touched after this.
    if (HANDLE own = m_thread.exchange(nullptr)) ::CloseHandle(own);
}

void CPictureEx::StopPlayback() {
    m_playing = false;
    m_stopRequested = true;
    ::SetEvent(m_stopEvent.get());
    if (HANDLE thread = m_thread.exchange(nullptr)) {
        if (::WaitForSingleObject(thread, kStopWaitMs) == WAIT_TIMEOUT) {
            // Still drawing: keep the stop request up so that it leaves at its next check, and let
            // the release wait for it before freeing what it draws with.
            m_lingering.reset(thread);
            return;
        }
        ::CloseHandle(thread);
    }
    if (m_lingering) return;
    ::ResetEvent(m_stopEvent.get());
    m_stopRequested = false;
}

void CPictureEx::ReleasePicture() {
    StopPlayback();
    if (m_lingering) {
        ::WaitForSingleObject(m_lingering.get(), INFINITE);
        m_lingering.reset();
        ::ResetEvent(m_stopEvent.get());
        m_stopRequested = false;
    }

    m_picture.reset();
    m_frames.clear();
    m_surface.Release();
    m_saveArea.Release();

    m_gifData = nullptr;
    m_isGif = false;
    m_ready = false;
    m_stopRequested = false;
    m_background = 0xFFFFFF;
    m_colourTableSize = 0;
    m_scanOffset = 0;
    m_currentFrame = 0;
    m_dataSize = 0;
}

bool CPictureEx::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(m_hWnd, &paint);
            if (dc && m_ready && m_surface.dc) {
                ::BitBlt(dc, 0, 0, m_width, m_height, m_surface.dc.get(), 0, 0, SRCCOPY);
            }
            ::EndPaint(m_hWnd, &paint);
            result = 0;
            return true;
        }
        case WM_DESTROY:
            StopPlayback();
            return false;  // then the default handling
        default:
            return false;
    }
}
