#pragma once
// Helpers for the codec suites: decode from bytes, encode to bytes, compare
// pixels.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/PxFile.h"
#include "image/PxImage.h"

using Bytes = std::vector<uint8_t>;

// Decodes bytes (not copied) with a format id; the image keeps its last error.
inline bool DecodeBytes(PxImage& image, const Bytes& bytes, uint32_t format) {
    PxMemFile file(const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    return image.Decode(&file, format);
}

// Encodes into a memory stream and returns the bytes (empty on failure).
inline Bytes EncodeBytes(PxImage& image, uint32_t format) {
    PxMemFile file;
    if (!file.Open() || !image.Encode(&file, format))
        return {};
    const uint8_t* data = file.GetBuffer(false);
    return Bytes(data, data + file.Size());
}

// Colour of pixel (x, y) in top-down coordinates.
inline RGBQUAD TopDown(const PxImage& image, int32_t x, int32_t y) {
    return image.GetPixelColor(x, static_cast<int32_t>(image.GetHeight()) - 1 - y, false);
}

inline bool SameRgb(RGBQUAD a, RGBQUAD b, int tolerance = 0) {
    return std::abs(a.rgbRed - b.rgbRed) <= tolerance &&
           std::abs(a.rgbGreen - b.rgbGreen) <= tolerance &&
           std::abs(a.rgbBlue - b.rgbBlue) <= tolerance;
}

// A 24-bpp test picture whose every pixel differs from its neighbours.
inline void MakePattern(PxImage& image, uint32_t width, uint32_t height) {
    image.Create(width, height, 24, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            RGBQUAD c{static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(y * 5 + 3 * x),
                      static_cast<uint8_t>(x * y + 11), 0};
            image.SetPixelColor(static_cast<int32_t>(x), static_cast<int32_t>(y), c);
        }
    }
}

// Maximum per-channel difference of two same-sized images (-1 if sizes differ).
inline int MaxDifference(const PxImage& a, const PxImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return -1;
    int worst = 0;
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            RGBQUAD p = a.GetPixelColor(int32_t(x), int32_t(y), false);
            RGBQUAD q = b.GetPixelColor(int32_t(x), int32_t(y), false);
            worst = std::max({worst, std::abs(p.rgbRed - q.rgbRed), std::abs(p.rgbGreen - q.rgbGreen),
                              std::abs(p.rgbBlue - q.rgbBlue)});
        }
    }
    return worst;
}

// Little-endian 32-bit value at offset (0 when out of range).
inline uint32_t LoadU32(const Bytes& bytes, size_t offset) {
    if (offset + 4 > bytes.size())
        return 0;
    return uint32_t(bytes[offset]) | (uint32_t(bytes[offset + 1]) << 8) |
           (uint32_t(bytes[offset + 2]) << 16) | (uint32_t(bytes[offset + 3]) << 24);
}
