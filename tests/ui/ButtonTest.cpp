#include "ui/Button.h"

#include <gtest/gtest.h>

#include "tests/ui/DibCanvas.h"
#include "ui/Drawing.h"
#include "ui/FontSet.h"

using namespace Corvane::UI;
using Corvane::UI::Controls::Button;

namespace {

class Root : public ControlBase {
public:
    Root() { SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight); }
    RECT GetParentRect() override { return RECT{0, 0, 200, 100}; }
};

class ClickCounter : public Corvane::Signals::SlotOwner {
public:
    void OnClick() { ++clicks; }
    int clicks = 0;
};

// Two buttons side by side at (10,10)-(57,60) and (60,10)-(107,60), clicks
// counted; mouse helpers go through the root, as the window layer does.
class ButtonFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Place(first, 10);
        Place(second, 60);
        first.Click.Connect(&counter, &ClickCounter::OnClick);
        root.Layout();
    }
    void Place(Button& b, int32_t left) {
        b.SetImages("n", "h", "d", "x");
        b.SetSize(47, 50);
        b.SetMargins(left, 10, 0, 0);
        b.Initialize(&root, PxString());
    }
    void Down(int32_t x, int32_t y) {
        CMouseEventArgs e(1, x, y);
        root.OnMouseDown(e);
        lastHandler = e.handler;
    }
    void Up(int32_t x, int32_t y) {
        CMouseEventArgs e(1, x, y);
        root.OnMouseUp(e);
    }
    void Move(int32_t x, int32_t y) {
        CMouseEventArgs e(1, x, y);
        root.OnMouseMove(e);
    }

    Root root;
    Button first, second;
    ClickCounter counter;
    ControlBase* lastHandler = nullptr;
};

}  // namespace

TEST(ButtonDefaults, NamesCaptionAndInitialize) {
    Button b;
    EXPECT_EQ(b.CurrentImageName(), "BtnNormal");
    EXPECT_TRUE(b.GetCaption().empty());
    Root root;
    b.Initialize(&root, PX_TEXT("OK"));
    EXPECT_EQ(b.GetParent(), &root);
    EXPECT_EQ(b.GetCaption(), PxString(PX_TEXT("OK")));
}

TEST_F(ButtonFixture, HoverFollowsMovesInsideAndOutside) {
    Move(20, 20);
    EXPECT_EQ(first.GetState(), static_cast<uint32_t>(StateHover));
    EXPECT_EQ(first.CurrentImageName(), "h");
    EXPECT_EQ(second.GetState(), 0u);
    Move(5, 5);
    EXPECT_EQ(first.GetState(), 0u);
    EXPECT_EQ(first.CurrentImageName(), "n");
}

TEST_F(ButtonFixture, EdgesOnRightAndBottomAreOutside) {
    Move(56, 59);  // last pixel inside
    EXPECT_EQ(first.GetState(), static_cast<uint32_t>(StateHover));
    Move(57, 30);  // right edge
    EXPECT_EQ(first.GetState(), 0u);
    Move(30, 60);  // bottom edge
    EXPECT_EQ(first.GetState(), 0u);
    Down(57, 30);
    EXPECT_EQ(lastHandler, nullptr);
}

TEST_F(ButtonFixture, PressAndReleaseInsideClicksOnce) {
    Move(20, 20);
    Down(20, 20);
    EXPECT_EQ(lastHandler, &first);
    EXPECT_EQ(first.GetState(), static_cast<uint32_t>(StateHover | StatePressed));
    EXPECT_EQ(first.CurrentImageName(), "d");
    Up(21, 21);
    EXPECT_EQ(counter.clicks, 1);
    EXPECT_EQ(first.GetState(), static_cast<uint32_t>(StateHover));  // hover kept
}

TEST_F(ButtonFixture, ReleaseOutsideClearsEverythingWithoutClick) {
    Move(20, 20);
    Down(20, 20);
    Move(150, 80);  // ignored while pressed, delivered to the captured button
    EXPECT_TRUE(first.GetState() & StatePressed);
    Up(150, 80);
    EXPECT_EQ(counter.clicks, 0);
    EXPECT_EQ(first.GetState(), 0u);
    EXPECT_EQ(first.CurrentImageName(), "n");
}

TEST_F(ButtonFixture, OutAndBackInThenReleaseClicksOnce) {
    Down(20, 20);
    Move(150, 80);
    Move(20, 20);
    Up(20, 20);
    EXPECT_EQ(counter.clicks, 1);
    // The release went to the captured button only.
    EXPECT_EQ(second.GetState(), 0u);
}

TEST_F(ButtonFixture, ReleaseInsideWithoutPressDoesNothing) {
    Up(20, 20);
    EXPECT_EQ(counter.clicks, 0);
    EXPECT_EQ(first.GetState(), 0u);
}

TEST_F(ButtonFixture, DisabledButtonIgnoresInputAndPressGoesToNextSibling) {
    // A disabled button over the second one: the press falls through.
    second.SetMargins(10, 10, 0, 0);
    root.Layout();
    first.SetDisabled(1);
    EXPECT_EQ(first.CurrentImageName(), "x");
    Move(20, 20);
    EXPECT_EQ(first.GetState(), 0u);
    Down(20, 20);
    EXPECT_EQ(lastHandler, &second);
    Up(20, 20);
    EXPECT_EQ(counter.clicks, 0);
}

TEST_F(ButtonFixture, DisabledKeepsItsBitsButDrawsTheDisabledPicture) {
    Move(20, 20);
    first.SetDisabled(1);
    EXPECT_EQ(first.GetState(), static_cast<uint32_t>(StateHover));
    EXPECT_EQ(first.CurrentImageName(), "x");
    first.SetDisabled(0);
    EXPECT_EQ(first.CurrentImageName(), "h");
}

TEST_F(ButtonFixture, InvisibleButtonNeitherReactsNorPaints) {
    first.SetVisible(0);
    Move(20, 20);
    Down(20, 20);
    EXPECT_EQ(lastHandler, nullptr);
    Up(20, 20);
    EXPECT_EQ(counter.clicks, 0);

    DibCanvas canvas(200, 100);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    Button captioned;
    captioned.SetSize(47, 50);
    captioned.Initialize(&root, PX_TEXT("WWW"));
    captioned.SetVisible(0);
    root.Layout();
    GdiGraphics none;
    CPaintEventArgs paint(canvas.Dc(), none);
    captioned.OnPaint(paint);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 47; ++x) ASSERT_EQ(canvas.At(x, y), RGB(255, 255, 255));
}

TEST_F(ButtonFixture, ButtonDestroyedFirstDisconnectsItsReceiver) {
    ClickCounter receiver;
    {
        Button temporary;
        temporary.Click.Connect(&receiver, &ClickCounter::OnClick);
        EXPECT_EQ(receiver.SenderCount(), 1u);
    }
    EXPECT_EQ(receiver.SenderCount(), 0u);
}

namespace {

// Counts pixels of a colour (within tolerance) inside a rectangle.
int CountNear(const DibCanvas& canvas, const RECT& r, COLORREF colour, int tolerance) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (Near(canvas.At(x, y), colour, tolerance)) ++count;
    return count;
}

}  // namespace

TEST(ButtonCaption, DrawnInNormalOrDisabledGreyInsideTheBounds) {
    DibCanvas canvas(120, 60);
    ASSERT_TRUE(canvas.Ok());
    Root root;
    Button b;
    b.SetImages("none", "none", "none", "none");  // not in the store
    b.SetSize(100, 40);
    b.SetMargins(10, 10, 0, 0);
    b.Initialize(&root, PX_TEXT("HHHH"));
    root.Layout();
    GdiGraphics none;
    CPaintEventArgs paint(canvas.Dc(), none);

    canvas.Clear(RGB(255, 255, 255));
    b.OnPaint(paint);
    const RECT outside = {0, 0, 120, 10};
    EXPECT_EQ(CountNear(canvas, outside, RGB(255, 255, 255), 0), 120 * 10);
    EXPECT_GT(CountNear(canvas, b.GetBounds(), FontSet::Instance().NormalColour(), 10), 3);

    canvas.Clear(RGB(255, 255, 255));
    b.SetDisabled(1);
    b.OnPaint(paint);
    EXPECT_GT(CountNear(canvas, b.GetBounds(), FontSet::Instance().DisabledColour(), 10), 3);
    EXPECT_EQ(CountNear(canvas, b.GetBounds(), FontSet::Instance().NormalColour(), 10), 0);
    // The text colour and background mode of the DC are left as they were.
    EXPECT_EQ(GetBkMode(canvas.Dc()), OPAQUE);
}

TEST(ButtonCaption, EmptyCaptionDrawsOnlyThePicture) {
    DibCanvas canvas(60, 60);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(255, 255, 255));
    Root root;
    Button b;
    b.SetImages("none", "none", "none", "none");
    b.SetSize(50, 50);
    b.Initialize(&root, PxString());
    root.Layout();
    GdiGraphics none;
    CPaintEventArgs paint(canvas.Dc(), none);
    b.OnPaint(paint);
    const RECT all = {0, 0, 60, 60};
    EXPECT_EQ(CountNear(canvas, all, RGB(255, 255, 255), 0), 60 * 60);
}

TEST(FontSet, SharedFontsAndColours) {
    FontSet& fonts = FontSet::Instance();
    EXPECT_EQ(&fonts, &FontSet::Instance());
    ASSERT_NE(fonts.RegularFont(), nullptr);
    ASSERT_NE(fonts.BoldFont(), nullptr);
    EXPECT_EQ(fonts.DisabledColour(), RGB(193, 193, 193));
    EXPECT_EQ(fonts.NormalColour(), RGB(51, 51, 51));
    LOGFONTW regular = {}, bold = {};
    ASSERT_NE(GetObjectW(fonts.RegularFont(), sizeof(regular), &regular), 0);
    ASSERT_NE(GetObjectW(fonts.BoldFont(), sizeof(bold), &bold), 0);
    EXPECT_EQ(regular.lfHeight, 12);
    EXPECT_EQ(regular.lfWeight, 400);
    EXPECT_EQ(bold.lfWeight, 700);
    EXPECT_EQ(regular.lfPitchAndFamily, 0x20);
    // The face by its UTF-16 name in both flavours, whatever the code page.
    EXPECT_EQ(std::wstring(regular.lfFaceName), std::wstring(SharedFaceName()));
    EXPECT_EQ(std::wstring(bold.lfFaceName), std::wstring(SharedFaceName()));
}
