// PNG decoding of every colour type and depth (files written here with
// libpng itself) and encoding round trips.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <functional>

#include "CodecTestUtil.h"

namespace {

struct PngSpec {
    uint32_t width = 4, height = 3;
    int colorType = PNG_COLOR_TYPE_GRAY;
    int depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trnsAlpha;   // palette tRNS
    bool trnsColor = false;            // gray / RGB tRNS
    png_color_16 trns{};
    bool phys = false;
    png_uint_32 ppmX = 0, ppmY = 0;
    int physUnit = PNG_RESOLUTION_METER;
    // Sample (channel c of pixel x, y), in the file's depth.
    std::function<uint32_t(uint32_t x, uint32_t y, int c)> sample;
};

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    default: return 1;
    }
}

void Append(png_structp png, png_bytep data, size_t n) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes WritePng(const PngSpec& s) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, Append, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    if (!s.trnsAlpha.empty())
        png_set_tRNS(png, info, s.trnsAlpha.data(), int(s.trnsAlpha.size()), nullptr);
    if (s.trnsColor)
        png_set_tRNS(png, info, nullptr, 0, &s.trns);
    if (s.phys)
        png_set_pHYs(png, info, s.ppmX, s.ppmY, s.physUnit);
    png_write_info(png, info);
    const int channels = Channels(s.colorType);
    const size_t rowBytes = (size_t(s.width) * channels * s.depth + 7) / 8;
    std::vector<Bytes> rows(s.height, Bytes(rowBytes, 0));
    std::vector<png_bytep> pointers;
    for (uint32_t y = 0; y < s.height; ++y) {
        for (uint32_t x = 0; x < s.width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const uint32_t v = s.sample(x, y, c);
                const size_t bit = (size_t(x) * channels + c) * s.depth;
                if (s.depth == 16) {
                    rows[y][bit / 8] = uint8_t(v >> 8);
                    rows[y][bit / 8 + 1] = uint8_t(v);
                } else if (s.depth == 8) {
                    rows[y][bit / 8] = uint8_t(v);
                } else {
                    rows[y][bit / 8] |= uint8_t(v << (8 - s.depth - bit % 8));
                }
            }
        }
        pointers.push_back(rows[y].data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(PngDecode, GrayDepthsAndTheirRamps) {
    struct Case { int depth; uint32_t bpp; uint32_t max; };
    for (Case c : {Case{1, 1, 1}, Case{2, 4, 3}, Case{4, 4, 15}, Case{8, 8, 255}, Case{16, 8, 65535}}) {
        PngSpec s;
        s.depth = c.depth;
        s.sample = [&](uint32_t x, uint32_t y, int) { return (x + y * 4) % (c.max + 1) * (c.depth == 16 ? 257 : 1); };
        PxImage image;
        ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG)) << c.depth << image.GetLastError();
        EXPECT_EQ(image.GetBpp(), c.bpp) << c.depth;
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 4; ++x) {
                const uint32_t v = (x + y * 4) % (c.max + 1);
                const uint8_t expect = uint8_t(c.depth == 16 ? v : v * 255 / c.max);
                EXPECT_EQ(TopDown(image, int(x), int(y)).rgbGreen, expect) << c.depth << " " << x << "," << y;
            }
    }
}

TEST(PngDecode, SixteenBitGrayIsAnEightBitGrayRamp) {
    PngSpec s;
    s.depth = 16;
    s.sample = [](uint32_t x, uint32_t, int) { return x * 0x1234; };
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayRamp());
    EXPECT_EQ(image.GetPixelIndex(3, 0), (3 * 0x1234) >> 8);
}

TEST(PngDecode, PaletteDepthsWithTransparency) {
    for (int depth : {1, 2, 4, 8}) {
        PngSpec s;
        s.colorType = PNG_COLOR_TYPE_PALETTE;
        s.depth = depth;
        const uint32_t colors = 1u << depth;
        for (uint32_t i = 0; i < colors; ++i)
            s.palette.push_back(png_color{uint8_t(i * 3), uint8_t(i), uint8_t(200 - i)});
        s.sample = [&](uint32_t x, uint32_t y, int) { return (x * 3 + y) % colors; };
        s.trnsAlpha = {0};  // one entry: index 0 fully transparent
        PxImage image;
        ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG)) << depth << image.GetLastError();
        EXPECT_EQ(image.GetBpp(), depth == 2 ? 4u : uint32_t(depth));
        EXPECT_EQ(image.GetTransIndex(), 0);
        EXPECT_EQ(image.GetHeader().biClrImportant, colors);
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 4; ++x)
                EXPECT_EQ(image.GetPixelIndex(int(x), int(2 - y)), (x * 3 + y) % colors) << depth;
        EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 3);
    }
}

TEST(PngDecode, SeveralTransparencyEntriesBecomePaletteAlpha) {
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    s.trnsAlpha = {255, 10, 0};
    s.sample = [](uint32_t x, uint32_t, int) { return x; };
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(image.IsAlphaPaletteEnabled());
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_EQ(image.GetPaletteColor(1).rgbReserved, 10);
    EXPECT_EQ(image.GetPaletteColor(2).rgbReserved, 0);
    EXPECT_EQ(image.GetPaletteColor(3).rgbReserved, 255);  // missing entries are opaque
}

TEST(PngDecode, ColourTypesWithAlpha) {
    PngSpec rgba;
    rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.sample = [](uint32_t x, uint32_t y, int c) { return c == 3 ? x * 60 + y : x * 10 + c * 50 + y; };
    PxImage a;
    ASSERT_TRUE(DecodeBytes(a, WritePng(rgba), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(a.GetBpp(), 24u);
    ASSERT_TRUE(a.HasAlpha());
    EXPECT_EQ(a.GetAlpha(3, 2), 180);  // x 3, top row
    EXPECT_TRUE(SameRgb(TopDown(a, 2, 1), RGBQUAD{121, 71, 21, 0}));

    PngSpec ga;
    ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    ga.depth = 16;
    ga.sample = [](uint32_t x, uint32_t, int c) { return c ? 0xFF00 - x * 256 : x * 0x1000; };
    PxImage b;
    ASSERT_TRUE(DecodeBytes(b, WritePng(ga), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(b.GetBpp(), 8u);
    ASSERT_TRUE(b.HasAlpha());
    EXPECT_EQ(b.GetPixelIndex(2, 0), 0x20);
    EXPECT_EQ(b.GetAlpha(2, 0), 0xFD);
}

TEST(PngDecode, RgbSixteenBitAndTransparentColour) {
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_RGB;
    s.depth = 16;
    s.sample = [](uint32_t x, uint32_t, int c) { return (x * 40 + c) * 256 + 0x7F; };
    s.trnsColor = true;
    s.trns.red = 0x0000;
    s.trns.green = 0x0100;
    s.trns.blue = 0x0200;
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(SameRgb(TopDown(image, 1, 0), RGBQUAD{42, 41, 40, 0}));
    EXPECT_EQ(image.GetTransIndex(), 0);
    EXPECT_TRUE(SameRgb(image.GetTransColor(), RGBQUAD{2, 1, 0, 0}));
}

TEST(PngDecode, InterlacedFilesSetTheCodecOption) {
    for (int type : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_PALETTE}) {
        PngSpec s;
        s.width = 13;
        s.height = 11;
        s.colorType = type;
        s.interlaced = true;
        if (type == PNG_COLOR_TYPE_PALETTE)
            for (int i = 0; i < 256; ++i)
                s.palette.push_back(png_color{uint8_t(i), uint8_t(i / 2), 0});
        s.sample = [](uint32_t x, uint32_t y, int c) { return (x * 17 + y * 3 + c) & 0xFF; };
        PxImage image;
        ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG)) << type;
        EXPECT_EQ(image.GetCodecOption(PXIMAGE_FORMAT_PNG), 1u) << type;
        const RGBQUAD c = TopDown(image, 12, 10);
        EXPECT_EQ(c.rgbRed, (12 * 17 + 30) & 0xFF) << type;  // sample, gray or palette red
    }
}

TEST(PngDecode, PhysicalSize) {
    PngSpec s;
    s.sample = [](uint32_t, uint32_t, int) { return 0; };
    s.phys = true;
    s.ppmX = 11811;
    s.ppmY = 3780;
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(image.GetDpiX(), 300);
    EXPECT_EQ(image.GetDpiY(), 96);
    s.physUnit = PNG_RESOLUTION_UNKNOWN;
    s.ppmX = 72;
    s.ppmY = 144;
    ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(image.GetDpiX(), 72);
    EXPECT_EQ(image.GetDpiY(), 144);
}

// A resolution far beyond any device still decodes; the header's pixels per
// metre saturate instead of overflowing the conversion.
TEST(PngDecode, HugeResolutionSaturatesPixelsPerMetre) {
    struct Case { int unit; png_uint_32 value; int32_t dpi; int32_t perMetre; };
    const Case cases[] = {
        {PNG_RESOLUTION_UNKNOWN, 100000000, 100000000, INT32_MAX},
        {PNG_RESOLUTION_UNKNOWN, 2147483647, INT32_MAX, INT32_MAX},
        {PNG_RESOLUTION_METER, 2147483647, 54546085, INT32_MAX},
        {PNG_RESOLUTION_UNKNOWN, 54000000, 54000000, 2125984252},
    };
    for (const Case& c : cases) {
        PngSpec s;
        s.sample = [](uint32_t, uint32_t, int) { return 0; };
        s.phys = true;
        s.physUnit = c.unit;
        s.ppmX = s.ppmY = c.value;
        PxImage image;
        ASSERT_TRUE(DecodeBytes(image, WritePng(s), PXIMAGE_FORMAT_PNG)) << c.value;
        EXPECT_EQ(image.GetDpiX(), c.dpi) << c.value;
        EXPECT_EQ(image.GetDpiY(), c.dpi) << c.value;
        EXPECT_EQ(image.GetHeader().biXPelsPerMeter, c.perMetre) << c.value;
        EXPECT_EQ(image.GetHeader().biYPelsPerMeter, c.perMetre) << c.value;
    }
}

TEST(PngDecode, ReadErrorsCarryLibpngText) {
    PngSpec s;
    s.sample = [](uint32_t, uint32_t, int) { return 1; };
    Bytes bytes = WritePng(s);
    bytes.resize(40);  // inside the first chunk after IHDR
    PxImage image;
    EXPECT_FALSE(DecodeBytes(image, bytes, PXIMAGE_FORMAT_PNG));
    EXPECT_STRNE(image.GetLastError(), "");
    PxImage notPng;
    EXPECT_FALSE(DecodeBytes(notPng, Bytes(64, 'x'), PXIMAGE_FORMAT_PNG));
    EXPECT_STRNE(notPng.GetLastError(), "");
}

TEST(PngEncode, TrueColourWithAndWithoutAlphaRoundTrips) {
    PxImage image;
    MakePattern(image, 31, 17);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeBytes(image, PXIMAGE_FORMAT_PNG), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(MaxDifference(image, back), 0);
    EXPECT_FALSE(back.HasAlpha());

    ASSERT_TRUE(image.CreateAlpha());
    image.SetAlpha(30, 16, 7);
    PxImage withAlpha;
    ASSERT_TRUE(DecodeBytes(withAlpha, EncodeBytes(image, PXIMAGE_FORMAT_PNG), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(MaxDifference(image, withAlpha), 0);
    ASSERT_TRUE(withAlpha.HasAlpha());
    EXPECT_EQ(withAlpha.GetAlpha(30, 16), 7);
    EXPECT_EQ(withAlpha.GetAlpha(0, 0), 255);
}

TEST(PngEncode, TransparentColourOfAnAlphaImageGetsAlphaZero) {
    PxImage image;
    MakePattern(image, 4, 4);
    ASSERT_TRUE(image.CreateAlpha());
    const RGBQUAD key = image.GetPixelColor(1, 1, false);
    image.SetTransColor(key);
    image.SetTransIndex(0);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeBytes(image, PXIMAGE_FORMAT_PNG), PXIMAGE_FORMAT_PNG));
    EXPECT_EQ(back.GetAlpha(1, 1), 0);
    EXPECT_EQ(back.GetAlpha(2, 1), 255);
}

TEST(PngEncode, TransparentPaletteEntryIsWrittenFirst) {
    PxImage image(5, 2, 8, 0);
    for (int i = 0; i < 256; ++i)
        image.SetPaletteColor(uint8_t(i), RGBQUAD{uint8_t(i), 0, uint8_t(255 - i), 0});
    for (int x = 0; x < 5; ++x) {
        image.SetPixelIndex(x, 0, uint8_t(x));
        image.SetPixelIndex(x, 1, uint8_t(x + 3));
    }
    image.SetTransIndex(3);
    const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_PNG);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_PNG)) << back.GetLastError();
    EXPECT_EQ(back.GetTransIndex(), 0);
    EXPECT_EQ(MaxDifference(image, back), 0);  // same colours everywhere
    EXPECT_EQ(back.GetPixelIndex(3, 0), 0);    // transparent pixels use entry 0
    EXPECT_EQ(back.GetPixelIndex(0, 1), 0);
    EXPECT_EQ(back.GetPixelIndex(0, 0), 3);    // ... and entry 0 moved to 3
    EXPECT_EQ(image.GetPaletteColor(3).rgbBlue, 3);  // the caller's palette is untouched
}

TEST(PngEncode, GrayRampPaletteAlphaPaletteAndInterlace) {
    PxImage gray(6, 4, 8, 0);
    gray.SetGrayPalette();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            gray.SetPixelIndex(x, y, uint8_t(x * 40 + y));
    gray.SetCodecOption(PXIMAGE_FORMAT_PNG, 1);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeBytes(gray, PXIMAGE_FORMAT_PNG), PXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(back.IsGrayRamp());
    EXPECT_EQ(back.GetCodecOption(PXIMAGE_FORMAT_PNG), 1u);
    EXPECT_EQ(back.GetPixelIndex(5, 3), 203);

    PxImage pal(2, 1, 4, 0);
    pal.SetPaletteColor(1, RGBQUAD{1, 2, 3, 77});
    pal.EnableAlphaPalette(true);
    pal.SetPixelIndex(1, 0, 1);
    PxImage palBack;
    ASSERT_TRUE(DecodeBytes(palBack, EncodeBytes(pal, PXIMAGE_FORMAT_PNG), PXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(palBack.IsAlphaPaletteEnabled());
    EXPECT_EQ(palBack.GetPaletteColor(1).rgbReserved, 77);
}

TEST(PngEncode, NonGrayPaletteWithAlphaChannelIsRefused) {
    PxImage image(3, 3, 8, 0);
    image.SetPaletteColor(1, RGBQUAD{9, 9, 200, 0});
    ASSERT_TRUE(image.CreateAlpha());
    PxMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(image.Encode(&file, PXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.GetLastError(), "Error saving PNG file");
}

}  // namespace
