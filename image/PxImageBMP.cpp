#include "image/PxImageBMP.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/PxByteReader.h"
#include "image/PxFile.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kOs2HeaderSize = 64;
// Largest info header accepted (V5 is 124 bytes); anything bigger is not a
// bitmap, which also keeps TIFF and other files out of auto-detection.
constexpr uint32_t kMaxInfoHeaderSize = 1024;
// Cap for the compressed bytes of one RLE bitmap.
constexpr size_t kMaxRleBytes = PXIMAGE_MAX_MEMORY;

// The info header of either form, widened to the 40-byte fields.
struct BmpHeader {
    uint32_t size = 0;       // bytes of the info header as stored
    int32_t width = 0;       // pixels
    int32_t height = 0;      // pixels; negative = top-down rows
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;  // bytes of pixel data, 0 when not given
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;    // palette entries in the file
};

// Where the pieces of one bitmap are, as stream positions.
struct BmpLayout {
    int64_t start = 0;      // first byte of the file (or of the bare DIB)
    uint32_t offBits = 0;   // pixel offset from start; 0 = after the palette
    int64_t infoStart = 0;  // first byte of the info header
};

// A channel mask of a 16- or 32-bpp bitmap and how to widen it to 8 bits.
struct Channel {
    uint32_t mask = 0;
    uint32_t shift = 0;
    uint32_t max = 0;  // mask >> shift; 0 = channel absent

    explicit Channel(uint32_t m) : mask(m) {
        if (!m)
            return;
        while (!((m >> shift) & 1u))
            ++shift;
        max = m >> shift;
    }
    uint8_t Expand(uint32_t value) const {
        if (!max)
            return 0;
        uint32_t v = (value & mask) >> shift;
        return static_cast<uint8_t>(uint64_t(v) * 255u / max);
    }
};

void PutLE16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool SeekTo(PxFile* file, int64_t position) {
    if (position < 0 || position > INT32_MAX)
        return false;
    return file->Seek(static_cast<int32_t>(position), SEEK_SET);
}

// Reads the file header when there is one; a stream without "BM" is taken as
// a bare DIB starting at layout->start.
const char* ReadFileHeader(PxFile* file, BmpLayout* layout) {
    uint8_t raw[kFileHeaderSize];
    if (file->Read(raw, 1, sizeof(raw)) != sizeof(raw))
        return "Not a BMP";
    if (raw[0] == 'B' && raw[1] == 'M') {
        layout->offBits = PxByteReader::LoadU32LE(raw + 10);
        layout->infoStart = layout->start + kFileHeaderSize;
        return nullptr;
    }
    layout->offBits = 0;
    layout->infoStart = layout->start;
    if (!SeekTo(file, layout->start))
        return "Not a BMP";
    return nullptr;
}

void ParseCoreHeader(const uint8_t* raw, BmpHeader* h) {
    PxByteReader r(raw, 8);
    uint16_t w = 0, ht = 0;
    bool ok = r.ReadU16LE(&w) && r.ReadU16LE(&ht) && r.ReadU16LE(&h->planes) &&
              r.ReadU16LE(&h->bitCount);
    (void)ok;  // 8 bytes were read by the caller
    h->width = w;
    h->height = ht;
}

bool ParseInfoHeader(const uint8_t* raw, BmpHeader* h) {
    PxByteReader r(raw, kInfoHeaderSize - 4);
    return r.ReadI32LE(&h->width) && r.ReadI32LE(&h->height) && r.ReadU16LE(&h->planes) &&
           r.ReadU16LE(&h->bitCount) && r.ReadU32LE(&h->compression) &&
           r.ReadU32LE(&h->sizeImage) && r.ReadI32LE(&h->xPelsPerMeter) &&
           r.ReadI32LE(&h->yPelsPerMeter) && r.ReadU32LE(&h->clrUsed);
}

bool IsSupportedBitCount(uint32_t bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// Stride of one stored row: bits rounded up to 32.
uint64_t FileStride(const BmpHeader& h) {
    return ((uint64_t(uint32_t(h.width)) * h.bitCount + 31) / 32) * 4;
}

// Reads and validates the info header; leaves the stream just after its 40
// bytes (or after the 12-byte core header).
const char* ReadInfoHeader(PxFile* file, BmpHeader* h) {
    uint8_t raw[kInfoHeaderSize];
    if (file->Read(raw, 1, 4) != 4)
        return "Error reading BMP info";
    h->size = PxByteReader::LoadU32LE(raw);
    if (h->size == kCoreHeaderSize) {
        if (file->Read(raw + 4, 1, 8) != 8)
            return "Error reading BMP info";
        ParseCoreHeader(raw + 4, h);
    } else if (h->size >= kInfoHeaderSize && h->size <= kMaxInfoHeaderSize) {
        if (file->Read(raw + 4, 1, kInfoHeaderSize - 4) != kInfoHeaderSize - 4 ||
            !ParseInfoHeader(raw + 4, h))
            return "Error reading BMP info";
        // Headers beyond the two classic forms must at least describe one plane.
        if (h->size != kInfoHeaderSize && h->size != kOs2HeaderSize && h->planes != 1)
            return "Error reading BMP info";
    } else {
        return "Error reading BMP info";
    }
    if (h->width < 0 || h->height == INT32_MIN || !IsSupportedBitCount(h->bitCount))
        return "Error reading BMP info";
    if (h->sizeImage == 0)
        h->sizeImage = static_cast<uint32_t>(
            std::min<uint64_t>(FileStride(*h) * uint64_t(h->height < 0 ? -int64_t(h->height) : h->height),
                               UINT32_MAX));
    if (h->clrUsed == 0 && h->bitCount <= 8)
        h->clrUsed = 1u << h->bitCount;
    return nullptr;
}

int32_t PelsToDpi(int32_t pelsPerMeter) {
    return static_cast<int32_t>((int64_t(pelsPerMeter) * 254 + 5000) / 10000);
}

// Reads the palette of a 1/4/8-bpp bitmap; entries beyond 2^bpp are skipped.
const char* ReadPalette(PxFile* file, const BmpHeader& h, PxImage* image) {
    const uint32_t entrySize = h.size == kCoreHeaderSize ? 3 : 4;
    const uint32_t stored = std::min<uint32_t>(h.clrUsed, 1u << h.bitCount);
    uint8_t raw[256 * 4];
    if (file->Read(raw, entrySize, stored) != stored)
        return "Error reading BMP info";
    RGBQUAD colors[256];
    for (uint32_t i = 0; i < stored; ++i) {
        const uint8_t* p = raw + i * entrySize;
        colors[i] = RGBQUAD{p[0], p[1], p[2], 0};
    }
    image->SetPalette(colors, stored);
    return nullptr;
}

// Reads rows stored exactly as the image holds them (1/4/8/24 bpp). The last
// row may lack its padding bytes.
const char* ReadPlainRows(PxFile* file, PxImage* image) {
    const uint32_t stride = image->GetEffWidth();
    const uint32_t height = image->GetHeight();
    const uint32_t lastRowBytes = (image->GetWidth() * image->GetBpp() + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        if (image->GetEscape())
            return "Cancelled";
        size_t got = file->Read(image->GetBits(y), 1, stride);
        if (got != stride && !(y + 1 == height && got >= lastRowBytes))
            return "BMP pixel data is truncated";
    }
    return nullptr;
}

// Stores one palette index of an RLE run; pixels outside the image are
// dropped so a hostile run can never write past the pixel block.
void PutRlePixel(PxImage* image, uint64_t x, uint64_t y, uint8_t index, bool rle4) {
    if (x >= image->GetWidth() || y >= image->GetHeight())
        return;
    uint8_t* row = image->GetBits(static_cast<uint32_t>(y));
    if (!rle4) {
        row[x] = index;
        return;
    }
    uint8_t& b = row[x / 2];
    b = (x & 1) ? uint8_t((b & 0xF0) | (index & 0x0F)) : uint8_t((b & 0x0F) | (index << 4));
}

// Absolute run: n pixels stored literally, padded to an even byte count.
bool DecodeAbsoluteRun(PxByteReader& r, PxImage* image, uint64_t* x, uint64_t y, uint8_t n,
                       bool rle4) {
    const size_t bytes = rle4 ? (n + 1u) / 2u : n;
    const uint8_t* p = nullptr;
    if (!r.View(bytes, &p))
        return false;
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t v = rle4 ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i];
        PutRlePixel(image, *x + i, y, v, rle4);
    }
    *x += n;
    if (bytes & 1)
        (void)r.Skip(1);  // a missing pad byte at the very end is tolerated
    return true;
}

// RLE8 / RLE4. Data that ends early leaves the rest of the image at index 0.
const char* DecodeRle(PxByteReader& r, PxImage* image, bool rle4) {
    const uint64_t height = image->GetHeight();
    const uint64_t width = image->GetWidth();
    std::memset(image->GetBits(0), 0, size_t(image->GetEffWidth()) * image->GetHeight());
    uint64_t x = 0, y = 0;
    while (y < height) {
        uint8_t count = 0, code = 0;
        if (!r.ReadU8(&count) || !r.ReadU8(&code))
            return nullptr;
        if (count) {
            for (uint32_t i = 0; i < count && x + i < width; ++i) {
                uint8_t v = rle4 ? ((i & 1) ? (code & 0x0F) : (code >> 4)) : code;
                PutRlePixel(image, x + i, y, v, rle4);
            }
            x += count;
            continue;
        }
        if (code == 0) {  // end of line
            x = 0;
            ++y;
            if (image->GetEscape())
                return "Cancelled";
        } else if (code == 1) {  // end of bitmap
            return nullptr;
        } else if (code == 2) {  // delta: move right dx, up dy
            uint8_t dx = 0, dy = 0;
            if (!r.ReadU8(&dx) || !r.ReadU8(&dy))
                return nullptr;
            x += dx;
            y += dy;
        } else if (!DecodeAbsoluteRun(r, image, &x, y, code, rle4)) {
            return nullptr;
        }
    }
    return nullptr;
}

const char* ReadRle(PxFile* file, const BmpHeader& h, PxImage* image) {
    if ((h.compression == BI_RLE8 && h.bitCount != 8) ||
        (h.compression == BI_RLE4 && h.bitCount != 4))
        return "compression type not supported";
    // The header's image size is often 0 or wrong for RLE: read to the end.
    std::vector<uint8_t> data;
    PxReadUpTo(file, &data, kMaxRleBytes);
    PxByteReader r(data.data(), data.size());
    return DecodeRle(r, image, h.compression == BI_RLE4);
}

// Converts 16- or 32-bpp rows to 24 bpp through channel masks. With
// alphaFromFourthByte (32 bpp, compression 0) the fourth byte of each pixel
// fills the alpha channel, which is dropped again when it is all zero.
const char* ReadMaskedRows(PxFile* file, const BmpHeader& h, const uint32_t masks[3],
                           bool alphaFromFourthByte, PxImage* image) {
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    const uint32_t width = image->GetWidth(), height = image->GetHeight();
    const size_t stride = static_cast<size_t>(FileStride(h));
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[stride]);
    if (!row)
        return "can't allocate memory";
    if (alphaFromFourthByte && !image->CreateAlpha())
        return "can't allocate memory";
    bool anyAlpha = false;
    const bool wide = h.bitCount == 32;
    for (uint32_t y = 0; y < height; ++y) {
        if (image->GetEscape())
            return "Cancelled";
        if (file->Read(row.get(), 1, stride) != stride)
            return "BMP pixel data is truncated";
        uint8_t* out = image->GetBits(y);
        uint8_t* alpha = alphaFromFourthByte ? image->GetAlphaBuffer() + size_t(y) * width : nullptr;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = row.get() + x * (wide ? 4u : 2u);
            uint32_t v = wide ? PxByteReader::LoadU32LE(p) : uint32_t(p[0] | (p[1] << 8));
            out[3 * x] = blue.Expand(v);
            out[3 * x + 1] = green.Expand(v);
            out[3 * x + 2] = red.Expand(v);
            if (alpha) {
                alpha[x] = p[3];
                anyAlpha |= p[3] != 0;
            }
        }
    }
    if (alphaFromFourthByte && !anyAlpha)
        image->DeleteAlpha();
    return nullptr;
}

// Channel masks of a 16- or 32-bpp bitmap: read after the 40 header bytes for
// compression 3 (inside the longer header forms), defaults for compression 0.
const char* ReadMasks(PxFile* file, const BmpHeader& h, uint32_t masks[3]) {
    if (h.compression == BI_BITFIELDS) {
        uint8_t raw[12];
        if (h.size < kInfoHeaderSize || file->Read(raw, 1, sizeof(raw)) != sizeof(raw))
            return "Error reading BMP info";
        for (int i = 0; i < 3; ++i)
            masks[i] = PxByteReader::LoadU32LE(raw + 4 * i);
        return nullptr;
    }
    if (h.compression != BI_RGB)
        return "unknown compression";
    const bool is16 = h.bitCount == 16;
    masks[0] = is16 ? 0x7C00 : 0xFF0000;
    masks[1] = is16 ? 0x03E0 : 0x00FF00;
    masks[2] = is16 ? 0x001F : 0x0000FF;
    return nullptr;
}

void FlipVertically(PxImage* image) {
    const size_t height = image->GetHeight();
    const size_t stride = image->GetEffWidth();
    const size_t width = image->GetWidth();
    uint8_t* rows = image->GetBits(0);  // rows are contiguous, stride apart
    uint8_t* alpha = image->GetAlphaBuffer();
    for (size_t y = 0; y < height / 2; ++y) {
        uint8_t* a = rows + y * stride;
        std::swap_ranges(a, a + stride, rows + (height - 1 - y) * stride);
        if (alpha) {
            uint8_t* p = alpha + y * width;
            std::swap_ranges(p, p + width, alpha + (height - 1 - y) * width);
        }
    }
}

}  // namespace

namespace {

// Reads the pixels of a created image, the stream standing at the first row.
const char* ReadPixels(PxFile* file, const BmpHeader& h, const uint32_t masks[3],
                       PxImage* image) {
    switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
        if (h.compression == BI_RGB)
            return ReadPlainRows(file, image);
        if (h.compression == BI_RLE8 || h.compression == BI_RLE4)
            return ReadRle(file, h, image);
        return "compression type not supported";
    case 24:
        if (h.compression != BI_RGB)
            return "unknown compression";
        return ReadPlainRows(file, image);
    default:  // 16 and 32: masks were checked when they were read
        return ReadMaskedRows(file, h, masks, h.bitCount == 32 && h.compression == BI_RGB, image);
    }
}

}  // namespace

bool PxImageBMP::Decode(PxFile* file) {
    if (!file)
        return false;
    BmpLayout layout;
    layout.start = file->Tell();
    BmpHeader h;
    const char* error = ReadFileHeader(file, &layout);
    if (!error)
        error = ReadInfoHeader(file, &h);
    if (error) {
        SetLastError(error);
        return false;
    }
    const bool topDown = h.height < 0;
    const uint32_t height = static_cast<uint32_t>(topDown ? -h.height : h.height);
    if (GetEscape() == -1) {  // header only
        head_.biWidth = h.width;
        head_.biHeight = static_cast<int32_t>(height);
        info_.type = PXIMAGE_FORMAT_BMP;
        return true;
    }
    uint32_t masks[3] = {0, 0, 0};
    if (h.bitCount == 16 || h.bitCount == 32) {
        if ((error = ReadMasks(file, h, masks)) != nullptr) {
            SetLastError(error);
            return false;
        }
    }
    // The palette follows the header (and the masks of a 40-byte header).
    int64_t palettePos = layout.infoStart + h.size;
    if (h.size == kInfoHeaderSize && h.compression == BI_BITFIELDS && h.bitCount > 8)
        palettePos += 12;
    // Rows stored as they are must fit in what the stream holds: refuse a tiny
    // file that claims a huge picture before allocating it.
    // (Sizes over the memory limit fall through to Create and its message.)
    const int64_t streamSize = file->Size();
    uint32_t stride = 0, imageSize = 0;
    if (h.compression != BI_RLE8 && h.compression != BI_RLE4 && streamSize >= 0 &&
        FileStride(h) * height > uint64_t(streamSize) &&
        PxCheckedImageSize(uint32_t(h.width), height, h.bitCount, &stride, &imageSize)) {
        SetLastError("BMP pixel data is truncated");
        return false;
    }
    if (!Create(static_cast<uint32_t>(h.width), height, h.bitCount, PXIMAGE_FORMAT_BMP))
        return false;  // keeps Create's message
    SetDpiX(PelsToDpi(h.xPelsPerMeter));
    SetDpiY(PelsToDpi(h.yPelsPerMeter));
    const uint32_t entrySize = h.size == kCoreHeaderSize ? 3 : 4;
    int64_t pixelPos = palettePos + int64_t(entrySize) * h.clrUsed;
    if (layout.offBits)
        pixelPos = layout.start + layout.offBits;
    if (!SeekTo(file, palettePos))
        error = "Error reading BMP info";
    else if (h.bitCount <= 8)
        error = ReadPalette(file, h, this);
    if (!error && !SeekTo(file, pixelPos))
        error = "BMP pixel data is truncated";
    if (!error)
        error = ReadPixels(file, h, masks, this);
    if (error) {
        if (*error)
            SetLastError(error);
        return false;
    }
    if (topDown)
        FlipVertically(this);
    return true;
}

namespace {

void FillFileHeader(uint8_t* raw, uint32_t fileSize, uint32_t offBits) {
    raw[0] = 'B';
    raw[1] = 'M';
    PutLE32(raw + 2, fileSize);
    PutLE32(raw + 6, 0);  // two reserved 16-bit zeros
    PutLE32(raw + 10, offBits);
}

void FillInfoHeader(uint8_t* raw, const BITMAPINFOHEADER& h) {
    PutLE32(raw, kInfoHeaderSize);
    PutLE32(raw + 4, static_cast<uint32_t>(h.biWidth));
    PutLE32(raw + 8, static_cast<uint32_t>(h.biHeight));
    PutLE16(raw + 12, h.biPlanes);
    PutLE16(raw + 14, h.biBitCount);
    PutLE32(raw + 16, h.biCompression);
    PutLE32(raw + 20, h.biSizeImage);
    PutLE32(raw + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    PutLE32(raw + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    PutLE32(raw + 32, h.biClrUsed);
    PutLE32(raw + 36, h.biClrImportant);
}

// 24-bpp image with an alpha channel: a 32-bpp bitmap, rows of B, G, R, A.
bool EncodeWithAlpha(PxFile* file, const PxImage& image) {
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    const uint32_t rowBytes = width * 4;  // 4/3 of a 24-bpp row: cannot overflow
    BITMAPINFOHEADER h = image.GetHeader();
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = rowBytes * height;
    h.biClrUsed = 0;
    uint8_t raw[kFileHeaderSize + kInfoHeaderSize];
    FillFileHeader(raw, kFileHeaderSize + kInfoHeaderSize + h.biSizeImage,
                   kFileHeaderSize + kInfoHeaderSize);
    FillInfoHeader(raw + kFileHeaderSize, h);
    if (file->Write(raw, 1, sizeof(raw)) != sizeof(raw))
        return false;
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[rowBytes]);
    if (!row)
        return false;
    const uint8_t* alpha = image.GetAlphaBuffer();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = image.GetBits(y);
        const uint8_t* a = alpha + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            row[4 * x] = src[3 * x];
            row[4 * x + 1] = src[3 * x + 1];
            row[4 * x + 2] = src[3 * x + 2];
            row[4 * x + 3] = a[x];
        }
        if (file->Write(row.get(), 1, rowBytes) != rowBytes)
            return false;
    }
    return true;
}

}  // namespace

bool PxImageBMP::Encode(PxFile* file) {
    if (!file || !IsValid())
        return false;
    if (GetBpp() == 24 && HasAlpha()) {
        if (!EncodeWithAlpha(file, *this)) {
            SetLastError("Write Error in BMP file");
            return false;
        }
        return true;
    }
    // The pixel block is a packed DIB already: header, palette, rows.
    uint8_t raw[kFileHeaderSize];
    FillFileHeader(raw, GetSize() + kFileHeaderSize,
                   kFileHeaderSize + kInfoHeaderSize + GetPaletteSize());
    if (file->Write(raw, 1, sizeof(raw)) != sizeof(raw) ||
        file->Write(GetDIB(), 1, GetSize()) != GetSize()) {
        SetLastError("Write Error in BMP file");
        return false;
    }
    return true;
}
