#pragma once
// Helpers for image tests: colours, top-down pixel access (row 0 at the top,
// as a picture is seen) and deterministic test pictures.
#include <cstdint>

#include "image/PxImage.h"

inline RGBQUAD Rgb(uint8_t r, uint8_t g, uint8_t b, uint8_t reserved = 0) {
    return RGBQUAD{b, g, r, reserved};
}

inline bool SameRgb(RGBQUAD a, RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// Top-down accessors: row 0 is the top row of the picture.
inline RGBQUAD At(const PxImage& img, int32_t x, int32_t row) {
    return img.GetPixelColor(x, static_cast<int32_t>(img.GetHeight()) - 1 - row, false);
}
inline void Put(PxImage& img, int32_t x, int32_t row, RGBQUAD c) {
    img.SetPixelColor(x, static_cast<int32_t>(img.GetHeight()) - 1 - row, c);
}
inline uint8_t IndexAt(const PxImage& img, int32_t x, int32_t row) {
    return img.GetPixelIndex(x, static_cast<int32_t>(img.GetHeight()) - 1 - row);
}
inline void PutIndex(PxImage& img, int32_t x, int32_t row, uint8_t i) {
    img.SetPixelIndex(x, static_cast<int32_t>(img.GetHeight()) - 1 - row, i);
}

// A colour that identifies its position, so a misplaced pixel shows.
inline RGBQUAD Tag(int32_t x, int32_t row) {
    return Rgb(static_cast<uint8_t>(x * 7 + 1), static_cast<uint8_t>(row * 13 + 2),
               static_cast<uint8_t>((x + row) * 3 + 5));
}

// 24-bpp picture whose every pixel is Tag(x, row), padding bytes set to 0xEE
// so that a stride mistake reads visible garbage.
inline void FillTagged(PxImage& img) {
    for (uint32_t y = 0; y < img.GetHeight(); ++y) {
        uint8_t* row = img.GetBits(y);
        for (uint32_t b = img.GetWidth() * 3; b < img.GetEffWidth(); ++b)
            row[b] = 0xEE;
    }
    for (int32_t r = 0; r < static_cast<int32_t>(img.GetHeight()); ++r)
        for (int32_t x = 0; x < static_cast<int32_t>(img.GetWidth()); ++x)
            Put(img, x, r, Tag(x, r));
}

// Photo-like noise: smooth gradients plus a hash, all channels busy.
inline RGBQUAD Noise(uint32_t x, uint32_t y) {
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return Rgb(static_cast<uint8_t>((x * 3 + (h & 63)) & 255),
               static_cast<uint8_t>((y * 5 + ((h >> 8) & 63)) & 255),
               static_cast<uint8_t>(((x + y) + ((h >> 16) & 127)) & 255));
}

inline void FillNoise(PxImage& img) {
    for (uint32_t y = 0; y < img.GetHeight(); ++y)
        for (uint32_t x = 0; x < img.GetWidth(); ++x)
            img.SetPixelColor(static_cast<int32_t>(x), static_cast<int32_t>(y), Noise(x, y));
}
