// The display image's direct zoom path against the image library's
// FitToBox, and the reuse of its pixel block across zoom steps.
#include <gtest/gtest.h>

#include <cstdlib>

#include "editor/DisplayImage.h"
#include "tests/editor/CanvasTestImages.h"

using canvas_test::At;
using canvas_test::Pattern;
using canvas_test::Same;

namespace {

const RGBQUAD kWhite{255, 255, 255, 0};

int MaxChannelDifference(const PxImage& a, const PxImage& b) {
    int worst = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(a.GetHeight()); ++y)
        for (int32_t x = 0; x < static_cast<int32_t>(a.GetWidth()); ++x) {
            const RGBQUAD p = At(a, x, y), q = At(b, x, y);
            worst = std::max({worst, std::abs(p.rgbBlue - q.rgbBlue),
                              std::abs(p.rgbGreen - q.rgbGreen), std::abs(p.rgbRed - q.rgbRed)});
        }
    return worst;
}

}  // namespace

TEST(DisplayImage, MatchesFitToBoxWithinOneLevel) {
    const struct { uint32_t w, h; int32_t bw, bh; } cases[] = {
        {800, 700, 400, 350},   // plain shrink, exact fit
        {800, 700, 480, 420},   // zoom step
        {640, 480, 104, 104},   // zoomed out: shrunk onto a frame-sized white canvas
        {97, 61, 300, 200},     // fits: centred, odd margins
        {300, 301, 299, 300},   // barely shrinks
        {3, 900, 50, 60},       // thin: one axis ends up unscaled, library path
    };
    DisplayImage display;
    unsigned seed = 5;
    for (const auto& k : cases) {
        PxImage picture = Pattern(k.w, k.h, seed++);
        PxImage expected;
        ASSERT_TRUE(picture.FitToBox(k.bw, k.bh, kWhite, &expected));
        ASSERT_TRUE(display.Rebuild(picture, CanvasSize{k.bw, k.bh}));
        const PxImage& got = display.Image();
        ASSERT_EQ(got.GetWidth(), expected.GetWidth()) << k.w << "x" << k.h;
        ASSERT_EQ(got.GetHeight(), expected.GetHeight());
        EXPECT_EQ(got.GetBpp(), 24u);
        EXPECT_LE(MaxChannelDifference(got, expected), 1) << k.w << "x" << k.h << " in " << k.bw
                                                          << "x" << k.bh;
        // The picture itself is never touched.
        EXPECT_EQ(picture.GetWidth(), k.w);
    }
}

TEST(DisplayImage, PalettePictureTakesLibraryPathUnchanged) {
    PxImage picture(90, 70, 8);
    for (uint32_t i = 0; i < 256; ++i)
        picture.SetPaletteColor(static_cast<uint8_t>(i),
                                RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0});
    for (int32_t y = 0; y < 70; ++y)
        for (int32_t x = 0; x < 90; ++x)
            picture.SetPixelIndex(x, y, static_cast<uint8_t>(x + y));
    PxImage expected;
    ASSERT_TRUE(picture.FitToBox(60, 60, kWhite, &expected));
    DisplayImage display;
    ASSERT_TRUE(display.Rebuild(picture, CanvasSize{60, 60}));
    EXPECT_EQ(display.Image().GetBpp(), expected.GetBpp());
    EXPECT_EQ(MaxChannelDifference(display.Image(), expected), 0);
}

TEST(DisplayImage, KeepsItsBlockAcrossZoomSteps) {
    PxImage picture = Pattern(1200, 900, 3);
    DisplayImage display;
    const size_t reserve = 40 + 1600 * 3 * 1200;  // room for the largest step
    ASSERT_TRUE(display.Rebuild(picture, CanvasSize{400, 300}, reserve));
    const uint8_t* block = display.GetDIB();
    EXPECT_GE(display.Capacity(), reserve);
    for (int32_t w : {480, 640, 1600, 800, 400}) {
        ASSERT_TRUE(display.Rebuild(picture, CanvasSize{w, w * 3 / 4}, reserve));
        EXPECT_EQ(display.GetDIB(), block) << w;
        EXPECT_EQ(display.Size(), (CanvasSize{w, w * 3 / 4}));
    }
    // The header inside the block follows the reshaped size.
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(block);
    EXPECT_EQ(header->biWidth, 400);
    EXPECT_EQ(header->biHeight, 300);
    EXPECT_EQ(header->biSizeImage, 1200u * 300u);

    // A rotation hands over a new block; later rebuilds still fit in it.
    ASSERT_TRUE(display.RotateRight());
    EXPECT_EQ(display.Size(), (CanvasSize{300, 400}));
    ASSERT_TRUE(display.Rebuild(picture, CanvasSize{200, 150}));
    EXPECT_EQ(display.Size(), (CanvasSize{200, 150}));
}

TEST(DisplayImage, FailedRebuildLeavesImageAsItWas) {
    PxImage picture = Pattern(50, 40, 4);
    DisplayImage display;
    ASSERT_TRUE(display.Rebuild(picture, CanvasSize{50, 40}));
    PxImage empty;
    EXPECT_FALSE(display.Rebuild(empty, CanvasSize{50, 40}));
    EXPECT_FALSE(display.Rebuild(picture, CanvasSize{0, 40}));
    // Too large for one image: refused, nothing allocated or changed.
    EXPECT_FALSE(display.Rebuild(picture, CanvasSize{100000, 100000}));
    EXPECT_EQ(display.Size(), (CanvasSize{50, 40}));
    EXPECT_TRUE(Same(At(display.Image(), 3, 4), At(picture, 3, 4)));
}
