// TIFF (npPixmend only): round trips through the encoder, pages, failures.
#include <gtest/gtest.h>

#include "CodecTestUtil.h"

namespace {

TEST(TiffCodec, TrueColourAndPaletteRoundTrip) {
    PxImage rgb;
    MakePattern(rgb, 19, 11);
    rgb.SetDpiX(300);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeBytes(rgb, PXIMAGE_FORMAT_TIF), PXIMAGE_FORMAT_UNKNOWN)) << back.GetLastError();
    EXPECT_EQ(back.GetType(), uint32_t(PXIMAGE_FORMAT_TIF));
    EXPECT_EQ(back.GetNumFrames(), 1);
    EXPECT_EQ(back.GetDpiX(), 300);
    EXPECT_EQ(MaxDifference(rgb, back), 0);

    for (uint32_t bpp : {1u, 4u, 8u}) {
        PxImage pal(9, 6, bpp, 0);
        for (uint32_t i = 0; i < (1u << bpp); ++i)
            pal.SetPaletteColor(uint8_t(i), RGBQUAD{uint8_t(i * 3), uint8_t(i), uint8_t(250 - i), 0});
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x)
                pal.SetPixelIndex(x, y, uint8_t((x + 2 * y) % (1 << bpp)));
        PxImage palBack;
        ASSERT_TRUE(DecodeBytes(palBack, EncodeBytes(pal, PXIMAGE_FORMAT_TIF), PXIMAGE_FORMAT_TIF)) << bpp;
        EXPECT_EQ(palBack.GetBpp(), bpp);
        EXPECT_EQ(MaxDifference(pal, palBack), 0) << bpp;
    }
}

// True-colour pages go through libtiff's RGBA reader; Escape stops it too.
TEST(TiffCodec, CancelledTrueColourDecodeFails) {
    PxImage rgb;
    MakePattern(rgb, 19, 11);
    PxImage cancelled;
    cancelled.SetEscape(1);
    EXPECT_FALSE(DecodeBytes(cancelled, EncodeBytes(rgb, PXIMAGE_FORMAT_TIF), PXIMAGE_FORMAT_TIF));
    EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
}

TEST(TiffCodec, MissingPageAndGarbage) {
    PxImage rgb;
    MakePattern(rgb, 4, 4);
    const Bytes bytes = EncodeBytes(rgb, PXIMAGE_FORMAT_TIF);
    PxImage page;
    page.SetFrameIndex(1);
    EXPECT_FALSE(DecodeBytes(page, bytes, PXIMAGE_FORMAT_TIF));
    EXPECT_STREQ(page.GetLastError(), "Error: page not present in TIFF file");
    EXPECT_EQ(page.GetNumFrames(), 1);
    PxImage garbage;
    EXPECT_FALSE(DecodeBytes(garbage, Bytes(64, 'I'), PXIMAGE_FORMAT_TIF));
    EXPECT_STREQ(garbage.GetLastError(), "Error encountered while opening TIFF file");
}

}  // namespace
