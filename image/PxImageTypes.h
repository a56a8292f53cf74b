#pragma once
// Types shared by the image model and the codecs: the Windows DIB records (as
// a file format), the ImageFormat ids, the ImageInfo attribute record and the
// checked size arithmetic that every image allocation goes through.
//
// On Windows the DIB records come from <windows.h>; elsewhere this header
// declares the same records with the same field names and byte layout, so the
// portable core and the codecs build natively without the Windows headers.
#include <cstddef>
#include <cstdint>

#include "support/Flavour.h"

#if defined(_WIN32)
#include <windows.h>
#else
#pragma pack(push, 2)
// File header of a .bmp file (14 bytes, packed, little-endian on disk).
struct BITMAPFILEHEADER {
    uint16_t bfType;       // "BM" = 0x4D42
    uint32_t bfSize;       // whole file size in bytes
    uint16_t bfReserved1;  // 0
    uint16_t bfReserved2;  // 0
    uint32_t bfOffBits;    // offset of the pixel rows from the file start
};
#pragma pack(pop)

// Device-independent bitmap header (40 bytes).
struct BITMAPINFOHEADER {
    uint32_t biSize;           // 40
    int32_t biWidth;           // pixels
    int32_t biHeight;          // pixels; positive = rows stored bottom-up
    uint16_t biPlanes;         // 1
    uint16_t biBitCount;       // bits per pixel
    uint32_t biCompression;    // BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS
    uint32_t biSizeImage;      // bytes of pixel rows (may be 0 for BI_RGB)
    int32_t biXPelsPerMeter;   // horizontal resolution
    int32_t biYPelsPerMeter;   // vertical resolution
    uint32_t biClrUsed;        // palette entries (0 = 2^bpp for <= 8 bpp)
    uint32_t biClrImportant;   // entries needed for display (0 = all)
};

// OS/2 1.x bitmap header (12 bytes).
struct BITMAPCOREHEADER {
    uint32_t bcSize;      // 12
    uint16_t bcWidth;     // pixels
    uint16_t bcHeight;    // pixels
    uint16_t bcPlanes;    // 1
    uint16_t bcBitCount;  // bits per pixel
};

// Palette entry / colour: blue, green, red, reserved (alpha where used).
struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

// OS/2 palette entry: blue, green, red.
struct RGBTRIPLE {
    uint8_t rgbtBlue;
    uint8_t rgbtGreen;
    uint8_t rgbtRed;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// Rectangle: left, top, right, bottom (right and bottom exclusive).
struct RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

enum : uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };
#endif

static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER must be packed");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD layout");

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

// Position of a format in ImageInfo::codecOptions. npPixmend: 0-4 map to
// themselves and 6 to 5; Pixmend: 0, 1, 3, 4 map to 0, 1, 2, 3. Unsupported
// ids map to 0.
constexpr int PxCodecOptionSlot(uint32_t format) {
    if (!PxIsSupportedFormat(format))
        return 0;
    if (FlavourTraits::kIsNpapi)
        return format == PXIMAGE_FORMAT_TIF ? 5 : static_cast<int>(format);
    switch (format) {
    case PXIMAGE_FORMAT_BMP: return 1;
    case PXIMAGE_FORMAT_JPG: return 2;
    case PXIMAGE_FORMAT_PNG: return 3;
    default: return 0;
    }
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
