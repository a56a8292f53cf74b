// PxImage pixel and palette access.
#include <cstring>

#include "image/PxImage.h"

namespace {

bool SameColor(RGBQUAD a, RGBQUAD b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed;
}

int32_t ColorDistance(RGBQUAD a, RGBQUAD b) {
    const int32_t db = a.rgbBlue - b.rgbBlue;
    const int32_t dg = a.rgbGreen - b.rgbGreen;
    const int32_t dr = a.rgbRed - b.rgbRed;
    return db * db + dg * dg + dr * dr;
}

}  // namespace

uint8_t PxImage::GetPixelIndex(int32_t x, int32_t y) const {
    if (!dib_ || head_.biClrUsed == 0)
        return 0;
    if (!IsInside(x, y)) {
        if (info_.backgroundIndex >= 0)
            return static_cast<uint8_t>(info_.backgroundIndex);
        return *info_.firstPixel;
    }
    const uint8_t* row = GetBits(static_cast<uint32_t>(y));
    switch (head_.biBitCount) {
    case 8:
        return row[x];
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 0x01;
    }
}

RGBQUAD PxImage::GetPixelColor(int32_t x, int32_t y, bool withAlpha) const {
    RGBQUAD color = {0, 0, 0, 0};
    if (!dib_)
        return color;
    if (!IsInside(x, y)) {
        if (info_.backgroundIndex == -1)
            return GetPixelColor(0, 0, withAlpha);
        if (head_.biClrUsed)
            return GetPaletteColor(static_cast<uint8_t>(info_.backgroundIndex));
        return info_.backgroundColor;
    }
    if (head_.biClrUsed) {
        color = GetPaletteColor(GetPixelIndex(x, y));
    } else {
        const uint8_t* p = GetBits(static_cast<uint32_t>(y)) + static_cast<size_t>(x) * 3;
        color.rgbBlue = p[0];
        color.rgbGreen = p[1];
        color.rgbRed = p[2];
    }
    if (withAlpha && alpha_)
        color.rgbReserved = alpha_[static_cast<size_t>(y) * GetWidth() + x];
    return color;
}

void PxImage::SetPixelIndex(int32_t x, int32_t y, uint8_t index) {
    if (!IsInside(x, y) || head_.biClrUsed == 0)
        return;
    uint8_t* row = GetBits(static_cast<uint32_t>(y));
    switch (head_.biBitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        uint8_t& b = row[x >> 1];
        b = static_cast<uint8_t>((b & ~(0x0F << shift)) | ((index & 0x0F) << shift));
        break;
    }
    default: {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        uint8_t& b = row[x >> 3];
        b = (index & 1) ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
        break;
    }
    }
}

void PxImage::SetPixelColor(int32_t x, int32_t y, RGBQUAD color, bool setAlpha) {
    if (!IsInside(x, y))
        return;
    if (head_.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(color));
    } else {
        uint8_t* p = GetBits(static_cast<uint32_t>(y)) + static_cast<size_t>(x) * 3;
        p[0] = color.rgbBlue;
        p[1] = color.rgbGreen;
        p[2] = color.rgbRed;
    }
    if (setAlpha && alpha_)
        alpha_[static_cast<size_t>(y) * GetWidth() + x] = color.rgbReserved;
}

RGBQUAD PxImage::GetPaletteColor(uint8_t index) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= head_.biClrUsed)
        return RGBQUAD{0, 0, 0, 0};
    return palette[index];
}

void PxImage::SetPaletteColor(uint8_t index, RGBQUAD color) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= head_.biClrUsed)
        return;
    palette[index] = color;
    info_.lastColorValid = false;
}

void PxImage::SetPalette(const RGBQUAD* colors, uint32_t count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !colors)
        return;
    if (count > head_.biClrUsed)
        count = head_.biClrUsed;
    std::memcpy(palette, colors, count * sizeof(RGBQUAD));
    info_.lastColorValid = false;
}

void PxImage::SetGrayPalette() {
    RGBQUAD* palette = GetPalette();
    if (!palette)
        return;
    const uint32_t n = head_.biClrUsed;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 255 / (n - 1));
        palette[i] = RGBQUAD{v, v, v, 0};
    }
    info_.lastColorValid = false;
}

bool PxImage::IsGrayRamp() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return false;
    for (uint32_t i = 0; i < head_.biClrUsed; ++i) {
        const RGBQUAD& c = palette[i];
        if (c.rgbBlue != i || c.rgbGreen != i || c.rgbRed != i)
            return false;
    }
    return true;
}

uint8_t PxImage::GetNearestIndex(RGBQUAD color) {
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return 0;
    if (info_.lastColorValid && SameColor(info_.lastColor, color))
        return info_.lastColorIndex;
    uint32_t count = head_.biClrUsed;
    if (head_.biClrImportant != 0 && head_.biClrImportant < count)
        count = head_.biClrImportant;
    uint32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t d = ColorDistance(palette[i], color);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    info_.lastColor = color;
    info_.lastColorIndex = static_cast<uint8_t>(best);
    info_.lastColorValid = true;
    return static_cast<uint8_t>(best);
}
