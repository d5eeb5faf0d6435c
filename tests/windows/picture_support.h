// Helpers of the picture control tests: a host window with the control, memory blocks, the
// shipped animation's bytes and small GIFs made on the spot.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/picture_ex.h"
#include "framework/handles.h"
#include "resource.h"
#include "support/ui.h"

namespace test {

using Bytes = std::vector<uint8_t>;

// A shown top-level window holding a static placeholder (id 1020) bound to a CPictureEx.
struct PictureWindow {
    PageHost host;
    CPictureEx picture;
    HWND control = nullptr;

    PictureWindow() {
        control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 10, 10, 201, 27,
                                    host.m_hWnd, reinterpret_cast<HMENU>(IDC_PICTURE), ::GetModuleHandleW(nullptr),
                                    nullptr);
        picture.Attach(control);
        ::ShowWindow(host.m_hWnd, SW_SHOW);
        ::UpdateWindow(host.m_hWnd);
    }
    SIZE ControlSize() const {
        RECT r{};
        ::GetWindowRect(control, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    BOOL Load(const Bytes& data) {
        lark::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, data.empty() ? 1 : data.size()));
        if (void* p = ::GlobalLock(block.get())) {
            if (!data.empty()) std::memcpy(p, data.data(), data.size());
            ::GlobalUnlock(block.get());
        }
        return picture.LoadFromMemoryBlock(block.get(), static_cast<DWORD>(data.size()));
    }
    COLORREF SurfacePixel(int x, int y) const { return ::GetPixel(picture.SurfaceDc(), x, y); }
    // What the control shows on screen at (x, y), after painting what is pending.
    COLORREF ScreenPixel(int x, int y) const {
        ::UpdateWindow(control);
        lark::WindowDc dc(control);
        return ::GetPixel(dc.get(), x, y);
    }
};

inline Bytes ShippedAnimation() {
    HRSRC info = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_PCGIF), L"PCGIF");
    if (!info) return {};
    const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, info)));
    return Bytes(data, data + ::SizeofResource(nullptr, info));
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// GIF89a header with a four-colour global table: 0 red, 1 green, 2 blue, 3 white.
inline Bytes GifHeader(int width, int height) {
    return {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
            0x81, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
}
inline Bytes GifControl(unsigned delay, int disposal) {
    return {0x21, 0xF9, 0x04, uint8_t(disposal << 2), uint8_t(delay), uint8_t(delay >> 8), 0, 0};
}
// An image of one colour index, LZW-coded without growing the code table: a clear code before
// every two pixels keeps all codes three bits wide.
inline Bytes GifImage(int left, int top, int width, int height, uint8_t index) {
    std::vector<int> codes;
    const int pixels = width * height;
    for (int i = 0; i < pixels; ++i) {
        if (i % 2 == 0) codes.push_back(4);
        codes.push_back(index);
    }
    codes.push_back(5);
    Bytes packed;
    unsigned bits = 0, count = 0;
    for (int code : codes) {
        bits |= static_cast<unsigned>(code) << count;
        count += 3;
        while (count >= 8) {
            packed.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count) packed.push_back(uint8_t(bits));
    Bytes b = {0x2C, uint8_t(left), uint8_t(left >> 8), uint8_t(top), uint8_t(top >> 8), uint8_t(width),
               uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), 0, 2};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = packed.size() - at < 255 ? packed.size() - at : 255;
        b.push_back(uint8_t(n));
        b.insert(b.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
                 packed.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    b.push_back(0);
    return b;
}
inline const Bytes kGifTrailer = {0x3B};

// A 24-bit bottom-up BMP file of one colour.
inline Bytes BmpFile(int width, int height, COLORREF colour) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t pixels = static_cast<uint32_t>(stride * height);
    Bytes b(54 + pixels, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    put32(34, pixels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &b[54 + y * stride + x * 3];
            p[0] = GetBValue(colour);
            p[1] = GetGValue(colour);
            p[2] = GetRValue(colour);
        }
    }
    return b;
}

}  // namespace test
