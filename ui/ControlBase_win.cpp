#include "ui/ControlBase.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace Corvane {
namespace UI {

namespace {

int32_t Clamp32(int64_t value) {
    const int64_t lo = std::numeric_limits<int32_t>::min();
    const int64_t hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::min(hi, std::max(lo, value)));
}

// One axis of the layout. near/far: whether the low/high edge is anchored.
void LayoutAxis(bool nearAnchored, bool farAnchored, int32_t parentLow, int32_t parentHigh,
                int32_t marginLow, int32_t marginHigh, int32_t size, LONG& low, LONG& high) {
    int64_t a, b;
    if (nearAnchored && farAnchored) {
        a = static_cast<int64_t>(parentLow) + marginLow;
        b = static_cast<int64_t>(parentHigh) - marginHigh;
    } else if (nearAnchored) {
        a = static_cast<int64_t>(parentLow) + marginLow;
        b = a + size;
    } else if (farAnchored) {
        b = static_cast<int64_t>(parentHigh) - marginHigh;
        a = b - size;
    } else {
        // Centred in the parent (division truncating toward zero). The offset
        // is taken from the parent's low edge so that a parent that does not
        // start at the window origin still centres its child.
        a = static_cast<int64_t>(parentLow) +
            (static_cast<int64_t>(parentHigh) - size - parentLow) / 2;
        b = a + size;
    }
    low = Clamp32(a);
    high = Clamp32(b);
}

}  // namespace

ControlBase::ControlBase()
    : visible_(1), disabled_(0), anchors_(AnchorTop | AnchorLeft), state_(0), parent_(nullptr),
      captured_(nullptr), window_(nullptr), marginLeft_(0), marginTop_(0), marginRight_(0),
      marginBottom_(0), bounds_{0, 0, 0, 0}, width_(0), height_(0) {}

ControlBase::~ControlBase() {
    // Either side may be destroyed first: unlink both ways so that neither
    // keeps a pointer to the dead one.
    if (parent_ != nullptr) parent_->RemoveChild(this);
    for (ControlBase* child : children_) child->parent_ = nullptr;
}

HWND ControlBase::GetHwnd() { return window_; }

void ControlBase::SetVisible(int32_t visible) {
    visible_ = visible;
    Invalidate();
}

void ControlBase::SetDisabled(int32_t disabled) {
    disabled_ = disabled;
    Invalidate();
}

RECT ControlBase::GetParentRect() {
    if (parent_ != nullptr) return parent_->GetBounds();
    RECT client = {0, 0, 0, 0};
    if (window_ == nullptr || !GetClientRect(window_, &client)) client = RECT{0, 0, 0, 0};
    return client;
}

void ControlBase::SetParent(ControlBase* parent) {
    if (parent == this) return;
    if (parent_ != nullptr) parent_->RemoveChild(this);
    parent_ = parent;
    if (parent == nullptr) return;
    window_ = parent->GetHwnd();
    parent->children_.push_back(this);
}

void ControlBase::RemoveChild(ControlBase* child) {
    children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
    if (captured_ == child) captured_ = nullptr;
}

void ControlBase::SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    marginLeft_ = left;
    marginTop_ = top;
    marginRight_ = right;
    marginBottom_ = bottom;
}

void ControlBase::SetPreferredSize(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
}

bool ControlBase::HitTest(int32_t x, int32_t y) const {
    return x >= bounds_.left && x < bounds_.right && y >= bounds_.top && y < bounds_.bottom;
}

void ControlBase::OnPaint(CPaintEventArgs& e) {
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->OnPaint(e);
}

void ControlBase::OnMouseDown(CMouseEventArgs& e) {
    for (std::size_t i = 0; i < children_.size() && e.handler == nullptr; ++i)
        children_[i]->OnMouseDown(e);
    captured_ = e.handler;
}

void ControlBase::OnMouseUp(CMouseEventArgs& e) {
    if (captured_ != nullptr) {
        // Cleared first: the release may run a click handler that re-enters.
        ControlBase* target = captured_;
        captured_ = nullptr;
        target->OnMouseUp(e);
        return;
    }
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->OnMouseUp(e);
}

void ControlBase::OnMouseMove(CMouseEventArgs& e) {
    if (captured_ != nullptr) {
        captured_->OnMouseMove(e);
        return;
    }
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->OnMouseMove(e);
}

void ControlBase::OnMouseWheel(CMouseEventArgs& e) {
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->OnMouseWheel(e);
}

void ControlBase::OnMouseLeave() {
    if (state_ & StateHover) {
        state_ &= ~static_cast<uint32_t>(StateHover);
        Invalidate();
    }
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->OnMouseLeave();
}

void ControlBase::OnSize() {
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->Layout();
}

void ControlBase::Layout() {
    const RECT p = GetParentRect();
    LayoutAxis((anchors_ & AnchorLeft) != 0, (anchors_ & AnchorRight) != 0, p.left, p.right,
               marginLeft_, marginRight_, width_, bounds_.left, bounds_.right);
    LayoutAxis((anchors_ & AnchorTop) != 0, (anchors_ & AnchorBottom) != 0, p.top, p.bottom,
               marginTop_, marginBottom_, height_, bounds_.top, bounds_.bottom);
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->Layout();
}

void ControlBase::OnDestroy() {
    for (std::size_t i = 0; i < children_.size(); ++i) children_[i]->OnDestroy();
}

void ControlBase::Invalidate() {
    if (window_ != nullptr) InvalidateRect(window_, &bounds_, FALSE);
}

}  // namespace UI
}  // namespace Corvane
