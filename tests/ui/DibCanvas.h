#pragma once
// A 32-bit top-down DIB section selected into a memory DC, for tests that
// paint and read pixels back.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

class DibCanvas {
public:
    DibCanvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~DibCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool Ok() const { return dc_ != nullptr && bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    // Fills every pixel with a COLORREF.
    void Clear(COLORREF colour) {
        GdiFlush();
        for (int i = 0; i < width_ * height_; ++i) bits_[i] = ToDib(colour);
    }
    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t v = bits_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // Every pixel, row by row, as 0x00RRGGBB (the unused top byte cleared).
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        std::vector<uint32_t> pixels(bits_, bits_ + (bits_ ? width_ * height_ : 0));
        for (uint32_t& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }
    // Copies the w x h area at (x, y) of window's client area to (0, 0).
    void CopyFrom(HWND window, int x, int y) {
        HDC source = GetDC(window);
        BitBlt(dc_, 0, 0, width_, height_, source, x, y, SRCCOPY);
        ReleaseDC(window, source);
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    static uint32_t ToDib(COLORREF c) {
        return (static_cast<uint32_t>(GetRValue(c)) << 16) |
               (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
    }

    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// True when every channel of a and b differs by at most tolerance.
inline bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}
