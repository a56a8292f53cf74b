// BMP decoding of every header form and pixel layout, and encoding.
#include <gtest/gtest.h>

#include "ByteBuilder.h"
#include "CodecTestUtil.h"

namespace {

// 14-byte file header.
Bytes FileHeader(uint32_t fileSize, uint32_t offBits) {
    return Cat({{'B', 'M'}, U32(fileSize), U16(0), U16(0), U32(offBits)});
}

// 40-byte info header.
Bytes InfoHeader(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                 uint32_t clrUsed = 0, uint32_t size = 40, int32_t ppm = 0) {
    return Cat({U32(size), U32(uint32_t(width)), U32(uint32_t(height)), U16(1), U16(bpp),
                U32(compression), U32(0) /* size image */, U32(uint32_t(ppm)), U32(uint32_t(ppm)),
                U32(clrUsed), U32(0) /* important */});
}

RGBQUAD Rgb(uint8_t r, uint8_t g, uint8_t b) { return RGBQUAD{b, g, r, 0}; }

TEST(BmpDecode, CoreHeaderWithThreeBytePalette) {
    const Bytes file = Cat({
        FileHeader(40, 32),
        U32(12), U16(2) /* width */, U16(2) /* height */, U16(1) /* planes */, U16(1) /* bpp */,
        {0, 0, 255} /* entry 0: red (B, G, R) */, {0, 255, 0} /* entry 1: green */,
        {0x80, 0, 0, 0} /* bottom row: 1 0 */, {0x40, 0, 0, 0} /* top row: 0 1 */,
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetType(), uint32_t(PXIMAGE_FORMAT_BMP));
    EXPECT_TRUE(SameRgb(TopDown(image, 0, 0), Rgb(255, 0, 0)));
    EXPECT_TRUE(SameRgb(TopDown(image, 1, 0), Rgb(0, 255, 0)));
    EXPECT_TRUE(SameRgb(TopDown(image, 0, 1), Rgb(0, 255, 0)));
    EXPECT_TRUE(SameRgb(TopDown(image, 1, 1), Rgb(255, 0, 0)));
}

TEST(BmpDecode, BareDibWithoutFileHeader) {
    const Bytes dib = Cat({
        InfoHeader(3, 1, 4, BI_RGB, 2),
        {10, 20, 30, 99} /* entry 0; reserved byte is forced to 0 */, {40, 50, 60, 0},
        {0x10, 0x10, 0, 0} /* pixels 1 0 1, padded to 4 bytes */,
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, dib, PXIMAGE_FORMAT_UNKNOWN)) << image.GetLastError();
    EXPECT_EQ(image.GetType(), uint32_t(PXIMAGE_FORMAT_BMP));
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(image.GetPaletteColor(0).rgbReserved, 0);
    EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 60);
}

TEST(BmpDecode, TopDownRowsComeOutUpright) {
    const Bytes file = Cat({
        FileHeader(62, 54), InfoHeader(1, -2, 24, BI_RGB),
        {1, 2, 3, 0} /* first stored row is the top: B G R + pad */, {4, 5, 6, 0},
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_TRUE(SameRgb(TopDown(image, 0, 0), Rgb(3, 2, 1)));
    EXPECT_TRUE(SameRgb(TopDown(image, 0, 1), Rgb(6, 5, 4)));
}

TEST(BmpDecode, Os2HeaderOf64BytesSkipsItsTail) {
    const Bytes file = Cat({
        FileHeader(0, 14 + 64 + 8), InfoHeader(2, 1, 8, BI_RGB, 2, 64), Zeros(24) /* OS/2 fields */,
        {0, 0, 0, 0}, {9, 8, 7, 0} /* palette */, {1, 0, 0, 0} /* pixels 1 0 */,
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0, false), Rgb(7, 8, 9)));
}

TEST(BmpDecode, V5HeaderWithMasksInsideTheHeader) {
    // 124-byte header: 40 classic bytes, then red, green, blue, alpha masks and
    // colour-space fields; 32 bpp BI_BITFIELDS with a B-G-R-X layout.
    const Bytes file = Cat({
        FileHeader(0, 14 + 124), InfoHeader(2, 1, 32, BI_BITFIELDS, 0, 124),
        U32(0x0000FF00) /* red */, U32(0x00FF0000) /* green */, U32(0xFF000000) /* blue */,
        U32(0) /* alpha */, Zeros(124 - 56),
        {0x11, 0x22, 0x33, 0x44}, {0x00, 0xFF, 0x80, 0x01} /* pixels as 32-bit words */,
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_FALSE(image.HasAlpha());  // masks: the fourth byte is not alpha
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0, false), Rgb(0x22, 0x33, 0x44)));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(1, 0, false), Rgb(0xFF, 0x80, 0x01)));
}

TEST(BmpDecode, LargerHeaderWithPaletteAndNoImageSize) {
    // A 108-byte (V4) 8-bpp header with colours used 2 and image size 0.
    const Bytes file = Cat({
        FileHeader(0, 14 + 108 + 8), InfoHeader(1, 1, 8, BI_RGB, 2, 108), Zeros(108 - 40),
        {0, 0, 0, 0}, {1, 2, 3, 0}, {1, 0, 0, 0},
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_TRUE(SameRgb(image.GetPixelColor(0, 0, false), Rgb(3, 2, 1)));
}

TEST(BmpDecode, Rle8RunsThatOverflowTheImageAreClipped) {
    const Bytes file = Cat({
        FileHeader(0, 14 + 40 + 12), InfoHeader(2, 2, 8, BI_RLE8, 3),
        {0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0} /* palette */,
        {200, 1} /* run of 200 x index 1 on a 2-pixel row */,
        {0, 0} /* end of line */,
        {0, 5, 2, 2, 2, 2, 2, 0} /* absolute run of 5 (padded), 3 beyond the row */,
        {0, 2, 250, 250} /* delta far outside */,
        {9, 2} /* run written nowhere */,
        {0, 1} /* end of bitmap */,
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 1), 2);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 2);
}

TEST(BmpDecode, Rle4AlternatesNibblesAndStopsAtTruncation) {
    const Bytes file = Cat({
        FileHeader(0, 14 + 40 + 16 * 4), InfoHeader(5, 2, 4, BI_RLE4, 16), Zeros(16 * 4),
        {5, 0x12} /* 1 2 1 2 1 */, {0, 0} /* end of line */,
        {0, 3, 0x34, 0x50} /* absolute 3, 4, 5; 2 bytes (even) */,
        /* data ends here without an end-of-bitmap code */
    });
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    const uint8_t bottom[5] = {1, 2, 1, 2, 1};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(image.GetPixelIndex(x, 0), bottom[x]) << x;
    EXPECT_EQ(image.GetPixelIndex(0, 1), 3);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 4);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 5);
    EXPECT_EQ(image.GetPixelIndex(3, 1), 0);  // never written
}

TEST(BmpDecode, SixteenBitDefaultIs555AndMasksAreHonoured) {
    const Bytes rgb555 = Cat({
        FileHeader(0, 54), InfoHeader(2, 1, 16, BI_RGB),
        U16(0x7C00) /* pure red */, U16(0x03FF) /* green + blue */,
    });
    PxImage a;
    ASSERT_TRUE(DecodeBytes(a, rgb555, PXIMAGE_FORMAT_BMP)) << a.GetLastError();
    EXPECT_TRUE(SameRgb(a.GetPixelColor(0, 0, false), Rgb(255, 0, 0)));
    EXPECT_TRUE(SameRgb(a.GetPixelColor(1, 0, false), Rgb(0, 255, 255)));

    const Bytes rgb565 = Cat({
        FileHeader(0, 66), InfoHeader(2, 1, 16, BI_BITFIELDS),
        U32(0xF800), U32(0x07E0), U32(0x001F) /* masks after the header */,
        U16(0x07E0) /* pure green */, U16(0x8410) /* half of each */,
    });
    PxImage b;
    ASSERT_TRUE(DecodeBytes(b, rgb565, PXIMAGE_FORMAT_BMP)) << b.GetLastError();
    EXPECT_TRUE(SameRgb(b.GetPixelColor(0, 0, false), Rgb(0, 255, 0)));
    EXPECT_TRUE(SameRgb(b.GetPixelColor(1, 0, false), Rgb(131, 130, 131), 1));
}

TEST(BmpDecode, ThirtyTwoBitAlphaKeptOrDroppedWhenAllZero) {
    const Bytes withAlpha = Cat({
        FileHeader(0, 54), InfoHeader(2, 1, 32, BI_RGB),
        {1, 2, 3, 128}, {4, 5, 6, 0} /* B G R A */,
    });
    PxImage a;
    ASSERT_TRUE(DecodeBytes(a, withAlpha, PXIMAGE_FORMAT_BMP)) << a.GetLastError();
    ASSERT_TRUE(a.HasAlpha());
    EXPECT_EQ(a.GetAlpha(0, 0), 128);
    EXPECT_EQ(a.GetAlpha(1, 0), 0);
    EXPECT_TRUE(SameRgb(a.GetPixelColor(1, 0, false), Rgb(6, 5, 4)));

    const Bytes zeroAlpha = Cat({
        FileHeader(0, 54), InfoHeader(2, 1, 32, BI_RGB), {1, 2, 3, 0}, {4, 5, 6, 0},
    });
    PxImage b;
    ASSERT_TRUE(DecodeBytes(b, zeroAlpha, PXIMAGE_FORMAT_BMP)) << b.GetLastError();
    EXPECT_FALSE(b.HasAlpha());
}

TEST(BmpDecode, DpiFromPixelsPerMetre) {
    const Bytes file = Cat({FileHeader(0, 54), InfoHeader(1, 1, 24, BI_RGB, 0, 40, 11811), {0, 0, 0, 0}});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, file, PXIMAGE_FORMAT_BMP)) << image.GetLastError();
    EXPECT_EQ(image.GetDpiX(), 300);
    EXPECT_EQ(image.GetDpiY(), 300);
}

TEST(BmpDecode, FailuresCarryTheirMessages) {
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
    };
    const Case cases[] = {
        {"short", {'B', 'M', 1, 2}, "Not a BMP"},
        {"header size 20", Cat({FileHeader(0, 54), U32(20), Zeros(36)}), "Error reading BMP info"},
        {"truncated header", Cat({FileHeader(0, 54), U32(40), Zeros(10)}), "Error reading BMP info"},
        {"1 bpp RLE", Cat({FileHeader(0, 62), InfoHeader(1, 1, 1, 7), Zeros(12)}),
         "compression type not supported"},
        {"24 bpp RLE", Cat({FileHeader(0, 54), InfoHeader(1, 1, 24, BI_RLE8), Zeros(4)}),
         "unknown compression"},
        {"32 bpp RLE", Cat({FileHeader(0, 54), InfoHeader(1, 1, 32, BI_RLE4), Zeros(4)}),
         "unknown compression"},
        {"too big", Cat({FileHeader(0, 54), InfoHeader(30000, 30000, 24, BI_RGB)}),
         "PXIMAGE_MAX_MEMORY exceeded"},
        {"zero width", Cat({FileHeader(0, 54), InfoHeader(0, 5, 24, BI_RGB)}),
         "PxImage::Create : width and height must be greater than zero"},
        {"missing rows", Cat({FileHeader(0, 54), InfoHeader(4, 4, 24, BI_RGB), Zeros(20)}),
         "BMP pixel data is truncated"},
    };
    for (const Case& c : cases) {
        PxImage image;
        EXPECT_FALSE(DecodeBytes(image, c.bytes, PXIMAGE_FORMAT_BMP)) << c.name;
        EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
        EXPECT_FALSE(image.IsValid()) << c.name;
    }
}

TEST(BmpEncode, TwentyFourBitsWithoutAlphaIsThePixelBlockAtOffset54) {
    PxImage image;
    MakePattern(image, 5, 3);
    const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_BMP);
    ASSERT_EQ(bytes.size(), 14u + image.GetSize());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(LoadU32(bytes, 10), 54u);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_UNKNOWN)) << back.GetLastError();
    EXPECT_EQ(MaxDifference(image, back), 0);
}

TEST(BmpEncode, AlphaChannelGivesThirtyTwoBitsAndRoundTrips) {
    PxImage image;
    MakePattern(image, 4, 3);
    ASSERT_TRUE(image.CreateAlpha());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            image.SetAlpha(x, y, static_cast<uint8_t>(x * 60 + y));
    const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_BMP);
    ASSERT_EQ(bytes.size(), 54u + 4 * 4 * 3);
    EXPECT_EQ(bytes[28], 32);  // bit count
    EXPECT_EQ(LoadU32(bytes, 2), bytes.size());
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_BMP)) << back.GetLastError();
    EXPECT_EQ(MaxDifference(image, back), 0);
    ASSERT_TRUE(back.HasAlpha());
    EXPECT_EQ(back.GetAlpha(3, 2), 182);
}

TEST(BmpEncode, PaletteImagesRoundTripAtEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        PxImage image(7, 5, bpp, 0);
        const uint32_t colors = 1u << bpp;
        for (uint32_t i = 0; i < colors; ++i)
            image.SetPaletteColor(uint8_t(i), RGBQUAD{uint8_t(i * 3), uint8_t(255 - i), uint8_t(i), 0});
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                image.SetPixelIndex(x, y, uint8_t((x * 3 + y) % colors));
        const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_BMP);
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_BMP)) << bpp;
        EXPECT_EQ(back.GetBpp(), bpp);
        EXPECT_EQ(MaxDifference(image, back), 0) << bpp;
    }
}

}  // namespace
