// Painting a PxImage onto a GDI device context.
//
// An opaque image at natural size goes to the device in one
// device-independent-bits transfer. Every other case composes the visible
// part only (the paint box) in one temporary 24-bpp DIB section: stretched
// or smoothed pixels, and for images with transparency or alpha, blended
// over what the device already shows.
#include <cmath>
#include <cstring>

#include "image/PxImage.h"
#include "support/GdiHandles.h"

namespace {

using Corvane::Gdi::GdiObject;
using Corvane::Gdi::MemoryDC;
using Corvane::Gdi::ScopedSaveDC;
using Corvane::Gdi::ScopedSelect;

// A memory device context holding a top-down 24-bpp DIB section.
class ScratchBitmap {
public:
    ScratchBitmap(HDC reference, int32_t width, int32_t height) : width_(width), height_(height) {
        BITMAPINFO bmi;
        std::memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = MemoryDC(reference);
        if (!dc_)
            return;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(reference, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap_)
            return;
        bits_ = static_cast<uint8_t*>(bits);
        select_ = ScopedSelect(dc_.Get(), bitmap_.Get());
    }

    bool IsValid() const { return bits_ != nullptr && select_; }
    HDC Dc() const { return dc_.Get(); }
    // Row r, counted from the top.
    uint8_t* Row(int32_t r) const {
        const size_t stride = (static_cast<size_t>(width_) * 3 + 3) & ~size_t{3};
        return bits_ + stride * static_cast<size_t>(r);
    }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

private:
    int32_t width_, height_;
    // Declared in creation order: the bitmap is deselected before it is
    // deleted, and deleted before its device context.
    MemoryDC dc_;
    GdiObject<HBITMAP> bitmap_;
    ScopedSelect select_;
    uint8_t* bits_ = nullptr;
};

// Where a device pixel of the paint box samples the image.
struct SourceMap {
    int32_t x, y;                // device position of the image's top-left corner
    double xScale, yScale;       // image pixels per device pixel
    int32_t width, height;       // image size

    int32_t NearestX(int32_t px) const {
        return Clamp(static_cast<int32_t>(std::floor((px - x) * xScale)), width);
    }
    // Storage (bottom-up) row of device row py: the image row under the
    // device row's lower edge.
    int32_t NearestY(int32_t py) const {
        return Clamp(static_cast<int32_t>(std::floor(height - (py + 1 - y) * yScale)), height);
    }
    // Continuous sampler coordinates (pixel centres on integers) of the
    // centre of device pixel (px, py), so that a smoothed 1:1 paint is exact.
    double SampleX(int32_t px) const { return (px + 0.5 - x) * xScale - 0.5; }
    double SampleY(int32_t py) const { return height - 0.5 - (py + 0.5 - y) * yScale; }

    static int32_t Clamp(int32_t v, int32_t size) { return v < 0 ? 0 : (v >= size ? size - 1 : v); }
};

RGBQUAD Smoothed(const PxImage& img, const SourceMap& map, int32_t px, int32_t py) {
    if (map.xScale > 1.0 && map.yScale > 1.0)
        return img.SampleArea(map.SampleX(px), map.SampleY(py), map.xScale, map.yScale);
    return img.SampleBilinear(map.SampleX(px), map.SampleY(py));
}

void Store(uint8_t* p, RGBQUAD c) {
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
}

// Stretched (or smoothed) copy of an opaque image into the scratch bitmap.
void ComposeOpaque(const PxImage& img, const ScratchBitmap& scratch, const RECT& paint,
                   const SourceMap& map, bool smooth) {
    for (int32_t r = 0; r < scratch.Height(); ++r) {
        const int32_t py = paint.top + r;
        uint8_t* p = scratch.Row(r);
        for (int32_t c = 0; c < scratch.Width(); ++c, p += 3) {
            const int32_t px = paint.left + c;
            Store(p, smooth ? Smoothed(img, map, px, py)
                            : img.GetPixelColor(map.NearestX(px), map.NearestY(py), false));
        }
    }
}

// Opacity 0..255 of image pixel (sx, sy), 0 for the transparent colour.
int32_t PixelAlpha(const PxImage& img, int32_t sx, int32_t sy, RGBQUAD* color) {
    const ImageInfo& info = img.GetInfo();
    uint8_t paletteAlpha = 255;
    if (img.GetNumColors()) {
        const uint8_t index = img.GetPixelIndex(sx, sy);
        if (info.backgroundIndex >= 0 && index == info.backgroundIndex)
            return 0;
        *color = img.GetPaletteColor(index);
        paletteAlpha = color->rgbReserved;
    } else {
        *color = img.GetPixelColor(sx, sy, false);
        const RGBQUAD t = info.backgroundColor;
        if (info.backgroundIndex >= 0 && color->rgbBlue == t.rgbBlue &&
            color->rgbGreen == t.rgbGreen && color->rgbRed == t.rgbRed)
            return 0;
    }
    int32_t a = img.HasAlpha() ? img.GetAlpha(sx, sy) : 255;
    a = a * (info.alphaMax + 1) / 256;
    if (info.alphaPaletteEnabled && img.GetNumColors())
        a = a * (paletteAlpha + 1) / 256;
    return a;
}

// Blends an image with transparency over the device content already copied
// into the scratch bitmap.
void ComposeBlended(const PxImage& img, const ScratchBitmap& scratch, const RECT& paint,
                    const SourceMap& map, bool smooth) {
    for (int32_t r = 0; r < scratch.Height(); ++r) {
        const int32_t py = paint.top + r;
        uint8_t* p = scratch.Row(r);
        for (int32_t c = 0; c < scratch.Width(); ++c, p += 3) {
            const int32_t px = paint.left + c;
            RGBQUAD color;
            const int32_t a = PixelAlpha(img, map.NearestX(px), map.NearestY(py), &color);
            if (a == 0)
                continue;
            if (smooth)
                color = Smoothed(img, map, px, py);
            if (a == 255) {
                Store(p, color);
                continue;
            }
            p[0] = static_cast<uint8_t>((color.rgbBlue * a + p[0] * (255 - a)) / 256);
            p[1] = static_cast<uint8_t>((color.rgbGreen * a + p[1] * (255 - a)) / 256);
            p[2] = static_cast<uint8_t>((color.rgbRed * a + p[2] * (255 - a)) / 256);
        }
    }
}

}  // namespace

int32_t PxImage::Draw(HDC hdc, const RECT& rect, const RECT* clip, bool smooth) {
    return Draw(hdc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, clip, smooth);
}

int32_t PxImage::Draw(HDC hdc, int32_t x, int32_t y, int32_t cx, int32_t cy, const RECT* clip,
                      bool smooth) {
    if (!IsValid() || !hdc || cx == 0 || cy == 0 || !info_.enabled)
        return 0;
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    if (cx < 0)
        cx = w;
    if (cy < 0)
        cy = h;
    ScopedSaveDC saved(hdc);
    if (clip)
        IntersectClipRect(hdc, clip->left, clip->top, clip->right, clip->bottom);
    RECT clipBox, target = {x, y, x + cx, y + cy}, paint;
    if (GetClipBox(hdc, &clipBox) == ERROR || !IntersectRect(&paint, &target, &clipBox))
        return 1;

    const bool opaque = info_.backgroundIndex < 0 && !alpha_ && !info_.alphaPaletteEnabled;
    const bool natural = cx == w && cy == h;
    if (opaque && natural) {
        SetStretchBltMode(hdc, COLORONCOLOR);
        SetDIBitsToDevice(hdc, x, y, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                          static_cast<UINT>(h), info_.firstPixel,
                          reinterpret_cast<const BITMAPINFO*>(dib_), DIB_RGB_COLORS);
        return 1;
    }
    ScratchBitmap scratch(hdc, paint.right - paint.left, paint.bottom - paint.top);
    if (!scratch.IsValid())
        return 0;
    const SourceMap map{x, y, static_cast<double>(w) / cx, static_cast<double>(h) / cy, w, h};
    if (opaque) {
        ComposeOpaque(*this, scratch, paint, map, smooth);
    } else {
        BitBlt(scratch.Dc(), 0, 0, scratch.Width(), scratch.Height(), hdc, paint.left, paint.top,
               SRCCOPY);
        GdiFlush();
        ComposeBlended(*this, scratch, paint, map, smooth);
    }
    GdiFlush();
    BitBlt(hdc, paint.left, paint.top, scratch.Width(), scratch.Height(), scratch.Dc(), 0, 0, SRCCOPY);
    return 1;
}

int32_t PxImage::DrawTiled(HDC hdc, const RECT* rect) {
    if (!IsValid() || !hdc || !rect)
        return 0;
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    // 64-bit steps: a rectangle near the coordinate limit cannot wrap around.
    for (int64_t top = rect->top; top < rect->bottom; top += h) {
        for (int64_t left = rect->left; left < rect->right; left += w) {
            const RECT tile = {static_cast<LONG>(left), static_cast<LONG>(top),
                               static_cast<LONG>(left + w < rect->right ? left + w : rect->right),
                               static_cast<LONG>(top + h < rect->bottom ? top + h : rect->bottom)};
            Draw(hdc, tile.left, tile.top, -1, -1, &tile, false);
        }
    }
    return 1;
}
