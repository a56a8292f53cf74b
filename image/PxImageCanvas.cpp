// Crop, canvas expansion and centring, and bit-depth promotion.
#include <cstring>
#include <utility>

#include "image/PxImage.h"
#include "image/PxImageCanvas.h"

namespace {

void FillRun24(uint8_t* p, uint32_t count, RGBQUAD c) {
    for (uint32_t i = 0; i < count; ++i, p += 3) {
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    }
}

// Copies plane rows of srcWidth bytes into a wider plane at (x0, y0).
void CopyPlaneAt(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                 uint32_t dstWidth, uint32_t x0, uint32_t y0) {
    for (uint32_t y = 0; y < srcHeight; ++y)
        std::memcpy(dst + (size_t{y0} + y) * dstWidth + x0, src + size_t{y} * srcWidth, srcWidth);
}

}  // namespace

// Fills every pixel of a freshly created image outside the w x h rectangle
// at storage position (x0, y0) with the canvas colour (palette images: its
// nearest index).
void PxCanvas::FillOutside(PxImage& img, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h,
                           RGBQUAD canvas) {
    const uint32_t width = img.GetWidth(), height = img.GetHeight();
    const uint32_t bpp = img.GetBpp();
    if (bpp < 8) {
        const uint8_t index = img.GetNearestIndex(canvas);
        const uint8_t byte = bpp == 4 ? static_cast<uint8_t>(index * 0x11)
                                      : static_cast<uint8_t>((index & 1) ? 0xFF : 0x00);
        std::memset(img.GetBits(0), byte, img.GetHeader().biSizeImage);
        img.ClearRowPadding();
        return;
    }
    const uint8_t index = bpp == 8 ? img.GetNearestIndex(canvas) : 0;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = img.GetBits(y);
        const bool inside = y >= y0 && y < y0 + h;
        const uint32_t spans[2][2] = {{0, inside ? x0 : width},
                                      {inside ? x0 + w : width, width}};
        for (const auto& span : spans) {
            if (span[1] <= span[0])
                continue;
            if (bpp == 8)
                std::memset(row + span[0], index, span[1] - span[0]);
            else
                FillRun24(row + size_t{3} * span[0], span[1] - span[0], canvas);
        }
    }
}

bool PxImage::Crop(const RECT& rect, PxImage* dst) {
    return Crop(rect.left, rect.top, rect.right, rect.bottom, dst);
}

bool PxImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, PxImage* dst) {
    if (!IsValid())
        return false;
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    auto clamp = [](int32_t v, int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    left = clamp(left, w);
    right = clamp(right, w);
    top = clamp(top, h);
    bottom = clamp(bottom, h);
    if (left == right || top == bottom)
        return false;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    const uint32_t cw = static_cast<uint32_t>(right - left), ch = static_cast<uint32_t>(bottom - top);
    PxImage tmp(GetType());
    if (!tmp.Create(cw, ch, GetBpp(), GetType())) {
        CopyErrorFrom(tmp);
        return false;
    }
    tmp.SetPalette(GetPalette(), GetNumColors());
    tmp.info_.backgroundIndex = info_.backgroundIndex;
    tmp.info_.backgroundColor = info_.backgroundColor;
    // Top-down rows top..bottom-1 are storage rows h-bottom .. h-top-1.
    const uint32_t firstRow = static_cast<uint32_t>(h - bottom);
    for (uint32_t y = 0; y < ch; ++y) {
        if (GetBpp() >= 8) {
            const size_t offset = size_t{static_cast<uint32_t>(left)} * GetBpp() / 8;
            std::memcpy(tmp.GetBits(y), GetBits(firstRow + y) + offset, size_t{cw} * GetBpp() / 8);
        } else {
            for (uint32_t x = 0; x < cw; ++x)
                tmp.SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                  GetPixelIndex(left + static_cast<int32_t>(x),
                                                static_cast<int32_t>(firstRow + y)));
        }
        info_.progress = static_cast<int32_t>(uint64_t{y + 1} * 100 / ch);
    }
    if (alpha_) {
        if (!tmp.CreateAlpha()) {
            SetLastError("PxImage::Create can't allocate memory");
            return false;
        }
        for (uint32_t y = 0; y < ch; ++y)
            std::memcpy(tmp.alpha_ + size_t{y} * cw,
                        alpha_ + (size_t{firstRow} + y) * GetWidth() + static_cast<uint32_t>(left), cw);
    }
    return Transfer(tmp, dst);
}

bool PxImage::ExpandCanvas(int32_t left, int32_t top, int32_t right, int32_t bottom,
                           RGBQUAD canvas, PxImage* dst) {
    if (!IsValid() || left < 0 || top < 0 || right < 0 || bottom < 0)
        return false;
    const uint64_t nw = uint64_t{GetWidth()} + static_cast<uint32_t>(left) + static_cast<uint32_t>(right);
    const uint64_t nh = uint64_t{GetHeight()} + static_cast<uint32_t>(top) + static_cast<uint32_t>(bottom);
    if (nw > INT32_MAX || nh > INT32_MAX) {
        SetLastError("PXIMAGE_MAX_MEMORY exceeded");
        return false;
    }
    PxImage tmp(GetType());
    const uint32_t x0 = static_cast<uint32_t>(left), y0 = static_cast<uint32_t>(bottom);
    if (!PxCanvas::Prepare(*this, tmp, static_cast<uint32_t>(nw), static_cast<uint32_t>(nh), x0, y0,
                           GetWidth(), GetHeight(), canvas)) {
        CopyErrorFrom(tmp);
        return false;
    }
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        if (GetBpp() >= 8) {
            std::memcpy(tmp.GetBits(y0 + y) + size_t{x0} * GetBpp() / 8, GetBits(y),
                        size_t{GetWidth()} * GetBpp() / 8);
        } else {
            for (uint32_t x = 0; x < GetWidth(); ++x)
                tmp.SetPixelIndex(static_cast<int32_t>(x0 + x), static_cast<int32_t>(y0 + y),
                                  GetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y)));
        }
    }
    if (alpha_)
        CopyPlaneAt(alpha_, GetWidth(), GetHeight(), tmp.alpha_, tmp.GetWidth(), x0, y0);
    if (selection_) {
        CopyPlaneAt(selection_, GetWidth(), GetHeight(), tmp.selection_, tmp.GetWidth(), x0, y0);
        tmp.info_.selectionBox = info_.selectionBox;
        tmp.info_.selectionBox.left += left;
        tmp.info_.selectionBox.right += left;
        tmp.info_.selectionBox.top += bottom;
        tmp.info_.selectionBox.bottom += bottom;
    }
    return Transfer(tmp, dst);
}

// Creates the result canvas of an expansion: same depth, type and palette as
// src, everything outside the w x h area at (x0, y0) in the canvas colour,
// and an alpha channel (all canvas reserved byte) and selection mask (empty)
// when src has them. On failure tmp holds the message.
bool PxCanvas::Prepare(const PxImage& src, PxImage& tmp, uint32_t width, uint32_t height,
                       uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, RGBQUAD canvas,
                       bool withSelection) {
    if (!tmp.Create(width, height, src.GetBpp(), src.GetType()))
        return false;
    tmp.SetPalette(src.GetPalette(), src.GetNumColors());
    FillOutside(tmp, x0, y0, w, h, canvas);
    if ((src.HasAlpha() && !tmp.CreateAlpha()) || (withSelection && src.HasSelection() && !tmp.CreateSelection())) {
        tmp.SetLastError("PxImage::Create can't allocate memory");
        return false;
    }
    if (tmp.HasAlpha())
        std::memset(tmp.GetAlphaBuffer(), canvas.rgbReserved, size_t{width} * height);
    return true;
}

bool PxImage::CenterOnCanvas(int32_t newWidth, int32_t newHeight, RGBQUAD canvas, PxImage* dst) {
    if (!IsValid() || newWidth < 0 || newHeight < 0)
        return false;
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    if (newWidth < w || newHeight < h)
        return false;
    const int32_t left = (newWidth - w) / 2, top = (newHeight - h) / 2;
    return ExpandCanvas(left, top, newWidth - w - left, newHeight - h - top, canvas, dst);
}

bool PxImage::IncreaseBitDepth(uint32_t bpp) {
    if (bpp != 4 && bpp != 8 && bpp != 24)
        return false;
    if (!IsValid())
        return false;
    if (GetBpp() == bpp)
        return true;
    if (GetBpp() > bpp)
        return false;
    PxImage tmp(GetType());
    if (!tmp.Create(GetWidth(), GetHeight(), bpp, GetType())) {
        CopyErrorFrom(tmp);
        return false;
    }
    uint8_t* const firstPixel = tmp.info_.firstPixel;
    const uint32_t effWidth = tmp.info_.effWidth;
    tmp.info_ = info_;
    tmp.info_.firstPixel = firstPixel;
    tmp.info_.effWidth = effWidth;
    tmp.info_.ghost = nullptr;
    tmp.info_.lastColorValid = false;
    if (selection_ && !tmp.CopyPlane(tmp.selection_, selection_))
        return false;
    if (alpha_ && !tmp.CopyPlane(tmp.alpha_, alpha_))
        return false;
    const int32_t w = static_cast<int32_t>(GetWidth()), h = static_cast<int32_t>(GetHeight());
    int32_t y = 0;
    if (bpp < 24) {
        tmp.SetPalette(GetPalette(), GetNumColors());
        for (; y < h && !info_.escape; ++y)
            for (int32_t x = 0; x < w; ++x)
                tmp.SetPixelIndex(x, y, GetPixelIndex(x, y));
        tmp.ClearRowsFrom(static_cast<uint32_t>(y));
        return MoveFrom(tmp, true);
    }
    if (info_.backgroundIndex >= 0)
        tmp.info_.backgroundColor = GetPaletteColor(static_cast<uint8_t>(info_.backgroundIndex));
    bool paletteAlpha = false;
    for (uint32_t i = 0; i < GetNumColors(); ++i)
        paletteAlpha = paletteAlpha || GetPalette()[i].rgbReserved != 0;
    const bool carryAlpha = paletteAlpha && !alpha_;
    if (carryAlpha && !tmp.CreateAlpha()) {
        SetLastError("PxImage::Create can't allocate memory");
        return false;
    }
    for (; y < h && !info_.escape; ++y) {
        uint8_t* row = tmp.GetBits(static_cast<uint32_t>(y));
        for (int32_t x = 0; x < w; ++x, row += 3) {
            const RGBQUAD c = GetPaletteColor(GetPixelIndex(x, y));
            row[0] = c.rgbBlue;
            row[1] = c.rgbGreen;
            row[2] = c.rgbRed;
            if (carryAlpha)
                tmp.alpha_[static_cast<size_t>(y) * GetWidth() + x] = c.rgbReserved;
        }
    }
    tmp.ClearRowsFrom(static_cast<uint32_t>(y));
    return MoveFrom(tmp, true);
}
