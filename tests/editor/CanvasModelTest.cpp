// The canvas's behaviour without its window: loading, zoom, rotation,
// dragging, the busy state and the cut of the framed region.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "editor/CanvasModel.h"
#include "tests/editor/CanvasTestImages.h"
#include "tests/TempName.h"

using canvas_test::At;
using canvas_test::IsWhite;
using canvas_test::Pattern;
using canvas_test::Same;

namespace {

const RECT kPanel{1, 60, 401, 360};  // 400 x 300, frame 104 x 104 at (149, 158)

struct Canvas {
    CanvasModel model;
    explicit Canvas(int32_t clipW = 104, int32_t clipH = 104) {
        model.SetClipSize(clipW, clipH);
        model.Layout(kPanel);
    }
    void Open(uint32_t w, uint32_t h, unsigned seed = 1) {
        PxImage img = Pattern(w, h, seed);
        model.OpenImage(img);
    }
    // Press and release at the same point: commits a clamped position.
    void Settle() {
        ASSERT_TRUE(model.MouseDown(200, 200));
        model.MouseUp(200, 200);
    }
    void Drag(int32_t dx, int32_t dy) {
        ASSERT_TRUE(model.MouseDown(200, 200));
        model.MouseMove(200 + dx, 200 + dy);
        model.MouseUp(200 + dx, 200 + dy);
    }
};

// Every pixel of the cut equals the display pixel under the frame.
void ExpectCutMatchesDisplay(const CanvasModel& m, const PxImage& cut) {
    const PxImage& display = m.Display().Image();
    // The cut is the frame's overlap with the display image.
    const RECT frame = m.Geometry().ClipRectInDisplay();
    const RECT r{std::max<int32_t>(frame.left, 0), std::max<int32_t>(frame.top, 0), 0, 0};
    for (int32_t y = 0; y < static_cast<int32_t>(cut.GetHeight()); ++y)
        for (int32_t x = 0; x < static_cast<int32_t>(cut.GetWidth()); ++x)
            ASSERT_TRUE(Same(At(cut, x, y), At(display, r.left + x, r.top + y)))
                << "cut pixel " << x << "," << y;
}

std::string WriteTempFile(const char* name, const char* bytes) {
    const std::string path = UniqueTempName(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fputs(bytes, f);
        std::fclose(f);
    }
    return path;
}

}  // namespace

TEST(CanvasModel, NoPictureIgnoresEveryCommand) {
    Canvas c;
    EXPECT_FALSE(c.model.HasPicture());
    EXPECT_FALSE(c.model.ZoomIn());
    EXPECT_FALSE(c.model.ZoomOut());
    EXPECT_FALSE(c.model.RotateLeft());
    EXPECT_FALSE(c.model.ResetView());
    EXPECT_FALSE(c.model.MouseDown(200, 200));
    EXPECT_FALSE(c.model.MouseUp(200, 200));
    PxImage cut;
    EXPECT_FALSE(c.model.ExportClip(cut));
    EXPECT_FALSE(cut.IsValid());
}

TEST(CanvasModel, OpenFitsPictureToPanel) {
    Canvas c;
    c.Open(800, 700);
    ASSERT_TRUE(c.model.Display().IsValid());
    EXPECT_EQ(c.model.Display().Size(), (CanvasSize{400, 350}));
    EXPECT_EQ(c.model.Geometry().ImageRect().top, 35);
    // The picture is kept as loaded; only the display is resampled.
    EXPECT_EQ(c.model.Picture()->GetWidth(), 800u);

    c.Open(120, 90);  // smaller than the panel: own size, same pixels
    EXPECT_EQ(c.model.Display().Size(), (CanvasSize{120, 90}));
    EXPECT_TRUE(Same(At(c.model.Display().Image(), 7, 5), At(*c.model.Picture(), 7, 5)));
}

TEST(CanvasModel, UndecodableFileStillCountsAsLoaded) {
    Canvas c;
    c.Open(800, 700);
    for (const std::string& path :
         {WriteTempFile("canvas-not-a-picture.jpg", "this is not a picture"),
          UniqueTempName("canvas-missing-file.png")}) {
        const PxString name(path.begin(), path.end());
        c.model.OpenPicture(name.c_str());
        EXPECT_TRUE(c.model.HasPicture());
        EXPECT_FALSE(c.model.Picture()->IsValid());
        EXPECT_FALSE(c.model.Display().IsValid());  // the old picture is gone
        EXPECT_EQ(c.model.Geometry().BaseSize(), (CanvasSize{0, 0}));
        EXPECT_TRUE(c.model.ZoomIn());
        EXPECT_TRUE(c.model.ZoomOut());
        EXPECT_TRUE(c.model.RotateRight());
        EXPECT_FALSE(c.model.Display().IsValid());
        PxImage cut(10, 10, 24);
        EXPECT_TRUE(c.model.ExportClip(cut));  // true, with an empty cut
        EXPECT_FALSE(cut.IsValid());
    }
}

TEST(CanvasModel, CutEqualsDisplayUnderFrame) {
    Canvas c(200, 100);
    c.Open(800, 700);
    c.Drag(-37, -21);
    c.model.ZoomIn();
    c.Drag(-50, 10);
    PxImage cut;
    ASSERT_TRUE(c.model.ExportClip(cut));
    ASSERT_TRUE(cut.IsValid());
    EXPECT_EQ(cut.GetWidth(), 200u);
    EXPECT_EQ(cut.GetHeight(), 100u);
    EXPECT_EQ(cut.GetBpp(), 24u);
    ExpectCutMatchesDisplay(c.model, cut);
}

TEST(CanvasModel, ZoomPastPictureSizeCutsWhiteMargins) {
    Canvas c;
    c.Open(100, 100);  // base 100 x 100, centred at (151, 160)
    for (int i = 0; i < 20; ++i)
        c.model.ZoomIn();
    // The picture is never magnified: 400 x 400 of white with the picture
    // unscaled in the middle (150 .. 250).
    ASSERT_EQ(c.model.Display().Size(), (CanvasSize{400, 400}));
    c.Settle();  // clamped: display origin at the frame's top-left
    c.Drag(-100, -100);
    ASSERT_EQ(c.model.Geometry().ClipRectInDisplay().left, 100);
    PxImage cut;
    ASSERT_TRUE(c.model.ExportClip(cut));
    ASSERT_EQ(cut.GetWidth(), 104u);
    ExpectCutMatchesDisplay(c.model, cut);
    EXPECT_TRUE(IsWhite(At(cut, 0, 0)));
    EXPECT_TRUE(IsWhite(At(cut, 49, 80)));
    EXPECT_TRUE(IsWhite(At(cut, 80, 49)));
    EXPECT_TRUE(Same(At(cut, 50, 50), At(*c.model.Picture(), 0, 0)));
    EXPECT_TRUE(Same(At(cut, 103, 103), At(*c.model.Picture(), 53, 53)));
}

TEST(CanvasModel, PartialOverlapGivesSmallerCutAndMissGivesEmptyCut) {
    Canvas c;
    c.Open(60, 50);  // smaller than the frame, centred, not yet clamped
    PxImage cut;
    ASSERT_TRUE(c.model.ExportClip(cut));
    EXPECT_EQ(cut.GetWidth(), 60u);
    EXPECT_EQ(cut.GetHeight(), 50u);
    ExpectCutMatchesDisplay(c.model, cut);

    // A resize moves the picture to the panel's top-left, away from the frame.
    c.model.Layout(kPanel);
    PxImage missed(5, 5, 24);
    EXPECT_TRUE(c.model.ExportClip(missed));
    EXPECT_FALSE(missed.IsValid());
}

TEST(CanvasModel, ZoomOutKeepsFrameCoveredAndRotationIsLostOnZoom) {
    Canvas c;
    c.Open(800, 700);
    for (int i = 0; i < 20; ++i) {
        c.model.ZoomOut();
        const CanvasSize d = c.model.Display().Size();
        ASSERT_GE(d.width, 104);
        ASSERT_GE(d.height, 104);
        const RECT clip = c.model.Geometry().ClipRectInDisplay();
        ASSERT_GE(clip.left, 0);
        ASSERT_GE(clip.top, 0);
        ASSERT_LE(clip.right, d.width);
        ASSERT_LE(clip.bottom, d.height);
    }
    c.model.ResetView();
    ASSERT_EQ(c.model.Display().Size(), (CanvasSize{400, 350}));
    const RGBQUAD topLeft = At(c.model.Display().Image(), 0, 0);
    const RGBQUAD bottomLeft = At(c.model.Display().Image(), 0, 349);
    c.model.RotateRight();
    EXPECT_EQ(c.model.Display().Size(), (CanvasSize{350, 400}));
    EXPECT_TRUE(Same(At(c.model.Display().Image(), 0, 0), bottomLeft));
    c.model.ZoomIn();
    EXPECT_EQ(c.model.Display().Size(), (CanvasSize{480, 420}));
    c.model.ZoomOut();
    EXPECT_TRUE(Same(At(c.model.Display().Image(), 0, 0), topLeft));
}

TEST(CanvasModel, BusyRefusesPressAndWheelButNotARunningDrag) {
    Canvas c;
    c.Open(800, 700);
    ASSERT_TRUE(c.model.MouseDown(200, 200));
    c.model.SetBusy(true);
    EXPECT_TRUE(c.model.MouseMove(190, 180));  // the drag goes on
    EXPECT_TRUE(c.model.MouseUp(190, 180));
    EXPECT_FALSE(c.model.MouseDown(200, 200));
    EXPECT_FALSE(c.model.MouseWheel(120));
    EXPECT_EQ(c.model.Geometry().Zoom(), 1.0f);
    c.model.SetBusy(false);
    EXPECT_TRUE(c.model.MouseWheel(0));  // 0 zooms in
    EXPECT_FLOAT_EQ(c.model.Geometry().Zoom(), 1.2f);
    EXPECT_TRUE(c.model.MouseWheel(-120));
    EXPECT_FLOAT_EQ(c.model.Geometry().Zoom(), 1.0f);
    EXPECT_FALSE(c.model.MouseDown(0, 0));  // outside the panel: no claim
}

TEST(CanvasModel, ReleaseImagesForgetsThePicture) {
    Canvas c;
    c.Open(300, 200);
    c.model.ReleaseImages();
    EXPECT_FALSE(c.model.HasPicture());
    EXPECT_FALSE(c.model.Display().IsValid());
    PxImage cut;
    EXPECT_FALSE(c.model.ExportClip(cut));
}

TEST(CanvasModel, OddClipSizesFromScriptFailSafely) {
    // Sizes no image can have: zooming out cannot build a frame-sized
    // display, so the display stays as it was and the cut is its overlap.
    for (int32_t size : {100000, INT32_MAX}) {
        Canvas c(size, size);
        c.Open(300, 200);
        EXPECT_TRUE(c.model.ZoomOut());
        EXPECT_EQ(c.model.Display().Size(), (CanvasSize{300, 200}));
        PxImage cut;
        EXPECT_TRUE(c.model.ExportClip(cut));
        EXPECT_EQ(cut.GetWidth(), 300u);
        EXPECT_EQ(cut.GetHeight(), 200u);
    }
    // A null path is an undecodable file, not a crash.
    Canvas c;
    c.model.OpenPicture(nullptr);
    EXPECT_TRUE(c.model.HasPicture());
    EXPECT_FALSE(c.model.Display().IsValid());
}
