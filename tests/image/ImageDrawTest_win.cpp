// Painting through GDI: draw into a memory device context holding a 32-bpp
// top-down DIB section and read the pixels back.
#include <gtest/gtest.h>

#include <windows.h>

#include "image/PxImage.h"
#include "tests/image/ImageTestUtil.h"

namespace {

constexpr int kW = 16, kH = 12;

// A memory DC over a kW x kH DIB section, filled with one colour.
class Surface {
public:
    explicit Surface(COLORREF fill = RGB(100, 100, 100)) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = kW;
        bmi.bmiHeader.biHeight = -kH;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<DWORD*>(bits);
        old_ = SelectObject(dc_, bitmap_);
        const DWORD value = (DWORD{GetRValue(fill)} << 16) | (DWORD{GetGValue(fill)} << 8) | GetBValue(fill);
        for (int i = 0; i < kW * kH; ++i)
            bits_[i] = value;
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool Ok() const { return dc_ && bits_ && old_; }
    HDC Dc() const { return dc_; }
    RGBQUAD At(int x, int y) const {
        GdiFlush();
        const DWORD v = bits_[y * kW + x];
        return Rgb(static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

const RGBQUAD kGrey = {100, 100, 100, 0};

TEST(Draw, OpaqueAtNaturalSize) {
    Surface s;
    ASSERT_TRUE(s.Ok());
    PxImage img(3, 2, 24);
    FillTagged(img);
    EXPECT_EQ(img.Draw(s.Dc(), 5, 4), 1);
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 3; ++x)
            EXPECT_TRUE(SameRgb(s.At(5 + x, 4 + r), Tag(x, r))) << x << "," << r;
    EXPECT_TRUE(SameRgb(s.At(4, 4), kGrey));
    EXPECT_TRUE(SameRgb(s.At(8, 5), kGrey));
    EXPECT_TRUE(SameRgb(s.At(5, 6), kGrey));
}

TEST(Draw, StretchedWithoutSmoothingRepeatsPixels) {
    Surface s;
    PxImage img(2, 2, 24);
    FillTagged(img);
    RECT r = {1, 1, 5, 5};
    EXPECT_EQ(img.Draw(s.Dc(), r), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(SameRgb(s.At(1 + x, 1 + y), Tag(x / 2, y / 2))) << x << "," << y;
    EXPECT_TRUE(SameRgb(s.At(5, 5), kGrey));
    // Shrinking picks, for each device row, the image row under its lower
    // edge: rows 1 and 3 of a 4-row picture.
    PxImage tall(2, 4, 24);
    FillTagged(tall);
    EXPECT_EQ(tall.Draw(s.Dc(), 10, 0, 2, 2), 1);
    EXPECT_TRUE(SameRgb(s.At(10, 0), Tag(0, 1)));
    EXPECT_TRUE(SameRgb(s.At(11, 1), Tag(1, 3)));
    // Palette images stretch through their palette colours.
    PxImage pal(1, 1, 8);
    pal.SetPaletteColor(3, Rgb(1, 2, 3));
    pal.SetPixelIndex(0, 0, 3);
    EXPECT_EQ(pal.Draw(s.Dc(), 8, 8, 3, 2), 1);
    EXPECT_TRUE(SameRgb(s.At(10, 9), Rgb(1, 2, 3)));
}

TEST(Draw, SmoothedShrinkAveragesAndAlphaBlends) {
    Surface s;
    PxImage img(2, 2, 24);
    img.SetPixelColor(0, 0, Rgb(0, 0, 0));
    img.SetPixelColor(1, 0, Rgb(200, 200, 200));
    img.SetPixelColor(0, 1, Rgb(0, 0, 0));
    img.SetPixelColor(1, 1, Rgb(200, 200, 200));
    EXPECT_EQ(img.Draw(s.Dc(), 0, 0, 1, 1, nullptr, true), 1);
    EXPECT_NEAR(s.At(0, 0).rgbRed, 100, 1);

    PxImage red(1, 1, 24);
    red.SetPixelColor(0, 0, Rgb(255, 0, 0));
    ASSERT_TRUE(red.CreateAlpha());
    red.SetAlpha(0, 0, 128);
    EXPECT_EQ(red.Draw(s.Dc(), 3, 3), 1);
    // (255 * 128 + 100 * 127) / 256 and (0 * 128 + 100 * 127) / 256.
    EXPECT_EQ(s.At(3, 3).rgbRed, 177);
    EXPECT_EQ(s.At(3, 3).rgbGreen, 49);
    // Alpha maximum scales every value: 128 * (127 + 1) / 256 = 64.
    red.SetAlphaMax(127);
    EXPECT_EQ(red.Draw(s.Dc(), 4, 3), 1);
    EXPECT_EQ(s.At(4, 3).rgbRed, (255 * 64 + 100 * 191) / 256);
    // Fully transparent pixels leave the background alone.
    red.SetAlpha(0, 0, 0);
    EXPECT_EQ(red.Draw(s.Dc(), 5, 3), 1);
    EXPECT_TRUE(SameRgb(s.At(5, 3), kGrey));
}

TEST(Draw, TransparentIndexAndColourAreSkipped) {
    Surface s;
    PxImage pal(2, 1, 8);
    pal.SetPaletteColor(0, Rgb(10, 20, 30));
    pal.SetPaletteColor(1, Rgb(250, 0, 0));
    pal.SetPixelIndex(0, 0, 0);
    pal.SetPixelIndex(1, 0, 1);
    pal.SetTransIndex(1);
    EXPECT_EQ(pal.Draw(s.Dc(), 0, 0), 1);
    EXPECT_TRUE(SameRgb(s.At(0, 0), Rgb(10, 20, 30)));
    EXPECT_TRUE(SameRgb(s.At(1, 0), kGrey));

    PxImage rgb(2, 1, 24);
    rgb.SetPixelColor(0, 0, Rgb(0, 255, 0));
    rgb.SetPixelColor(1, 0, Rgb(1, 2, 3));
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Rgb(0, 255, 0));
    EXPECT_EQ(rgb.Draw(s.Dc(), 0, 2), 1);
    EXPECT_TRUE(SameRgb(s.At(0, 2), kGrey));
    EXPECT_TRUE(SameRgb(s.At(1, 2), Rgb(1, 2, 3)));
}

TEST(Draw, ClipRectangleIsHonouredAndRestored) {
    Surface s;
    PxImage img(6, 6, 24);
    FillTagged(img);
    RECT clip = {2, 2, 4, 5};
    EXPECT_EQ(img.Draw(s.Dc(), 0, 0, -1, -1, &clip), 1);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 2 && x < 4 && y >= 2 && y < 5;
            EXPECT_TRUE(SameRgb(s.At(x, y), inside ? Tag(x, y) : kGrey)) << x << "," << y;
        }
    // The clip applied only to that call.
    EXPECT_EQ(img.Draw(s.Dc(), 0, 0), 1);
    EXPECT_TRUE(SameRgb(s.At(0, 0), Tag(0, 0)));
    // The composing path honours a clip too.
    Surface t;
    ASSERT_TRUE(img.CreateAlpha());
    EXPECT_EQ(img.Draw(t.Dc(), 0, 0, 12, 12, &clip), 1);
    EXPECT_TRUE(SameRgb(t.At(1, 1), kGrey));
    EXPECT_TRUE(SameRgb(t.At(3, 4), Tag(1, 2)));
}

TEST(Draw, NothingToDo) {
    Surface s;
    PxImage img(2, 2, 24);
    FillTagged(img);
    EXPECT_EQ(img.Draw(s.Dc(), 0, 0, 0, 5), 0);
    EXPECT_EQ(img.Draw(s.Dc(), 0, 0, 5, 0), 0);
    EXPECT_EQ(img.Draw(nullptr, 0, 0), 0);
    img.Enable(false);
    EXPECT_EQ(img.Draw(s.Dc(), 0, 0), 0);
    EXPECT_TRUE(SameRgb(s.At(0, 0), kGrey));
    EXPECT_EQ(PxImage().Draw(s.Dc(), 0, 0), 0);
}

TEST(DrawTiled, CoversRectangleWithCutTiles) {
    Surface s;
    PxImage img(3, 2, 24);
    FillTagged(img);
    RECT area = {1, 1, 8, 6};
    EXPECT_EQ(img.DrawTiled(s.Dc(), &area), 1);
    for (int y = 1; y < 6; ++y)
        for (int x = 1; x < 8; ++x)
            EXPECT_TRUE(SameRgb(s.At(x, y), Tag((x - 1) % 3, (y - 1) % 2))) << x << "," << y;
    EXPECT_TRUE(SameRgb(s.At(8, 1), kGrey));
    EXPECT_TRUE(SameRgb(s.At(1, 6), kGrey));
    EXPECT_TRUE(SameRgb(s.At(0, 0), kGrey));
    EXPECT_EQ(img.DrawTiled(s.Dc(), nullptr), 0);
    EXPECT_EQ(img.DrawTiled(nullptr, &area), 0);
    EXPECT_EQ(PxImage().DrawTiled(s.Dc(), &area), 0);
}

}  // namespace
