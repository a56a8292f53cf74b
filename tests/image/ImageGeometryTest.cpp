// Rotation, crop, canvas expansion and centring on small hand-made pictures.
// Expectations are written in display terms (row 0 at the top) so that a
// bottom-up/top-down mix-up in the code shows as a wrong pixel.
#include <gtest/gtest.h>

#include <cstring>

#include "image/PxImage.h"
#include "tests/image/ImageTestUtil.h"

namespace {

const RGBQUAD kWhite = {255, 255, 255, 0};

// Every pixel of `img` must equal the source pixel at `from(x, row)`.
template <typename From>
void ExpectMapped(const PxImage& img, const PxImage& src, From from) {
    for (int32_t r = 0; r < static_cast<int32_t>(img.GetHeight()); ++r)
        for (int32_t x = 0; x < static_cast<int32_t>(img.GetWidth()); ++x) {
            int32_t sx, sr;
            from(x, r, sx, sr);
            ASSERT_TRUE(SameRgb(At(img, x, r), At(src, sx, sr)))
                << "result (" << x << ", " << r << ") from (" << sx << ", " << sr << ")";
        }
}

TEST(Rotate, ThreeByTwoCounterClockwise) {
    PxImage src(3, 2, 24);
    FillTagged(src);
    PxImage dst;
    ASSERT_TRUE(src.RotateCounterClockwise(&dst));
    ASSERT_EQ(dst.GetWidth(), 2u);
    ASSERT_EQ(dst.GetHeight(), 3u);
    // Top-left of the result is the source's top-right.
    EXPECT_TRUE(SameRgb(At(dst, 0, 0), Tag(2, 0)));
    EXPECT_TRUE(SameRgb(At(dst, 1, 0), Tag(2, 1)));
    EXPECT_TRUE(SameRgb(At(dst, 0, 2), Tag(0, 0)));
    EXPECT_TRUE(SameRgb(At(dst, 1, 2), Tag(0, 1)));
    EXPECT_EQ(src.GetWidth(), 3u);  // source untouched
    EXPECT_EQ(src.GetProgress(), 100);
}

TEST(Rotate, ThreeByTwoClockwise) {
    PxImage src(3, 2, 24);
    FillTagged(src);
    ASSERT_TRUE(src.RotateClockwise());  // in place
    ASSERT_EQ(src.GetWidth(), 2u);
    // Top-left of the result is the source's bottom-left.
    EXPECT_TRUE(SameRgb(At(src, 0, 0), Tag(0, 1)));
    EXPECT_TRUE(SameRgb(At(src, 1, 0), Tag(0, 0)));
    EXPECT_TRUE(SameRgb(At(src, 0, 2), Tag(2, 1)));
    EXPECT_TRUE(SameRgb(At(src, 1, 2), Tag(2, 0)));
}

TEST(Rotate, RoundTripsRestorePixelsAtEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        PxImage src(67, 130, bpp);  // crosses 64-pixel blocks, odd sizes
        src.SetGrayPalette();
        FillNoise(src);
        PxImage img(src);
        ASSERT_TRUE(img.RotateClockwise());
        ASSERT_TRUE(img.RotateCounterClockwise());
        for (int32_t y = 0; y < 130; ++y)
            for (int32_t x = 0; x < 67; ++x)
                ASSERT_TRUE(SameRgb(img.GetPixelColor(x, y), src.GetPixelColor(x, y)))
                    << bpp << " bpp at " << x << "," << y;
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(img.RotateCounterClockwise());
        EXPECT_TRUE(SameRgb(img.GetPixelColor(66, 129), src.GetPixelColor(66, 129)));
    }
}

TEST(Rotate, LargeClockwiseMatchesTheMappingAtEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        PxImage src(131, 70, bpp);
        src.SetGrayPalette();
        FillNoise(src);
        PxImage dst;
        ASSERT_TRUE(src.RotateClockwise(&dst));
        ASSERT_EQ(dst.GetWidth(), 70u);
        ASSERT_EQ(dst.GetHeight(), 131u);
        EXPECT_EQ(dst.GetBpp(), bpp);
        // Display terms: result (c, r) = source (r, height-1-c).
        ExpectMapped(dst, src, [](int32_t c, int32_t r, int32_t& sx, int32_t& sr) {
            sx = r;
            sr = 70 - 1 - c;
        });
    }
}

TEST(Rotate, AlphaSelectionPaletteAndTypeFollow) {
    PxImage src(4, 3, 8, PXIMAGE_FORMAT_PNG);
    src.SetGrayPalette();
    src.SetPaletteColor(9, Rgb(1, 2, 3));
    ASSERT_TRUE(src.CreateAlpha());
    ASSERT_TRUE(src.CreateSelection());
    // Storage (x, y): top-right pixel is (3, 2).
    src.SetAlpha(3, 2, 11);
    src.GetSelectionBuffer()[2 * 4 + 3] = 1;
    PxImage dst;
    ASSERT_TRUE(src.RotateCounterClockwise(&dst));
    EXPECT_EQ(dst.GetType(), PXIMAGE_FORMAT_PNG);
    EXPECT_TRUE(SameRgb(dst.GetPaletteColor(9), Rgb(1, 2, 3)));
    // The top-right pixel is now top-left: storage (0, height-1).
    ASSERT_TRUE(dst.HasAlpha());
    EXPECT_EQ(dst.GetAlpha(0, 3), 11);
    EXPECT_EQ(dst.GetAlpha(1, 3), 255);
    ASSERT_TRUE(dst.HasSelection());
    EXPECT_EQ(dst.GetSelectionBuffer()[3 * 3 + 0], 1);
    int selected = 0;
    for (int i = 0; i < 12; ++i)
        selected += dst.GetSelectionBuffer()[i];
    EXPECT_EQ(selected, 1);
}

TEST(Rotate, SelectionBoxFollowsTheMapping) {
    struct Access : PxImage {
        using PxImage::info_;
    } img;
    ASSERT_NE(img.Create(10, 6, 24), nullptr);
    ASSERT_TRUE(img.CreateSelection());
    // Storage box x in [2, 5), y in [1, 4).
    img.info_.selectionBox = RECT{2, 4, 5, 1};
    ASSERT_TRUE(img.RotateClockwise());
    // Clockwise storage mapping: (x, y) -> (y, W-1-x): x' in [1, 4), y' in [5, 8).
    const RECT& b = img.GetInfo().selectionBox;
    EXPECT_EQ(b.left, 1);
    EXPECT_EQ(b.right, 4);
    EXPECT_EQ(b.bottom, 5);
    EXPECT_EQ(b.top, 8);
}

TEST(Crop, CutsTheTopDownRectangle) {
    PxImage src(5, 4, 24, PXIMAGE_FORMAT_BMP);
    FillTagged(src);
    PxImage dst;
    ASSERT_TRUE(src.Crop(1, 1, 4, 3, &dst));
    ASSERT_EQ(dst.GetWidth(), 3u);
    ASSERT_EQ(dst.GetHeight(), 2u);
    EXPECT_EQ(dst.GetType(), PXIMAGE_FORMAT_BMP);
    ExpectMapped(dst, src, [](int32_t x, int32_t r, int32_t& sx, int32_t& sr) {
        sx = x + 1;
        sr = r + 1;
    });
}

TEST(Crop, ClampsSwapsAndRefusesEmpty) {
    PxImage src(6, 5, 24);
    FillTagged(src);
    PxImage dst;
    EXPECT_FALSE(src.Crop(10, 0, 20, 5, &dst));   // entirely right of the image
    EXPECT_FALSE(src.Crop(2, 1, 2, 4, &dst));     // zero width
    EXPECT_FALSE(dst.IsValid());
    // Right-to-left and bottom-to-top are swapped, not rejected.
    ASSERT_TRUE(src.Crop(4, 3, 1, 0, &dst));
    EXPECT_EQ(dst.GetWidth(), 3u);
    EXPECT_EQ(dst.GetHeight(), 3u);
    EXPECT_TRUE(SameRgb(At(dst, 0, 0), Tag(1, 0)));
    // Partly outside: limited to the image.
    ASSERT_TRUE(src.Crop(-3, 3, 100, 100, &dst));
    EXPECT_EQ(dst.GetWidth(), 6u);
    EXPECT_EQ(dst.GetHeight(), 2u);
    EXPECT_TRUE(SameRgb(At(dst, 5, 1), Tag(5, 4)));
    // RECT form, in place.
    ASSERT_TRUE(src.Crop(RECT{0, 4, 1, 5}));
    EXPECT_EQ(src.GetWidth(), 1u);
    EXPECT_TRUE(SameRgb(At(src, 0, 0), Tag(0, 4)));
}

TEST(Crop, PackedDepthsAtOddOffsets) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        PxImage src(19, 7, bpp);
        src.SetGrayPalette();
        FillNoise(src);
        src.SetTransIndex(1);
        PxImage dst;
        ASSERT_TRUE(src.Crop(3, 2, 16, 6, &dst));
        ASSERT_EQ(dst.GetWidth(), 13u);
        EXPECT_EQ(dst.GetTransIndex(), 1);
        for (int32_t r = 0; r < 4; ++r)
            for (int32_t x = 0; x < 13; ++x)
                ASSERT_EQ(IndexAt(dst, x, r), IndexAt(src, x + 3, r + 2)) << bpp;
    }
}

TEST(Crop, CarriesAlpha) {
    PxImage src(4, 4, 24);
    ASSERT_TRUE(src.CreateAlpha());
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            src.SetAlpha(x, y, static_cast<uint8_t>(y * 4 + x));
    PxImage dst;
    ASSERT_TRUE(src.Crop(1, 0, 3, 2, &dst));  // top two rows = storage rows 2, 3
    ASSERT_TRUE(dst.HasAlpha());
    EXPECT_EQ(dst.GetAlpha(0, 0), 2 * 4 + 1);
    EXPECT_EQ(dst.GetAlpha(1, 1), 3 * 4 + 2);
}

TEST(Expand, PlacesSourceAndFillsMargins) {
    PxImage src(2, 2, 24);
    FillTagged(src);
    PxImage dst;
    ASSERT_TRUE(src.ExpandCanvas(1, 2, 3, 1, Rgb(9, 8, 7), &dst));
    ASSERT_EQ(dst.GetWidth(), 6u);
    ASSERT_EQ(dst.GetHeight(), 5u);
    for (int32_t r = 0; r < 5; ++r)
        for (int32_t x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 3 && r >= 2 && r < 4;
            const RGBQUAD want = inside ? Tag(x - 1, r - 2) : Rgb(9, 8, 7);
            EXPECT_TRUE(SameRgb(At(dst, x, r), want)) << x << "," << r;
        }
    EXPECT_FALSE(src.ExpandCanvas(-1, 0, 0, 0, kWhite, &dst));
    EXPECT_FALSE(src.ExpandCanvas(0, 0, INT32_MAX, 0, kWhite, &dst));
}

TEST(Expand, PaletteDepthsUseNearestIndex) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        PxImage src(3, 2, bpp);
        src.SetPaletteColor(0, Rgb(0, 0, 0));
        src.SetPaletteColor(1, Rgb(250, 250, 250));
        for (int32_t x = 0; x < 3; ++x) {
            src.SetPixelIndex(x, 0, 0);
            src.SetPixelIndex(x, 1, 0);
        }
        ASSERT_TRUE(src.ExpandCanvas(5, 1, 2, 3, kWhite));
        ASSERT_EQ(src.GetWidth(), 10u);
        for (int32_t r = 0; r < 6; ++r)
            for (int32_t x = 0; x < 10; ++x) {
                const bool inside = x >= 5 && x < 8 && r >= 1 && r < 3;
                EXPECT_EQ(IndexAt(src, x, r), inside ? 0 : 1) << bpp << " " << x << "," << r;
            }
    }
}

TEST(Expand, AlphaMarginsTakeCanvasReservedAndSelectionMoves) {
    struct Access : PxImage {
        using PxImage::info_;
    } src;
    ASSERT_NE(src.Create(2, 2, 24), nullptr);
    ASSERT_TRUE(src.CreateAlpha());
    ASSERT_TRUE(src.CreateSelection());
    src.GetSelectionBuffer()[0] = 1;  // storage (0, 0): bottom-left
    src.info_.selectionBox = RECT{0, 1, 1, 0};
    PxImage dst;
    ASSERT_TRUE(src.ExpandCanvas(3, 1, 0, 2, kWhite, &dst));
    ASSERT_TRUE(dst.HasAlpha());
    EXPECT_EQ(dst.GetAlpha(0, 0), 0);    // margin: white's reserved byte
    EXPECT_EQ(dst.GetAlpha(3, 2), 255);  // source's opaque bottom-left
    ASSERT_TRUE(dst.HasSelection());
    EXPECT_EQ(dst.GetSelectionBuffer()[2 * 5 + 3], 1);
    EXPECT_EQ(dst.GetInfo().selectionBox.left, 3);
    EXPECT_EQ(dst.GetInfo().selectionBox.bottom, 2);
    EXPECT_EQ(dst.GetInfo().selectionBox.top, 3);
}

TEST(Center, OddDifferencePutsExtraRightAndBottom) {
    PxImage src(2, 2, 24);
    FillTagged(src);
    PxImage dst;
    ASSERT_TRUE(src.CenterOnCanvas(5, 5, kWhite, &dst));
    // left = 1, right = 2, top = 1, bottom = 2.
    EXPECT_TRUE(SameRgb(At(dst, 1, 1), Tag(0, 0)));
    EXPECT_TRUE(SameRgb(At(dst, 2, 2), Tag(1, 1)));
    EXPECT_TRUE(SameRgb(At(dst, 0, 1), kWhite));
    EXPECT_TRUE(SameRgb(At(dst, 3, 2), kWhite));
    EXPECT_TRUE(SameRgb(At(dst, 1, 3), kWhite));
    EXPECT_FALSE(src.CenterOnCanvas(1, 5, kWhite, &dst));
    EXPECT_FALSE(src.CenterOnCanvas(5, 1, kWhite));
    EXPECT_EQ(src.GetWidth(), 2u);  // unchanged after refusal
}

TEST(Destination, ReadOnlyDestinationIsRefused) {
    PxImage src(3, 3, 24);
    PxImage owner(1, 1, 24);
    PxImage ghost;
    ASSERT_TRUE(ghost.ShareFrom(owner));
    EXPECT_FALSE(src.RotateClockwise(&ghost));
    EXPECT_EQ(ghost.GetWidth(), 1u);
}

}  // namespace
