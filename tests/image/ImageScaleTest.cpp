// ScaleTo and FitToBox against an independent box-average reference computed
// here in double precision: every result pixel is the mean of the source
// area it covers, partly covered pixels weighted by the covered fraction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "image/PxImage.h"
#include "tests/image/ImageTestUtil.h"

namespace {

const RGBQUAD kWhite = {255, 255, 255, 0};

// Reference box average of the whole source into nw x nh, in storage rows.
std::vector<double> BoxAverage(const PxImage& src, uint32_t nw, uint32_t nh) {
    const double sx = static_cast<double>(src.GetWidth()) / nw;
    const double sy = static_cast<double>(src.GetHeight()) / nh;
    std::vector<double> out(size_t{nw} * nh * 3, 0.0);
    for (uint32_t j = 0; j < nh; ++j) {
        const double y0 = j * sy, y1 = (j + 1) * sy;
        for (uint32_t i = 0; i < nw; ++i) {
            const double x0 = i * sx, x1 = (i + 1) * sx;
            double acc[3] = {0, 0, 0}, area = 0;
            for (int32_t y = static_cast<int32_t>(y0); y < std::ceil(y1); ++y) {
                const double wy = std::min(y1, y + 1.0) - std::max(y0, static_cast<double>(y));
                for (int32_t x = static_cast<int32_t>(x0); x < std::ceil(x1); ++x) {
                    const double wx = std::min(x1, x + 1.0) - std::max(x0, static_cast<double>(x));
                    const RGBQUAD c = src.GetPixelColor(x, y, false);
                    acc[0] += c.rgbBlue * wx * wy;
                    acc[1] += c.rgbGreen * wx * wy;
                    acc[2] += c.rgbRed * wx * wy;
                    area += wx * wy;
                }
            }
            for (int k = 0; k < 3; ++k)
                out[(size_t{j} * nw + i) * 3 + k] = acc[k] / area;
        }
    }
    return out;
}

// Compares the nw x nh area of `img` at storage (ox, oy) with the reference,
// within one level per channel.
void ExpectMatchesReference(const PxImage& img, const std::vector<double>& ref, uint32_t nw,
                            uint32_t nh, uint32_t ox = 0, uint32_t oy = 0) {
    int worst = 0;
    for (uint32_t j = 0; j < nh; ++j)
        for (uint32_t i = 0; i < nw; ++i) {
            const RGBQUAD c = img.GetPixelColor(static_cast<int32_t>(ox + i),
                                                static_cast<int32_t>(oy + j), false);
            const uint8_t got[3] = {c.rgbBlue, c.rgbGreen, c.rgbRed};
            for (int k = 0; k < 3; ++k) {
                const double want = ref[(size_t{j} * nw + i) * 3 + k];
                const int diff = static_cast<int>(std::lround(std::fabs(got[k] - want) * 1000));
                worst = std::max(worst, diff);
                ASSERT_LE(std::fabs(got[k] - want), 1.0)
                    << "pixel " << i << "," << j << " channel " << k << ": " << int(got[k])
                    << " vs " << want;
            }
        }
    testing::Test::RecordProperty("worst_milli_levels", worst);
}

TEST(ScaleTo, AreaAverageMatchesReferenceOnAwkwardRatios) {
    struct Size { uint32_t w, h, nw, nh; } sizes[] = {
        {37, 23, 10, 7}, {100, 50, 33, 17}, {64, 64, 63, 1}, {9, 200, 2, 199},
        {250, 173, 81, 59}, {5, 5, 1, 1}, {640, 480, 213, 160}};
    for (const Size& s : sizes) {
        PxImage src(s.w, s.h, 24);
        FillNoise(src);
        PxImage dst;
        ASSERT_TRUE(src.ScaleTo(static_cast<int32_t>(s.nw), static_cast<int32_t>(s.nh), 0, &dst));
        ASSERT_EQ(dst.GetWidth(), s.nw);
        ASSERT_EQ(dst.GetHeight(), s.nh);
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " -> " << s.nw << "x" << s.nh);
        ExpectMatchesReference(dst, BoxAverage(src, s.nw, s.nh), s.nw, s.nh);
    }
}

TEST(ScaleTo, ExtremeValuesDoNotOverflow) {
    // All-255 and all-0 stripes: accumulators at their largest.
    PxImage src(3001, 7, 24);
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 3001; ++x)
            src.SetPixelColor(static_cast<int32_t>(x), static_cast<int32_t>(y),
                              x < 1500 ? Rgb(255, 255, 255) : Rgb(0, 0, 0));
    ASSERT_TRUE(src.ScaleTo(2, 3));
    EXPECT_TRUE(SameRgb(src.GetPixelColor(0, 1), Rgb(255, 255, 255)));
    // The right half covers only black pixels.
    EXPECT_LE(src.GetPixelColor(1, 1).rgbRed, 1);
}

TEST(ScaleTo, BilinearWhenGrowingOrForPalettes) {
    PxImage src(2, 1, 24);
    src.SetPixelColor(0, 0, Rgb(0, 0, 0));
    src.SetPixelColor(1, 0, Rgb(200, 100, 40));
    PxImage dst;
    ASSERT_TRUE(src.ScaleTo(4, 1, 0, &dst));
    // Source points 0, 0.5, 1, 1.5 (the last limited to the last column).
    EXPECT_TRUE(SameRgb(dst.GetPixelColor(0, 0), Rgb(0, 0, 0)));
    EXPECT_TRUE(SameRgb(dst.GetPixelColor(1, 0), Rgb(100, 50, 20)));
    EXPECT_TRUE(SameRgb(dst.GetPixelColor(2, 0), Rgb(200, 100, 40)));
    EXPECT_TRUE(SameRgb(dst.GetPixelColor(3, 0), Rgb(200, 100, 40)));

    PxImage pal(4, 4, 8);
    pal.SetGrayPalette();
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            pal.SetPixelIndex(x, y, static_cast<uint8_t>(x * 80));
    ASSERT_TRUE(pal.ScaleTo(2, 2));
    EXPECT_EQ(pal.GetBpp(), 8u);
    EXPECT_EQ(pal.GetPixelIndex(1, 1), 160);  // stored through the palette
    EXPECT_TRUE(pal.IsGrayRamp());
}

TEST(ScaleTo, NearestAndBicubicModes) {
    PxImage src(4, 4, 24);
    FillTagged(src);
    PxImage dst;
    ASSERT_TRUE(src.ScaleTo(2, 2, 1, &dst));
    EXPECT_TRUE(SameRgb(dst.GetPixelColor(1, 1), src.GetPixelColor(2, 2)));
    PxImage flat(5, 5, 24);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 5; ++x)
            flat.SetPixelColor(x, y, Rgb(77, 88, 99));
    ASSERT_TRUE(flat.ScaleTo(9, 3, 2, &dst));  // a flat picture stays flat
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 9; ++x)
            EXPECT_TRUE(SameRgb(dst.GetPixelColor(x, y), Rgb(77, 88, 99)));
    EXPECT_FALSE(src.ScaleTo(2, 2, 3, &dst));
}

TEST(ScaleTo, RefusalsSameSizeAndAlpha) {
    PxImage src(6, 4, 24);
    FillTagged(src);
    EXPECT_FALSE(src.ScaleTo(0, 4));
    EXPECT_FALSE(src.ScaleTo(6, -1));
    PxImage dst;
    ASSERT_TRUE(src.ScaleTo(6, 4, 0, &dst));  // same size: a copy
    EXPECT_NE(dst.GetDIB(), src.GetDIB());
    EXPECT_TRUE(SameRgb(At(dst, 5, 3), Tag(5, 3)));

    ASSERT_TRUE(src.CreateAlpha());
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x)
            src.SetAlpha(x, y, static_cast<uint8_t>(10 * x + y));
    ASSERT_TRUE(src.ScaleTo(3, 2, 0, &dst));
    ASSERT_TRUE(dst.HasAlpha());
    // Alpha is sampled at ((int)(x * 2), (int)(y * 2)).
    EXPECT_EQ(dst.GetAlpha(2, 1), 10 * 4 + 2);
    EXPECT_EQ(dst.GetAlpha(1, 0), 10 * 2 + 0);
}

TEST(ScaleTo, EscapeBeforeStartGivesDefinedPixels) {
    PxImage src(40, 30, 24);
    FillNoise(src);
    src.SetEscape(1);
    PxImage dst;
    // The operation completes with what it has: nothing, so all black rather
    // than whatever the allocator handed out.
    ASSERT_TRUE(src.ScaleTo(10, 10, 0, &dst));
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            ASSERT_TRUE(SameRgb(dst.GetPixelColor(x, y), Rgb(0, 0, 0)));
}

TEST(FitToBox, SmallPictureIsCentredNotEnlarged) {
    PxImage src(50, 50, 24);
    FillTagged(src);
    PxImage dst;
    ASSERT_TRUE(src.FitToBox(200, 100, kWhite, &dst));
    ASSERT_EQ(dst.GetWidth(), 200u);
    ASSERT_EQ(dst.GetHeight(), 100u);
    EXPECT_TRUE(SameRgb(At(dst, 75, 25), Tag(0, 0)));
    EXPECT_TRUE(SameRgb(At(dst, 124, 74), Tag(49, 49)));
    EXPECT_TRUE(SameRgb(At(dst, 74, 25), kWhite));
    EXPECT_TRUE(SameRgb(At(dst, 75, 24), kWhite));
    EXPECT_TRUE(SameRgb(At(dst, 125, 74), kWhite));
    EXPECT_TRUE(SameRgb(At(dst, 75, 75), kWhite));
    EXPECT_EQ(src.GetWidth(), 50u);  // the source is never modified
}

TEST(FitToBox, LargePictureIsShrunkAndCentred) {
    PxImage src(400, 400, 24);
    FillNoise(src);
    PxImage dst;
    ASSERT_TRUE(src.FitToBox(200, 100, kWhite, &dst));
    ASSERT_EQ(dst.GetWidth(), 200u);
    ASSERT_EQ(dst.GetHeight(), 100u);
    // A 100 x 100 picture at left 50, top 0.
    ExpectMatchesReference(dst, BoxAverage(src, 100, 100), 100, 100, 50, 0);
    for (int32_t r = 0; r < 100; ++r) {
        EXPECT_TRUE(SameRgb(At(dst, 49, r), kWhite));
        EXPECT_TRUE(SameRgb(At(dst, 150, r), kWhite));
    }
}

TEST(FitToBox, MatchesScaleThenCenter) {
    // The same result as the two-step form: ScaleTo, then CenterOnCanvas.
    struct Case { uint32_t w, h; int32_t bw, bh; } cases[] = {
        {300, 120, 100, 100}, {120, 300, 100, 100}, {161, 97, 80, 53}, {90, 40, 100, 20}};
    for (const Case& c : cases) {
        PxImage src(c.w, c.h, 24);
        FillNoise(src);
        ASSERT_TRUE(src.CreateAlpha());
        src.SetAlpha(0, 0, 3);
        PxImage fitted;
        ASSERT_TRUE(src.FitToBox(c.bw, c.bh, kWhite, &fitted));
        // Reference sizes, as the tighter of the two ratios with truncation.
        const double scale = std::min(static_cast<double>(c.bw) / c.w, static_cast<double>(c.bh) / c.h);
        const int32_t nw = static_cast<int32_t>(scale * c.w + 1e-9);
        const int32_t nh = static_cast<int32_t>(scale * c.h + 1e-9);
        PxImage twoStep;
        ASSERT_TRUE(src.ScaleTo(nw, nh, 0, &twoStep));
        ASSERT_TRUE(twoStep.CenterOnCanvas(c.bw, c.bh, kWhite));
        ASSERT_EQ(fitted.GetWidth(), twoStep.GetWidth());
        ASSERT_EQ(fitted.GetHeight(), twoStep.GetHeight());
        for (int32_t y = 0; y < c.bh; ++y)
            for (int32_t x = 0; x < c.bw; ++x) {
                ASSERT_TRUE(SameRgb(fitted.GetPixelColor(x, y), twoStep.GetPixelColor(x, y)))
                    << c.w << "x" << c.h << " at " << x << "," << y;
                ASSERT_EQ(fitted.GetAlpha(x, y), twoStep.GetAlpha(x, y));
            }
    }
}

TEST(FitToBox, PaletteAndRefusals) {
    PxImage src(40, 20, 4);
    src.SetPaletteColor(0, Rgb(0, 0, 0));
    src.SetPaletteColor(1, Rgb(255, 255, 255));
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 40; ++x)
            src.SetPixelIndex(x, y, 0);
    ASSERT_TRUE(src.FitToBox(10, 10, kWhite));
    EXPECT_EQ(src.GetBpp(), 4u);
    EXPECT_EQ(IndexAt(src, 5, 0), 1);  // margin: white's nearest index
    EXPECT_EQ(IndexAt(src, 5, 5), 0);  // picture rows 2..6
    EXPECT_FALSE(src.FitToBox(0, 10, kWhite));
    EXPECT_FALSE(src.FitToBox(10, -1, kWhite));
    PxImage empty;
    PxImage dst;
    EXPECT_FALSE(empty.FitToBox(10, 10, kWhite, &dst));
    EXPECT_FALSE(dst.IsValid());
    // A sliver never scales to nothing.
    PxImage sliver(1000, 1, 24);
    ASSERT_TRUE(sliver.FitToBox(10, 10, kWhite, &dst));
    EXPECT_EQ(dst.GetWidth(), 10u);
}

TEST(Samplers, BilinearAndAreaAgreeOnSmallBoxes) {
    PxImage img(3, 3, 24);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 3; ++x)
            img.SetPixelColor(x, y, Rgb(static_cast<uint8_t>(x * 100), static_cast<uint8_t>(y * 100), 0));
    EXPECT_EQ(img.SampleBilinear(0.5, 0).rgbRed, 50);
    EXPECT_EQ(img.SampleBilinear(1, 1.5).rgbGreen, 150);
    EXPECT_EQ(img.SampleBilinear(-4, -4).rgbRed, 0);     // edge repeated
    EXPECT_EQ(img.SampleBilinear(9, 9).rgbGreen, 200);
    const RGBQUAD a = img.SampleArea(0.5, 0.5, 1, 1), b = img.SampleBilinear(0.5, 0.5);
    EXPECT_TRUE(SameRgb(a, b));
    // A 3 x 3 box centred on the middle pixel covers the whole picture.
    const RGBQUAD m = img.SampleArea(1, 1, 3, 3);
    EXPECT_EQ(m.rgbRed, 100);
    EXPECT_EQ(m.rgbGreen, 100);
    // Half a pixel of box outside the left edge repeats the edge column.
    EXPECT_EQ(img.SampleArea(0, 1, 2, 1).rgbRed, 25);
}

}  // namespace
