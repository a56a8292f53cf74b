// Row padding: the pixel block pool hands back blocks that held earlier
// pictures, so every byte an encoder writes past a row's last pixel must be
// zero whatever produced the rows. The expected files are built here from the
// pixels alone and compared byte for byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "CodecTestUtil.h"
#include "image/PxBlockPool.h"

namespace {

constexpr size_t kDirtyBlock = (size_t{3} << 20) / 2;  // 1.5 MiB: kept and reused by the pool
constexpr uint32_t kRowBudget = (uint32_t{1} << 20) + (uint32_t{1} << 16);

// Leaves the pool holding blocks full of 0xEE, as a released picture would.
void DirtyPool() {
    uint8_t* blocks[2];
    for (uint8_t*& b : blocks) {
        b = PxBlockPool::Allocate(kDirtyBlock);
        ASSERT_NE(b, nullptr);
        std::memset(b, 0xEE, kDirtyBlock);
    }
    for (uint8_t* b : blocks)
        PxBlockPool::Release(b);
}

uint32_t Stride(uint32_t width, uint32_t bpp) {
    return (width * bpp + 31) / 32 * 4;
}

// Rows enough for a block the pool serves from its dirty blocks.
uint32_t PoolRows(uint32_t width, uint32_t bpp) {
    return kRowBudget / Stride(width, bpp);
}

// Bits of a row that belong to pixels: whole bytes, then the high bits of a
// byte shared with padding.
size_t PixelBytes(const PxImage& image) {
    return size_t(image.GetWidth()) * image.GetBpp() / 8;
}
uint8_t SharedByteMask(const PxImage& image) {  // 0: no byte is shared
    const uint32_t bits = image.GetWidth() * image.GetBpp() % 8;
    return uint8_t(0xFF00 >> bits);  // bits == 0 leaves no bit in the low byte
}

// A picture whose pixels all differ from their neighbours; palette entries
// are distinct and not a gray ramp. Writes pixel bits only, row by row.
void FillPicture(PxImage& image) {
    const uint32_t colors = image.GetNumColors(), bpp = image.GetBpp();
    for (uint32_t i = 0; i < colors; ++i)
        image.SetPaletteColor(uint8_t(i), RGBQUAD{uint8_t(i * 3 + 1), uint8_t(255 - i), uint8_t(i * 7), 0});
    Bytes packed;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        packed.assign(PixelBytes(image) + 1, 0);
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            if (bpp == 24) {
                packed[3 * x] = uint8_t(x * 40 + y);
                packed[3 * x + 1] = uint8_t(y * 3);
                packed[3 * x + 2] = uint8_t(x + y * 7 + 9);
            } else {
                const uint32_t bit = x * bpp;
                packed[bit / 8] |= uint8_t((x * 3 + y * 5 + 1) % colors << (8 - bpp - bit % 8));
            }
        }
        uint8_t* row = image.GetBits(y);
        std::memcpy(row, packed.data(), PixelBytes(image));
        const uint8_t mask = SharedByteMask(image);
        if (mask)
            row[PixelBytes(image)] = uint8_t((row[PixelBytes(image)] & ~mask) | (packed[PixelBytes(image)] & mask));
    }
}

void MakePicture(PxImage& image, uint32_t width, uint32_t height, uint32_t bpp) {
    DirtyPool();
    ASSERT_NE(image.Create(width, height, bpp, 0), nullptr) << image.GetLastError();
    FillPicture(image);
    DirtyPool();
}

// The pixel bits of storage row y as held in memory, then zeros up to
// `bytes`.
void PackRow(const PxImage& image, uint32_t y, size_t bytes, Bytes& out) {
    const size_t start = out.size();
    out.resize(start + bytes, 0);
    const uint8_t* row = image.GetBits(y);
    std::memcpy(&out[start], row, PixelBytes(image));
    if (SharedByteMask(image))
        out[start + PixelBytes(image)] = row[PixelBytes(image)] & SharedByteMask(image);
}

void PutLE(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

// The BMP file of an image, written out field by field.
Bytes ExpectedBmp(const PxImage& image) {
    const uint32_t width = image.GetWidth(), height = image.GetHeight(), bpp = image.GetBpp();
    const uint32_t colors = bpp <= 8 ? 1u << bpp : 0;
    const uint32_t stride = Stride(width, bpp), offset = 14 + 40 + colors * 4;
    Bytes out{'B', 'M'};
    PutLE(out, offset + stride * height, 4);  // file size
    PutLE(out, 0, 4);                         // reserved
    PutLE(out, offset, 4);                    // offset of the pixels
    PutLE(out, 40, 4);                        // info header size
    PutLE(out, width, 4);
    PutLE(out, height, 4);                    // bottom-up
    PutLE(out, 1, 2);                         // planes
    PutLE(out, bpp, 2);
    PutLE(out, 0, 4);                         // BI_RGB
    PutLE(out, stride * height, 4);           // image size
    PutLE(out, uint32_t(image.GetHeader().biXPelsPerMeter), 4);
    PutLE(out, uint32_t(image.GetHeader().biYPelsPerMeter), 4);
    PutLE(out, colors, 4);                    // colours used
    PutLE(out, 0, 4);                         // colours important
    for (uint32_t i = 0; i < colors; ++i) {
        const RGBQUAD c = image.GetPaletteColor(uint8_t(i));
        out.insert(out.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved});
    }
    for (uint32_t y = 0; y < height; ++y)
        PackRow(image, y, stride, out);
    return out;
}

// The decompressed IDAT stream a 1- or 4-bpp palette image must produce:
// top-down rows, each a filter byte 0 and the packed indices.
Bytes ExpectedPngData(const PxImage& image) {
    const uint32_t height = image.GetHeight();
    Bytes out;
    for (uint32_t r = 0; r < height; ++r) {
        out.push_back(0);
        PackRow(image, height - 1 - r, (size_t(image.GetWidth()) * image.GetBpp() + 7) / 8, out);
    }
    return out;
}

Bytes InflateIdat(const Bytes& png) {
    Bytes packed;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 |
                                uint32_t(png[at + 2]) << 8 | png[at + 3];
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0)
            packed.insert(packed.end(), png.begin() + long(at + 8), png.begin() + long(at + 8 + length));
        at += 12 + size_t(length);
    }
    Bytes out(size_t{8} << 20);
    uLongf size = uLongf(out.size());
    if (uncompress(out.data(), &size, packed.data(), uLong(packed.size())) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

// Offset of the first byte where the two differ, or -1.
long FirstDifference(const Bytes& a, const Bytes& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return long(i);
    return a.size() == b.size() ? -1 : long(n);
}

// Ways of arriving at a width x (about PoolRows) image of a depth, each
// writing into a block the pool hands back dirty. False when the way does not
// apply to that depth or flavour.
struct Producer {
    const char* name;
    int cases;  // how many of the 32 depth and width pairs it yields
    std::function<bool(PxImage& out, uint32_t width, uint32_t bpp)> make;
};

bool Recode(PxImage& out, uint32_t width, uint32_t bpp, uint32_t format, uint32_t sourceBpp) {
    // JPEG and GIF sizes are 16-bit: narrow pictures get fewer rows, and a
    // block too small for the pool then comes straight from the heap.
    PxImage source;
    MakePicture(source, width, std::min<uint32_t>(PoolRows(width, bpp), 65000), sourceBpp);
    if (sourceBpp == 8)
        source.SetGrayPalette();
    const Bytes file = EncodeBytes(source, format);
    if (file.empty())
        return false;  // the format is not in this flavour
    DirtyPool();
    return DecodeBytes(out, file, format) && out.GetBpp() == bpp;
}

const Producer kProducers[] = {
    {"Create", 32, [](PxImage& out, uint32_t w, uint32_t bpp) {
         MakePicture(out, w, PoolRows(w, bpp), bpp);
         return true;
     }},
    {"Crop", 32, [](PxImage& out, uint32_t w, uint32_t bpp) {
         PxImage source;
         MakePicture(source, w + 9, PoolRows(w, bpp) + 2, bpp);
         return source.Crop(5, 1, 5 + int32_t(w), 1 + int32_t(PoolRows(w, bpp)), &out);
     }},
    {"RotateClockwise", 32, [](PxImage& out, uint32_t w, uint32_t bpp) {
         PxImage source;
         MakePicture(source, PoolRows(w, bpp), w, bpp);
         return source.RotateClockwise(&out);
     }},
    {"RotateCounterClockwise", 32, [](PxImage& out, uint32_t w, uint32_t bpp) {
         PxImage source;
         MakePicture(source, PoolRows(w, bpp), w, bpp);
         return source.RotateCounterClockwise(&out);
     }},
    {"ScaleTo", 32, [](PxImage& out, uint32_t w, uint32_t bpp) {
         // 24 bpp by area average; palette pictures by nearest pixel, which
         // writes rows the way the bilinear path does without its slow
         // nearest-colour search.
         PxImage source;
         MakePicture(source, w + 3, PoolRows(w, bpp) + 5, bpp);
         return source.ScaleTo(int32_t(w), int32_t(PoolRows(w, bpp)), bpp == 24 ? 0 : 1, &out);
     }},
    {"ExpandCanvas", 32, [](PxImage& out, uint32_t w, uint32_t bpp) {
         const uint32_t sw = (w + 1) / 2;
         MakePicture(out, sw, PoolRows(w, bpp) - 1, bpp);
         return out.ExpandCanvas(0, 1, int32_t(w - sw), 0, RGBQUAD{255, 255, 255, 0});
     }},
    {"IncreaseBitDepth", 24, [](PxImage& out, uint32_t w, uint32_t bpp) {
         if (bpp == 1)
             return false;
         MakePicture(out, w, PoolRows(w, bpp), bpp == 4 ? 1 : bpp == 8 ? 4 : 8);
         return out.IncreaseBitDepth(bpp);
     }},
    {"JPEG decode", 16, [](PxImage& out, uint32_t w, uint32_t bpp) {
         return bpp >= 8 && Recode(out, w, bpp, PXIMAGE_FORMAT_JPG, bpp);
     }},
    {"GIF decode", FlavourTraits::kHasGif ? 8 : 0, [](PxImage& out, uint32_t w, uint32_t bpp) {
         return bpp == 8 && Recode(out, w, bpp, PXIMAGE_FORMAT_GIF, 8);
     }},
};

TEST(RowPadding, EncodedFilesCarryOnlyPixelsAndZeros) {
    for (const Producer& p : kProducers) {
        int made = 0;
        for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
            for (uint32_t w = 1; w <= 8; ++w) {
                PxImage image;
                if (!p.make(image, w, bpp))
                    continue;
                const std::string where = std::string(p.name) + " " + std::to_string(bpp) + " bpp, width " +
                                          std::to_string(w);
                ASSERT_EQ(image.GetWidth(), w) << where;
                ASSERT_EQ(image.GetBpp(), bpp) << where;
                EXPECT_EQ(FirstDifference(EncodeBytes(image, PXIMAGE_FORMAT_BMP), ExpectedBmp(image)), -1)
                    << where << " (BMP)";
                if (bpp < 8) {
                    EXPECT_EQ(FirstDifference(InflateIdat(EncodeBytes(image, PXIMAGE_FORMAT_PNG)),
                                              ExpectedPngData(image)), -1)
                        << where << " (PNG rows)";
                }
                ++made;
            }
        }
        EXPECT_EQ(made, p.cases) << p.name;
    }
}

// Escape stops the per-row loops early; rows never reached must not show
// what the block held before.
TEST(RowPadding, RowsAnEscapedBitDepthIncreaseDidNotReachAreZero) {
    for (uint32_t bpp : {4u, 8u, 24u}) {
        PxImage image;
        MakePicture(image, 7, PoolRows(7, bpp), bpp == 24 ? 8 : 1);
        image.SetEscape(1);
        ASSERT_TRUE(image.IncreaseBitDepth(bpp)) << bpp;
        long stale = 0;
        for (uint32_t y = 0; y < image.GetHeight(); ++y)
            for (uint32_t b = 0; b < image.GetEffWidth(); ++b)
                stale += image.GetBits(y)[b] == 0xEE;
        EXPECT_EQ(stale, 0) << bpp;
    }
}

}  // namespace
