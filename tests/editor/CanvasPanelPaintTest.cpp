// The canvas painted into a memory bitmap under Wine: the wash outside the
// frame, full strength inside, the outline colour, the busy circle, the
// clip region left as it was; and the toolkit's mouse routing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/editor/CanvasPaintTestSupport.h"
#include "tests/editor/CanvasTestImages.h"
#include "ui/ImageLister.h"

using canvas_test::Attach;
using canvas_test::Paint;
using canvas_test::Root;
using canvas_test::Surface;

namespace {

constexpr uint32_t kPictureRgb = 0xA05028;  // red 160, green 80, blue 40

bool Near(uint32_t got, uint32_t want, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

// Constant-alpha blend of colour over base, per channel.
uint32_t Blend(uint32_t colour, uint32_t base, int alpha) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int c = (colour >> shift) & 0xFF, b = (base >> shift) & 0xFF;
        out |= static_cast<uint32_t>((c * alpha + b * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

class CanvasPaint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gdiplus_.IsStarted());
        ASSERT_TRUE(surface_.Valid());
        Attach(canvas_, root_);
        // Pixmend's panel finds its tile in the test program's resources;
        // these tests paint over a known black instead.
        canvas_.ReleaseImages();
        surface_.Fill(0);
    }
    void OpenFlatPicture() {
        PxImage picture(800, 700, 24);
        for (uint32_t y = 0; y < 700; ++y) {
            uint8_t* row = picture.GetBits(y);
            for (uint32_t x = 0; x < 800; ++x) {
                row[3 * x] = kPictureRgb & 0xFF;
                row[3 * x + 1] = (kPictureRgb >> 8) & 0xFF;
                row[3 * x + 2] = (kPictureRgb >> 16) & 0xFF;
            }
        }
        canvas_.Model().OpenImage(picture);
    }

    Corvane::UI::GdiplusSession gdiplus_;
    Surface surface_{800, 600};
    Root root_{800, 600};
    CanvasPanel canvas_;
};

}  // namespace

TEST_F(CanvasPaint, PictureDimmedOutsideFrameFullInsideWithOutline) {
    OpenFlatPicture();
    const RECT f = canvas_.Model().Geometry().FrameRect();
    ASSERT_EQ(f.left, 348);
    ASSERT_EQ(f.top, 258);
    Paint(canvas_, surface_);
    const uint32_t washed = Blend(0xFFFFFF, kPictureRgb, CanvasPanel::kWashAlpha);
    EXPECT_TRUE(Near(surface_.At(100, 100), washed, 2)) << std::hex << surface_.At(100, 100);
    EXPECT_TRUE(Near(surface_.At(797, 559), washed, 2));
    // 800 x 700 fits the 798-pixel panel as 798 x 698, but FitToBox keeps
    // the aspect: 797 x 698 on a white canvas, so the last column is white.
    EXPECT_TRUE(Near(surface_.At(798, 300), Blend(0xFFFFFF, 0xFFFFFF, 70), 2));
    EXPECT_EQ(surface_.At(400, 300), kPictureRgb);
    EXPECT_EQ(surface_.At(f.left + 1, f.top + 1), kPictureRgb);
    // The one-pixel outline in 0x009D6E49 (red 73, green 110, blue 157).
    EXPECT_EQ(surface_.At(f.left, f.top), 0x496E9Du);
    EXPECT_EQ(surface_.At(f.right - 1, f.bottom - 1), 0x496E9Du);
    EXPECT_EQ(surface_.At(400, f.top), 0x496E9Du);
    // Nothing is drawn outside the bounds (toolbar band, bottom bar, edge).
    EXPECT_EQ(surface_.At(100, 59), 0u);
    EXPECT_EQ(surface_.At(100, 560), 0u);
    EXPECT_EQ(surface_.At(0, 300), 0u);
}

TEST_F(CanvasPaint, BusyCircleWithTextReplacesOutline) {
    OpenFlatPicture();
    canvas_.SetStatusText(PX_TEXT("42%"));
    canvas_.SetBusy(true);
    Paint(canvas_, surface_);
    const RECT f = canvas_.Model().Geometry().FrameRect();
    // Inside the circle, away from the text: black at alpha 150 over the picture.
    const uint32_t shaded = Blend(0, kPictureRgb, 150);
    EXPECT_TRUE(Near(surface_.At(400, 272), shaded, 3)) << std::hex << surface_.At(400, 272);
    EXPECT_TRUE(Near(surface_.At(362, 310), shaded, 3)) << std::hex << surface_.At(362, 310);
    // Outside the circle but inside the square: untouched picture.
    EXPECT_EQ(surface_.At(352, 262), kPictureRgb);
    // No outline while busy.
    EXPECT_EQ(surface_.At(f.left, f.top), kPictureRgb);
    // The text is white.
    int white = 0;
    for (int y = 300; y < 321; ++y)
        for (int x = 370; x < 431; ++x)
            white += Near(surface_.At(x, y), 0xFFFFFF, 40) ? 1 : 0;
    EXPECT_GT(white, 5);

    canvas_.SetBusy(false);
    surface_.Fill(0);
    Paint(canvas_, surface_);
    EXPECT_EQ(surface_.At(400, 272), kPictureRgb);
    EXPECT_EQ(surface_.At(f.left, f.top), 0x496E9Du);
}

TEST_F(CanvasPaint, NoPictureShowsWashedBackgroundWithoutOutline) {
    Paint(canvas_, surface_);
    // No tile in the test program: the wash over black.
    const uint32_t washed = Blend(0xFFFFFF, 0, CanvasPanel::kWashAlpha);
    EXPECT_TRUE(Near(surface_.At(348, 258), washed, 2)) << std::hex << surface_.At(348, 258);
    EXPECT_TRUE(Near(surface_.At(400, 310), washed, 2));
}

TEST_F(CanvasPaint, ClipRegionIsRestored) {
    OpenFlatPicture();
    HDC dc = surface_.Dc();
    Corvane::UI::GdiObject<HRGN> clip(CreateRectRgn(0, 0, 700, 500));
    SelectClipRgn(dc, clip.Get());
    Paint(canvas_, surface_);
    Corvane::UI::GdiObject<HRGN> after(CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(GetClipRgn(dc, after.Get()), 1);
    RECT box{};
    GetRgnBox(after.Get(), &box);
    EXPECT_EQ(box.right, 700);
    EXPECT_EQ(box.bottom, 500);
    // The existing clip was honoured: nothing drawn beyond it.
    EXPECT_EQ(surface_.At(750, 300), 0u);
    EXPECT_NE(surface_.At(650, 300), 0u);

    SelectClipRgn(dc, nullptr);
    Paint(canvas_, surface_);
    EXPECT_EQ(GetClipRgn(dc, after.Get()), 0);  // none before, none after
}

TEST_F(CanvasPaint, DragMovesOnlyTheOrigin) {
    OpenFlatPicture();
    Corvane::UI::CMouseEventArgs down(1, 400, 300);
    root_.OnMouseDown(down);
    EXPECT_EQ(down.handler, &canvas_);
    EXPECT_EQ(root_.GetCaptured(), &canvas_);
    const uint8_t* block = canvas_.Model().Display().GetDIB();
    Corvane::UI::CMouseEventArgs move(1, 380, 250);
    root_.OnMouseMove(move);
    Corvane::UI::CMouseEventArgs up(1, 380, 250);
    root_.OnMouseUp(up);
    EXPECT_EQ(root_.GetCaptured(), nullptr);
    EXPECT_EQ(canvas_.Model().Display().GetDIB(), block);
    EXPECT_EQ(canvas_.Model().Geometry().AnchorRect().left, 1 - 20);

    canvas_.SetBusy(true);
    Corvane::UI::CMouseEventArgs refused(1, 400, 300);
    root_.OnMouseDown(refused);
    EXPECT_EQ(refused.handler, nullptr);
    Corvane::UI::CMouseEventArgs wheel(1, 10, 10, 120);
    root_.OnMouseWheel(wheel);
    EXPECT_EQ(canvas_.Model().Geometry().Zoom(), 1.0f);
    canvas_.SetBusy(false);
    root_.OnMouseWheel(wheel);  // anywhere in the window
    EXPECT_FLOAT_EQ(canvas_.Model().Geometry().Zoom(), 1.2f);
}

TEST_F(CanvasPaint, ReleasePassDropsImages) {
    OpenFlatPicture();
    root_.OnDestroy();
    EXPECT_FALSE(canvas_.Model().HasPicture());
    EXPECT_FALSE(canvas_.Background().IsValid());
    Paint(canvas_, surface_);  // still paints (background washed, no outline)
    EXPECT_TRUE(Near(surface_.At(348, 258), Blend(0xFFFFFF, 0, CanvasPanel::kWashAlpha), 2));
}

TEST(CanvasBackground, TileFromTheDeliverableResourcesUnderTheWash) {
    // npPixmend copies the skin store's "CANVAS_BK", which the editor loads
    // first; Pixmend reads its own resource.
    Corvane::UI::ImageLister::Instance().LoadAll();
    Corvane::UI::GdiplusSession gdiplus;
    Surface surface(800, 600);
    Root root(800, 600);
    {
        CanvasPanel canvas;
        Attach(canvas, root);
        const PxImage& tile = canvas.Background();
        ASSERT_TRUE(tile.IsValid());
        surface.Fill(0);
        Paint(canvas, surface);
        const int32_t tw = static_cast<int32_t>(tile.GetWidth()), th = static_cast<int32_t>(tile.GetHeight());
        for (const POINT p : {POINT{1, 60}, POINT{1 + tw + 3, 60 + 2 * th + 1}, POINT{798, 559}}) {
            const RGBQUAD c = canvas_test::At(tile, (p.x - 1) % tw, (p.y - 60) % th);
            const uint32_t rgb = (uint32_t{c.rgbRed} << 16) | (uint32_t{c.rgbGreen} << 8) | c.rgbBlue;
            EXPECT_TRUE(Near(surface.At(p.x, p.y), Blend(0xFFFFFF, rgb, CanvasPanel::kWashAlpha), 2))
                << p.x << "," << p.y << " " << std::hex << surface.At(p.x, p.y);
        }
        canvas.SetParent(nullptr);
    }
    Corvane::UI::ImageLister::Instance().Clear();
}
