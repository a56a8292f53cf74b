#pragma once
// Types shared by the image model and the codecs: the ImageFormat ids, the
// ImageInfo attribute record and the checked size arithmetic that every image
// allocation goes through. The Windows DIB records (as a file format) and
// RECT come from support/WinTypes.h.
#include <cstddef>
#include <cstdint>

#include "support/Flavour.h"

#include "support/WinTypes.h"

class PxImage;

// Format ids, stored as an image's type.
enum ImageFormat : uint32_t {
    PXIMAGE_FORMAT_UNKNOWN = 0,  // unknown, or auto-detect when decoding
    PXIMAGE_FORMAT_BMP = 1,
    PXIMAGE_FORMAT_GIF = 2,      // npPixmend only
    PXIMAGE_FORMAT_JPG = 3,
    PXIMAGE_FORMAT_PNG = 4,
    PXIMAGE_FORMAT_TIF = 6,      // npPixmend only
};

// True for the ids this flavour can decode and encode (0 is auto-detect).
constexpr bool PxIsSupportedFormat(uint32_t format) {
    switch (format) {
    case PXIMAGE_FORMAT_UNKNOWN:
    case PXIMAGE_FORMAT_BMP:
    case PXIMAGE_FORMAT_JPG:
    case PXIMAGE_FORMAT_PNG:
        return true;
    case PXIMAGE_FORMAT_GIF:
        return FlavourTraits::kHasGif;
    case PXIMAGE_FORMAT_TIF:
        return FlavourTraits::kHasTiff;
    default:
        return false;
    }
}

// Position of a format in ImageInfo::codecOptions: the number of supported
// ids below it, so the table holds exactly this flavour's formats.
// npPixmend: 0-4 map to themselves and 6 to 5; Pixmend: 0, 1, 3, 4 map to
// 0, 1, 2, 3. Unsupported ids map to 0.
constexpr int PxCodecOptionSlot(uint32_t format) {
    if (!PxIsSupportedFormat(format))
        return 0;
    int slot = 0;
    for (uint32_t id = 0; id < format; ++id)
        slot += PxIsSupportedFormat(id) ? 1 : 0;
    return slot;
}

// Largest pixel block payload of one image: 256 MiB.
constexpr uint32_t PXIMAGE_MAX_MEMORY = 268435456u;

// Checked DIB geometry. On success fills the row stride (rows padded to 4
// bytes) and stride x height; false when a dimension is 0 or above INT32_MAX,
// when width x height x bpp overflows 32 bits, or when the pixel data
// (width x height x bpp / 8) exceeds PXIMAGE_MAX_MEMORY. Every image size in
// the library is computed here.
bool PxCheckedImageSize(uint32_t width, uint32_t height, uint32_t bpp,
                        uint32_t* stride, uint32_t* imageSize);

// Checked size of a one-byte-per-pixel plane (alpha channel, selection mask):
// false when width x height is 0 or exceeds PXIMAGE_MAX_MEMORY.
bool PxCheckedPlaneSize(uint32_t width, uint32_t height, uint32_t* planeSize);

// Attribute record of a PxImage. Plain data: copied and zeroed as a whole.
struct ImageInfo {
    uint32_t effWidth;            // row stride in bytes
    uint8_t* firstPixel;          // first pixel row inside the pixel block
    PxImage* ghost;               // image this one is a read-only view of; null when owning
    PxImage* parent;              // carried, never set
    uint32_t type;                // ImageFormat id
    char lastError[256];          // message of the last failure, NUL-terminated
    int32_t progress;             // 0..100 while long operations advance
    int32_t escape;               // non-zero: long per-row loops stop early
    int32_t backgroundIndex;      // transparent palette index, -1 = none
    RGBQUAD backgroundColor;      // transparent colour of true-colour images
    float jpegQuality;            // default 90
    uint8_t jpegScale;            // JPEG decoding scale denominator
    int32_t frameIndex;           // frame to decode / frame this image is
    int32_t numFrames;            // frames found or held
    int32_t frameDelay;           // frame delay (multi-image formats)
    int32_t dpiX;                 // default 96
    int32_t dpiY;                 // default 96
    RECT selectionBox;            // bounds of the selection mask
    uint8_t alphaMax;             // scales every alpha value when painting, default 255
    bool alphaPaletteEnabled;     // palette reserved byte is per-entry alpha
    bool enabled;                 // painting does nothing when false
    int32_t offsetX;              // frame placement (multi-image formats)
    int32_t offsetY;
    uint32_t codecOptions[FlavourTraits::kCodecOptionSlots];  // by PxCodecOptionSlot
    RGBQUAD lastColor;            // GetNearestIndex cache: colour asked last ...
    uint8_t lastColorIndex;       // ... its answer ...
    bool lastColorValid;          // ... and whether the cache holds (cleared on palette change)
    int32_t numLayers;
    uint32_t flags;
    uint8_t gifDisposal;          // GIF disposal method
    bool getAllFrames;            // decoders keep every frame when set
    bool littleEndianHost;        // set at construction
};
