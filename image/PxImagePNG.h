#pragma once
// PNG codec over libpng: every colour type and depth (16-bit samples keep
// their high byte, 2-bit samples widen to 4 bpp), palettes with tRNS as a
// transparent index or per-entry alpha, interlace, physical size; encoding
// of palette, gray-ramp and 24-bpp images with optional alpha channel.
// Reads and writes through PxFile. One object serves one call.
#include "image/PxImage.h"

class PxImagePNG : public PxImage {
public:
    // Codec option (PNG slot): 1 = interlaced (set when decoding, honoured
    // when encoding).
    enum : uint32_t { kInterlaced = 1 };

    PxImagePNG() : PxImage(PXIMAGE_FORMAT_PNG) {}
    bool Decode(PxFile* file);
    bool Encode(PxFile* file);
};
