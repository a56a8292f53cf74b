#include "ui/Drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/ui/DibCanvas.h"

using namespace Corvane::UI;

TEST(FillSolid, FillsExactlyTheRectangle) {
    DibCanvas canvas(20, 20);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(0, 0, 0));
    FillSolid(canvas.Dc(), RECT{2, 3, 12, 8}, RGB(10, 200, 30));
    EXPECT_EQ(canvas.At(2, 3), RGB(10, 200, 30));
    EXPECT_EQ(canvas.At(11, 7), RGB(10, 200, 30));
    EXPECT_EQ(canvas.At(12, 7), RGB(0, 0, 0));  // right edge exclusive
    EXPECT_EQ(canvas.At(11, 8), RGB(0, 0, 0));  // bottom edge exclusive
    EXPECT_EQ(canvas.At(1, 3), RGB(0, 0, 0));
}

TEST(FrameSolid, OnePixelFrameInsideTheRectangle) {
    DibCanvas canvas(20, 20);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    const COLORREF blue = RGB(154, 187, 229);
    FrameSolid(canvas.Dc(), RECT{2, 2, 10, 8}, blue);
    EXPECT_EQ(canvas.At(2, 2), blue);
    EXPECT_EQ(canvas.At(9, 2), blue);
    EXPECT_EQ(canvas.At(2, 7), blue);
    EXPECT_EQ(canvas.At(9, 7), blue);
    EXPECT_EQ(canvas.At(5, 2), blue);
    EXPECT_EQ(canvas.At(5, 5), RGB(255, 255, 255));  // inside untouched
    EXPECT_EQ(canvas.At(10, 5), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(5, 8), RGB(255, 255, 255));
}

TEST(FillTranslucent, Alpha70BlendsOverKnownContent) {
    DibCanvas canvas(40, 20);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    FillSolid(canvas.Dc(), RECT{20, 0, 40, 20}, RGB(0, 0, 100));
    ASSERT_TRUE(FillTranslucent(canvas.Dc(), RGB(0, 0, 0), 70, RECT{10, 5, 30, 15}));
    // dst * (255 - 70) / 255: 255 -> 185, 100 -> 72 (rounding may differ by 1).
    EXPECT_TRUE(Near(canvas.At(12, 8), RGB(185, 185, 185), 1)) << std::hex << canvas.At(12, 8);
    EXPECT_TRUE(Near(canvas.At(25, 8), RGB(0, 0, 72), 1)) << std::hex << canvas.At(25, 8);
    // Outside the rectangle nothing changes.
    EXPECT_EQ(canvas.At(9, 8), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(30, 8), RGB(0, 0, 100));
    EXPECT_EQ(canvas.At(12, 4), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(12, 15), RGB(255, 255, 255));
}

TEST(FillTranslucent, ColourAndExtremeAlphas) {
    DibCanvas canvas(10, 10);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(0, 0, 0));
    ASSERT_TRUE(FillTranslucent(canvas.Dc(), RGB(200, 100, 50), 255, RECT{0, 0, 5, 10}));
    EXPECT_EQ(canvas.At(2, 2), RGB(200, 100, 50));
    ASSERT_TRUE(FillTranslucent(canvas.Dc(), RGB(200, 100, 50), 0, RECT{5, 0, 10, 10}));
    EXPECT_EQ(canvas.At(7, 2), RGB(0, 0, 0));
}

TEST(FillTranslucent, EmptyOrInvertedRectangleDrawsNothing) {
    DibCanvas canvas(10, 10);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(1, 2, 3));
    EXPECT_FALSE(FillTranslucent(canvas.Dc(), RGB(0, 0, 0), 70, RECT{5, 5, 5, 9}));
    EXPECT_FALSE(FillTranslucent(canvas.Dc(), RGB(0, 0, 0), 70, RECT{8, 8, 2, 2}));
    EXPECT_FALSE(FillTranslucent(nullptr, RGB(0, 0, 0), 70, RECT{0, 0, 2, 2}));
    EXPECT_EQ(canvas.At(6, 6), RGB(1, 2, 3));
}

TEST(DrawTextIn, DrawsInColourAndRestoresTheContext) {
    DibCanvas canvas(80, 30);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    SetTextColor(canvas.Dc(), RGB(1, 2, 3));
    SetBkMode(canvas.Dc(), OPAQUE);
    HGDIOBJ before = GetCurrentObject(canvas.Dc(), OBJ_FONT);
    HFONT font = CreateFontW(20, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0x20, L"Arial");
    ASSERT_NE(font, nullptr);
    DrawTextIn(canvas.Dc(), RECT{0, 0, 80, 30}, PX_TEXT("HH"), RGB(255, 0, 0), font,
               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    int red = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            if (Near(canvas.At(x, y), RGB(255, 0, 0), 8)) ++red;
    EXPECT_GT(red, 10);
    EXPECT_EQ(canvas.At(0, 0), RGB(255, 255, 255));  // transparent background
    EXPECT_EQ(GetTextColor(canvas.Dc()), RGB(1, 2, 3));
    EXPECT_EQ(GetBkMode(canvas.Dc()), OPAQUE);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_FONT), before);
    DeleteObject(font);
}

class DrawStringTest : public ::testing::Test {
protected:
    GdiplusSession gdiplus;
};

TEST_F(DrawStringTest, DrawsTextEvenWithoutTheSharedFace) {
    ASSERT_TRUE(gdiplus.IsStarted());
    DibCanvas canvas(120, 40);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    {
        ScopedGraphics graphics(canvas.Dc());
        ASSERT_NE(graphics.Get().handle, nullptr);
        DrawString(graphics.Get(), "50%", RECT{0, 0, 120, 40}, 0, 0, 255, TextAlign::Center,
                   24.0f);
        EXPECT_EQ(graphics.Get().lastStatus, Gdiplus::Ok);
    }
    int blue = 0, left = 120, right = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (Near(canvas.At(x, y), RGB(0, 0, 255), 40)) {
                ++blue;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_GT(blue, 20);
    // Centred: roughly as much room on both sides.
    EXPECT_LT(std::abs(left - (119 - right)), 12);
}

TEST_F(DrawStringTest, FailureIsRecordedInTheGraphicsStatus) {
    GdiGraphics none;
    DrawString(none, "x", RECT{0, 0, 10, 10}, 0, 0, 0, TextAlign::Near, 12.0f);
    EXPECT_NE(none.lastStatus, Gdiplus::Ok);

    DibCanvas canvas(10, 10);
    ASSERT_TRUE(canvas.Ok());
    ScopedGraphics graphics(canvas.Dc());
    ASSERT_NE(graphics.Get().handle, nullptr);
    DrawString(graphics.Get(), "x", RECT{0, 0, 10, 10}, 0, 0, 0, TextAlign::Near, -5.0f);
    EXPECT_NE(graphics.Get().lastStatus, Gdiplus::Ok);  // a negative size is refused
}

TEST_F(DrawStringTest, NullTextDrawsNothingAndDoesNotCrash) {
    DibCanvas canvas(10, 10);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    ScopedGraphics graphics(canvas.Dc());
    DrawString(graphics.Get(), nullptr, RECT{0, 0, 10, 10}, 0, 0, 0, TextAlign::Far, 12.0f);
    EXPECT_EQ(canvas.At(5, 5), RGB(255, 255, 255));
}
