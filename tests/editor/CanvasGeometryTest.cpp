// Canvas view geometry: fitting, zoom steps and limits, clamping, drag and
// the frame's placement, from the window layout the editor uses (a panel
// with margins 1, 60, 1, 40).
#include <gtest/gtest.h>

#include "editor/CanvasGeometry.h"

namespace {

const RECT kPanel{1, 60, 401, 360};  // 400 x 300

CanvasGeometry LaidOut(const RECT& bounds = kPanel, int32_t clipW = 104, int32_t clipH = 104) {
    CanvasGeometry g;
    g.SetClipSize(clipW, clipH);
    g.Layout(bounds);
    return g;
}

bool FrameCovered(const CanvasGeometry& g, CanvasSize display) {
    const RECT& f = g.FrameRect();
    const RECT& i = g.ImageRect();
    return i.left <= f.left && i.top <= f.top && i.left + display.width >= f.right &&
           i.top + display.height >= f.bottom;
}

void ExpectRect(const RECT& r, int32_t l, int32_t t, int32_t rt, int32_t b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rt);
    EXPECT_EQ(r.bottom, b);
}

}  // namespace

TEST(CanvasGeometry, LayoutPlacesFrameAndOrigin) {
    CanvasGeometry g = LaidOut();
    ExpectRect(g.FrameRect(), 149, 158, 253, 262);
    ExpectRect(g.ImageRect(), 1, 60, 401, 360);
    ExpectRect(g.AnchorRect(), 1, 60, 401, 360);

    // After a resize the picture's top-left is at the panel's top-left and
    // the frame is re-centred with the current clip size.
    g.Open(CanvasSize{800, 700});
    g.DragTo(0, 0, CanvasSize{400, 350});
    g.Layout(RECT{1, 60, 601, 460});
    ExpectRect(g.ImageRect(), 1, 60, 601, 460);
    ExpectRect(g.FrameRect(), 249, 208, 353, 312);
}

TEST(CanvasGeometry, OpenFitsAndCentres) {
    CanvasGeometry g = LaidOut();
    g.Open(CanvasSize{800, 700});
    EXPECT_EQ(g.BaseSize(), (CanvasSize{400, 350}));
    EXPECT_EQ(g.DisplaySize(), (CanvasSize{400, 350}));
    ExpectRect(g.ImageRect(), 1, 35, 401, 385);  // taller than the panel
    ExpectRect(g.AnchorRect(), 1, 35, 401, 385);
    EXPECT_EQ(g.Zoom(), 1.0f);

    // Smaller than the panel in both directions: own size, centred.
    g.Open(CanvasSize{100, 50});
    EXPECT_EQ(g.BaseSize(), (CanvasSize{100, 50}));
    ExpectRect(g.ImageRect(), 151, 185, 251, 235);
    // Exactly the panel's size: likewise.
    g.Open(CanvasSize{400, 300});
    ExpectRect(g.ImageRect(), 1, 60, 401, 360);
    // Exceeding the panel on one axis only: fitted by the larger side,
    // which enlarges it beyond the panel.
    g.Open(CanvasSize{300, 300});
    EXPECT_EQ(g.BaseSize(), (CanvasSize{400, 400}));
    // An undecodable file has no size.
    g.Open(CanvasSize{0, 0});
    EXPECT_EQ(g.BaseSize(), (CanvasSize{0, 0}));
}

TEST(CanvasGeometry, ZoomStepsStopAtLimits) {
    CanvasGeometry g = LaidOut();
    g.Open(CanvasSize{800, 700});
    EXPECT_EQ(g.ZoomIn(), (CanvasSize{480, 420}));
    EXPECT_FLOAT_EQ(g.Zoom(), 1.2f);
    for (int i = 0; i < 30; ++i) {
        g.ZoomIn();
        EXPECT_LE(g.Zoom(), 4.0f);
    }
    EXPECT_EQ(g.Zoom(), 4.0f);
    EXPECT_EQ(g.DisplaySize(), (CanvasSize{1600, 1400}));
    // Zooming in moves nothing: the picture grows right and down.
    ExpectRect(g.ImageRect(), 1, 35, 401, 385);

    for (int i = 0; i < 30; ++i) {
        const CanvasSize s = g.ZoomOut();
        EXPECT_GE(g.Zoom(), 0.06f);
        // Never smaller than the frame after a zoom-out.
        EXPECT_GE(s.width, 104);
        EXPECT_GE(s.height, 104);
    }
    EXPECT_EQ(g.Zoom(), 0.06f);
    // 0.06 x 400 = 24 and 0.06 x 350 = 21 are raised to the frame.
    EXPECT_EQ(g.DisplaySize(), (CanvasSize{104, 104}));
}

TEST(CanvasGeometry, ZoomSequenceIsSinglePrecision) {
    CanvasGeometry g = LaidOut();
    g.Open(CanvasSize{800, 700});
    float expected = 1.0f;
    for (int i = 0; i < 5; ++i) {
        expected = static_cast<float>(static_cast<double>(expected) + static_cast<double>(0.2f));
        g.ZoomIn();
        EXPECT_EQ(g.Zoom(), expected);
    }
    // The float sum drifts upward (2.0000002 after five steps), so the
    // truncated sizes never fall one pixel short of the round zoom.
    EXPECT_EQ(g.DisplaySize(), (CanvasSize{800, 700}));
    // The fifteenth step overshoots 4.0 by a hair and is held at 4.0.
    for (int i = 5; i < 15; ++i)
        g.ZoomIn();
    EXPECT_EQ(g.Zoom(), 4.0f);
    g.Reset();
    EXPECT_EQ(g.Zoom(), 1.0f);
    EXPECT_EQ(g.DisplaySize(), (CanvasSize{400, 350}));
    ExpectRect(g.ImageRect(), 1, 35, 401, 385);
}

TEST(CanvasGeometry, ClampKeepsFrameCovered) {
    CanvasGeometry g = LaidOut();
    g.Open(CanvasSize{800, 700});
    const CanvasSize display{400, 350};
    // Dragged far to the right and down: clamped so the frame stays covered.
    ASSERT_TRUE(g.BeginDrag(200, 200));
    g.DragTo(390, 350, display);
    EXPECT_TRUE(FrameCovered(g, display));
    EXPECT_EQ(g.ImageRect().left, 149);  // frame left
    EXPECT_EQ(g.ImageRect().top, 158);   // frame top
    // Far up and left: the display's right and bottom edges meet the frame's.
    g.DragTo(-1000, -1000, display);
    EXPECT_TRUE(FrameCovered(g, display));
    EXPECT_EQ(g.ImageRect().left, 253 - 400);
    EXPECT_EQ(g.ImageRect().top, 262 - 350);
    // Right and bottom are not adjusted by the clamp.
    EXPECT_EQ(g.ImageRect().right, 401 - 1200);

    // Narrower than the frame: right edge aligned with the frame's.
    g.Clamp(CanvasSize{50, 60});
    EXPECT_EQ(g.ImageRect().left, 253 - 50);
    EXPECT_EQ(g.ImageRect().top, 262 - 60);
}

TEST(CanvasGeometry, DragReleaseInsideAndOutside) {
    CanvasGeometry g = LaidOut();
    g.Open(CanvasSize{800, 700});
    const CanvasSize display{400, 350};
    EXPECT_FALSE(g.BeginDrag(0, 0));  // outside the bounds
    EXPECT_FALSE(g.Dragging());
    EXPECT_FALSE(g.DragTo(10, 10, display));

    ASSERT_TRUE(g.BeginDrag(100, 100));
    g.DragTo(110, 95, display);  // moves are followed outside the panel too
    g.DragTo(120, 20, display);
    EXPECT_EQ(g.ImageRect().left, 21);
    EXPECT_EQ(g.ImageRect().top, -45);
    // Released outside: the last move's position is kept and committed.
    EXPECT_TRUE(g.EndDrag(500, 500, display));
    EXPECT_FALSE(g.Dragging());
    EXPECT_EQ(g.AnchorRect().left, 21);
    EXPECT_EQ(g.AnchorRect().top, -45);

    // Released inside: recomputed from the release point.
    ASSERT_TRUE(g.BeginDrag(100, 100));
    g.DragTo(150, 150, display);
    EXPECT_TRUE(g.EndDrag(90, 110, display));
    EXPECT_EQ(g.ImageRect().left, 11);
    EXPECT_EQ(g.ImageRect().top, -35);
    EXPECT_EQ(g.AnchorRect().left, 11);
    EXPECT_FALSE(g.EndDrag(90, 110, display));
}

TEST(CanvasGeometry, ClipRectFollowsOrigin) {
    CanvasGeometry g = LaidOut(kPanel, 200, 100);
    g.Open(CanvasSize{800, 700});
    // Frame (101, 160, 301, 260), origin (1, 35).
    ExpectRect(g.ClipRectInDisplay(), 100, 125, 300, 225);
    // After a resize the frame may miss the picture entirely.
    g.Layout(RECT{1, 60, 2001, 2060});
    ExpectRect(g.ClipRectInDisplay(), 900, 950, 1100, 1050);
}

TEST(CanvasGeometry, SetClipSizeReplacesFrameAtOnce) {
    CanvasGeometry g;
    g.SetClipSize(50, 40);  // before the first layout: stored only
    ExpectRect(g.FrameRect(), 0, 0, 0, 0);
    g.Layout(kPanel);
    ExpectRect(g.FrameRect(), 176, 190, 226, 230);
    g.SetClipSize(300, 200);
    ExpectRect(g.FrameRect(), 51, 110, 351, 310);
    // Negative sizes from script give an empty frame, never an inverted one.
    g.SetClipSize(-20, 30);
    EXPECT_EQ(g.ClipSize(), (CanvasSize{0, 30}));
    EXPECT_EQ(g.FrameSize(), (CanvasSize{0, 30}));
}
