#pragma once
// Pictures for the canvas tests: 24-bpp images with a distinct colour per
// pixel, addressed top-down as the canvas and the cut are.
#include <cstdint>
#include <random>

#include "image/PxImage.h"

namespace canvas_test {

inline RGBQUAD At(const PxImage& img, int32_t x, int32_t yTopDown) {
    return img.GetPixelColor(x, static_cast<int32_t>(img.GetHeight()) - 1 - yTopDown, false);
}

inline bool Same(RGBQUAD a, RGBQUAD b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed;
}

inline bool IsWhite(RGBQUAD c) {
    return c.rgbBlue == 255 && c.rgbGreen == 255 && c.rgbRed == 255;
}

// Blue and green follow the position, red is noise, so a shifted or
// mirrored copy never matches by accident. No pixel is pure white.
inline void FillPattern(PxImage& img, unsigned seed) {
    std::mt19937 rng(seed);
    const int32_t h = static_cast<int32_t>(img.GetHeight());
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = img.GetBits(static_cast<uint32_t>(h - 1 - y));
        for (uint32_t x = 0; x < img.GetWidth(); ++x) {
            row[3 * x + 0] = static_cast<uint8_t>(x * 7 + y);
            row[3 * x + 1] = static_cast<uint8_t>(y * 5 + x / 3);
            row[3 * x + 2] = static_cast<uint8_t>(rng() % 250);
        }
    }
}

inline PxImage Pattern(uint32_t w, uint32_t h, unsigned seed = 1) {
    PxImage img(w, h, 24);
    FillPattern(img, seed);
    return img;
}

}  // namespace canvas_test
