#pragma once
// The Windows records that portable code uses as plain data: the DIB headers
// and palette entries (a file format as much as a GDI structure) and RECT.
//
// On Windows they come from <windows.h>; elsewhere this header declares the
// same records with the same field names and byte layout, so the portable
// core builds natively without the Windows headers.
#include <cstdint>

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
