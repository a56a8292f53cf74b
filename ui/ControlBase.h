#pragma once
// ControlBase: the base of every drawn element of the editor (the editor
// itself as root, the canvas, the toolbar buttons). A control has bounds in
// the window's client area computed from anchors and margins relative to its
// parent, forwards paint and mouse events to its children and remembers which
// child took the last mouse press.
//
// Ownership: a control does not own its children or its parent; whoever
// creates a control deletes it, after its parent stops routing to it.
// Threads: the window's thread only.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/EventArgs.h"

namespace Corvane {
namespace UI {

enum Anchor : uint32_t {
    AnchorTop = 0x01,
    AnchorBottom = 0x02,
    AnchorLeft = 0x04,
    AnchorRight = 0x08,
    // Name the centred case (neither edge of an axis anchored); no effect of
    // their own.
    AnchorCenterVertical = 0x20,
    AnchorCenterHorizontal = 0x40,
};

enum ControlState : uint32_t {
    StateHover = 0x01,
    StatePressed = 0x04,
};

class ControlBase {
public:
    ControlBase();
    // Frees the children list only.
    virtual ~ControlBase();
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    virtual HWND GetHwnd();
    // Store the flag and invalidate the bounds.
    virtual void SetVisible(int32_t visible);
    virtual void SetDisabled(int32_t disabled);
    // The parent's bounds; for the root the window's client rectangle (all
    // zero without a window).
    virtual RECT GetParentRect();
    // Takes the parent's window, stores the parent and appends this control
    // to its children. A control already attached elsewhere is moved, and a
    // null parent detaches it.
    virtual void SetParent(ControlBase* parent);
    virtual void OnPaint(CPaintEventArgs& e);
    virtual void OnMouseDown(CMouseEventArgs& e);
    virtual void OnMouseUp(CMouseEventArgs& e);
    virtual void OnMouseMove(CMouseEventArgs& e);
    virtual void OnMouseWheel(CMouseEventArgs& e);
    virtual void OnMouseLeave();
    // Lays out every child.
    virtual void OnSize();
    // Computes the bounds from anchors and margins, then lays out children.
    virtual void Layout();
    virtual void OnDestroy();

    // Asks the window to repaint the bounds without erasing the background.
    void Invalidate();

    // Sets the window of a root control (children take it in SetParent).
    void SetHwnd(HWND window) { window_ = window; }
    int32_t IsVisible() const { return visible_; }
    int32_t IsDisabled() const { return disabled_; }
    uint32_t GetAnchors() const { return anchors_; }
    void SetAnchors(uint32_t anchors) { anchors_ = anchors; }
    uint32_t GetState() const { return state_; }
    ControlBase* GetParent() const { return parent_; }
    ControlBase* GetCaptured() const { return captured_; }
    void SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom);
    const RECT& GetBounds() const { return bounds_; }
    int32_t GetWidth() const { return width_; }
    int32_t GetHeight() const { return height_; }
    void SetPreferredSize(int32_t width, int32_t height);
    const std::vector<ControlBase*>& GetChildren() const { return children_; }
    // Unlinks a child (used when a child is destroyed before its parent).
    void RemoveChild(ControlBase* child);
    // True when the point lies inside the bounds (right and bottom excluded).
    bool HitTest(int32_t x, int32_t y) const;

protected:
    int32_t visible_;
    int32_t disabled_;
    uint32_t anchors_;
    uint32_t state_;
    ControlBase* parent_;
    ControlBase* captured_;
    HWND window_;
    int32_t marginLeft_;
    int32_t marginTop_;
    int32_t marginRight_;
    int32_t marginBottom_;
    RECT bounds_;
    int32_t width_;
    int32_t height_;
    std::vector<ControlBase*> children_;
};

}  // namespace UI
}  // namespace Corvane
