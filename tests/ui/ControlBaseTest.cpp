#include "ui/ControlBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Corvane::UI;

namespace {

// A root whose parent rectangle is given by the test.
class TestRoot : public ControlBase {
public:
    explicit TestRoot(RECT area) : area_(area) { SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight); }
    RECT GetParentRect() override { return area_; }

private:
    RECT area_;
};

// A child that records the events it receives and can take presses.
class Probe : public ControlBase {
public:
    Probe(std::vector<std::string>* log, const char* name, bool takesPress)
        : log_(log), name_(name), takesPress_(takesPress) {}
    void OnMouseDown(CMouseEventArgs& e) override {
        log_->push_back(name_ + ":down");
        if (takesPress_ && HitTest(e.x, e.y)) {
            e.handled = 1;
            e.handler = this;
        }
    }
    void OnMouseUp(CMouseEventArgs&) override { log_->push_back(name_ + ":up"); }
    void OnMouseMove(CMouseEventArgs&) override { log_->push_back(name_ + ":move"); }
    void OnMouseWheel(CMouseEventArgs& e) override {
        log_->push_back(name_ + ":wheel" + std::to_string(e.wheelDelta));
    }

private:
    std::vector<std::string>* log_;
    std::string name_;
    bool takesPress_;
};

void ExpectBounds(const ControlBase& c, LONG l, LONG t, LONG r, LONG b) {
    EXPECT_EQ(c.GetBounds().left, l);
    EXPECT_EQ(c.GetBounds().top, t);
    EXPECT_EQ(c.GetBounds().right, r);
    EXPECT_EQ(c.GetBounds().bottom, b);
}

}  // namespace

TEST(ControlBaseDefaults, FieldsStartAsDocumented) {
    ControlBase c;
    EXPECT_EQ(c.IsVisible(), 1);
    EXPECT_EQ(c.IsDisabled(), 0);
    EXPECT_EQ(c.GetAnchors(), static_cast<uint32_t>(AnchorTop | AnchorLeft));
    EXPECT_EQ(c.GetState(), 0u);
    EXPECT_EQ(c.GetParent(), nullptr);
    EXPECT_EQ(c.GetHwnd(), nullptr);
    EXPECT_EQ(c.GetWidth(), 0);
    // No parent and no window: an all-zero parent rectangle.
    RECT p = c.GetParentRect();
    EXPECT_EQ(p.left | p.top | p.right | p.bottom, 0);
}

TEST(ControlBaseLayout, NoAnchorsCentresBothAxes) {
    TestRoot root(RECT{0, 0, 300, 100});
    ControlBase child;
    child.SetAnchors(0);
    child.SetPreferredSize(100, 20);
    child.SetParent(&root);
    root.Layout();
    ExpectBounds(child, 100, 40, 200, 60);
}

TEST(ControlBaseLayout, CentringTruncatesTowardZero) {
    TestRoot root(RECT{0, 0, 301, 101});
    ControlBase child;
    child.SetAnchors(AnchorCenterHorizontal | AnchorCenterVertical);  // same as none
    child.SetPreferredSize(100, 20);
    child.SetParent(&root);
    root.Layout();
    ExpectBounds(child, 100, 40, 200, 60);  // 201 / 2 = 100, 81 / 2 = 40
    // Wider than the parent: a negative half truncates toward zero too.
    child.SetPreferredSize(305, 20);
    root.Layout();
    EXPECT_EQ(child.GetBounds().left, -2);  // -4 / 2
}

TEST(ControlBaseLayout, CentringInsideAnOffsetParent) {
    TestRoot root(RECT{0, 0, 500, 300});
    ControlBase panel;
    panel.SetAnchors(AnchorTop | AnchorLeft);
    panel.SetMargins(100, 50, 0, 0);
    panel.SetPreferredSize(300, 100);
    panel.SetParent(&root);
    ControlBase child;
    child.SetAnchors(0);
    child.SetPreferredSize(100, 20);
    child.SetParent(&panel);
    root.Layout();
    ExpectBounds(panel, 100, 50, 400, 150);
    ExpectBounds(child, 200, 90, 300, 110);  // centred in the panel itself
}

TEST(ControlBaseLayout, BothHorizontalAnchorsStretch) {
    TestRoot root(RECT{0, 0, 300, 100});
    ControlBase child;
    child.SetAnchors(AnchorLeft | AnchorRight | AnchorTop);
    child.SetMargins(10, 0, 10, 0);
    child.SetPreferredSize(5, 7);
    child.SetParent(&root);
    root.Layout();
    EXPECT_EQ(child.GetBounds().left, 10);
    EXPECT_EQ(child.GetBounds().right, 290);
    child.SetPreferredSize(1000, 7);
    root.Layout();
    EXPECT_EQ(child.GetBounds().right, 290);
}

TEST(ControlBaseLayout, RightBottomAnchorsKeepMargins) {
    TestRoot root(RECT{0, 0, 200, 100});
    ControlBase child;
    child.SetAnchors(AnchorRight | AnchorBottom);
    child.SetMargins(5, 5, 5, 5);
    child.SetPreferredSize(40, 30);
    child.SetParent(&root);
    root.Layout();
    ExpectBounds(child, 155, 65, 195, 95);
}

TEST(ControlBaseLayout, OnSizeLaysOutChildrenAgainstTheWindow) {
    // A real window: the root's parent rectangle is its client area.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    RECT client;
    GetClientRect(window, &client);
    ControlBase root;
    root.SetHwnd(window);
    root.SetAnchors(AnchorTop | AnchorBottom | AnchorLeft | AnchorRight);
    ControlBase child;
    child.SetAnchors(AnchorTop | AnchorRight);
    child.SetMargins(0, 2, 2, 0);
    child.SetPreferredSize(47, 50);
    child.SetParent(&root);
    EXPECT_EQ(child.GetHwnd(), window);
    root.Layout();
    ExpectBounds(root, client.left, client.top, client.right, client.bottom);
    ExpectBounds(child, client.right - 2 - 47, 2, client.right - 2, 52);
    child.Invalidate();  // with a real window: must not fail
    DestroyWindow(window);
}

TEST(ControlBaseTree, SetParentAppendsInOrderAndMovesBetweenParents) {
    TestRoot a(RECT{0, 0, 10, 10}), b(RECT{0, 0, 10, 10});
    ControlBase one, two;
    one.SetParent(&a);
    two.SetParent(&a);
    ASSERT_EQ(a.GetChildren().size(), 2u);
    EXPECT_EQ(a.GetChildren()[0], &one);
    EXPECT_EQ(a.GetChildren()[1], &two);
    one.SetParent(&b);  // moved, not listed twice
    EXPECT_EQ(a.GetChildren().size(), 1u);
    EXPECT_EQ(b.GetChildren().size(), 1u);
    EXPECT_EQ(one.GetParent(), &b);
}

TEST(ControlBaseTree, DestructionInEitherOrderLeavesNoDanglingLinks) {
    TestRoot root(RECT{0, 0, 10, 10});
    {
        ControlBase child;
        child.SetParent(&root);
    }
    EXPECT_TRUE(root.GetChildren().empty());
    ControlBase orphan;
    {
        TestRoot parent(RECT{0, 0, 10, 10});
        orphan.SetParent(&parent);
    }
    EXPECT_EQ(orphan.GetParent(), nullptr);
    RECT p = orphan.GetParentRect();  // would read the dead parent otherwise
    EXPECT_EQ(p.right, 0);
}

TEST(ControlBaseMouse, PressOutsideEveryChildGoesToAllAndCapturesNothing) {
    std::vector<std::string> log;
    TestRoot root(RECT{0, 0, 300, 100});
    Probe a(&log, "a", true), b(&log, "b", true);
    a.SetPreferredSize(10, 10);
    b.SetMargins(20, 0, 0, 0);
    b.SetPreferredSize(10, 10);
    a.SetParent(&root);
    b.SetParent(&root);
    root.Layout();
    CMouseEventArgs down(1, 200, 50);
    root.OnMouseDown(down);
    EXPECT_EQ(root.GetCaptured(), nullptr);
    CMouseEventArgs up(1, 200, 50);
    root.OnMouseUp(up);
    EXPECT_EQ(log, (std::vector<std::string>{"a:down", "b:down", "a:up", "b:up"}));
}

TEST(ControlBaseMouse, CapturedChildGetsMovesAndReleaseAlone) {
    std::vector<std::string> log;
    TestRoot root(RECT{0, 0, 300, 100});
    Probe a(&log, "a", true), b(&log, "b", true), c(&log, "c", true);
    a.SetPreferredSize(10, 10);
    b.SetMargins(20, 0, 0, 0);
    b.SetPreferredSize(10, 10);
    c.SetMargins(20, 0, 0, 0);  // overlaps b: only the first taker gets it
    c.SetPreferredSize(10, 10);
    a.SetParent(&root);
    b.SetParent(&root);
    c.SetParent(&root);
    root.Layout();
    CMouseEventArgs down(1, 25, 5);
    root.OnMouseDown(down);
    EXPECT_EQ(down.handler, &b);
    EXPECT_EQ(down.handled, 1);
    EXPECT_EQ(root.GetCaptured(), &b);
    CMouseEventArgs move1(1, 250, 90), move2(1, 5, 5);
    root.OnMouseMove(move1);
    root.OnMouseMove(move2);
    EXPECT_EQ(root.GetCaptured(), &b);
    CMouseEventArgs up(1, 250, 90);
    root.OnMouseUp(up);
    EXPECT_EQ(root.GetCaptured(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a:down", "b:down", "b:move", "b:move", "b:up"}));
    // Released: moves reach every child again.
    log.clear();
    CMouseEventArgs move3(1, 0, 0);
    root.OnMouseMove(move3);
    EXPECT_EQ(log, (std::vector<std::string>{"a:move", "b:move", "c:move"}));
}

TEST(ControlBaseMouse, WheelGoesToEveryChildEvenDuringCapture) {
    std::vector<std::string> log;
    TestRoot root(RECT{0, 0, 300, 100});
    Probe a(&log, "a", true), b(&log, "b", false);
    a.SetPreferredSize(10, 10);
    a.SetParent(&root);
    b.SetParent(&root);
    root.Layout();
    CMouseEventArgs down(1, 1, 1);
    root.OnMouseDown(down);
    CMouseEventArgs wheel(1, 1, 1, -120);
    root.OnMouseWheel(wheel);
    EXPECT_EQ(log, (std::vector<std::string>{"a:down", "a:wheel-120", "b:wheel-120"}));
}

TEST(ControlBaseMouse, LeaveClearsHoverOnTheWholeTree) {
    class Hovered : public ControlBase {
    public:
        void SetHover() { state_ |= StateHover; }
    };
    TestRoot root(RECT{0, 0, 10, 10});
    Hovered child;
    child.SetParent(&root);
    child.SetHover();
    root.OnMouseLeave();
    EXPECT_EQ(child.GetState(), 0u);
}
