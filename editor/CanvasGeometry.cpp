#include "editor/CanvasGeometry.h"

#include "ui/Geometry.h"

#include <algorithm>
#include <limits>

namespace {

int32_t Saturate(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Zoomed size: the product is formed in double and truncated toward zero.
int32_t Scaled(float zoom, int32_t size) {
    return Saturate(static_cast<int64_t>(static_cast<double>(zoom) * size));
}

// The toolkit's helpers, on this class's size type.
RECT CenterIn(const RECT& outer, CanvasSize size) {
    return Corvane::UI::CenterRect(outer, size.width, size.height);
}

CanvasSize FitTo(CanvasSize size, CanvasSize box) {
    const Corvane::UI::FitResult fit =
        Corvane::UI::FitSize(size.width, size.height, box.width, box.height);
    return CanvasSize{fit.width, fit.height};
}

}  // namespace

CanvasGeometry::CanvasGeometry()
    : bounds_{0, 0, 0, 0}, frameRect_{0, 0, 0, 0}, imageRect_{0, 0, 0, 0},
      anchorRect_{0, 0, 0, 0}, clipSize_{104, 104}, displaySize_{0, 0}, baseSize_{0, 0},
      dragStartX_(0), dragStartY_(0), dragging_(false), laidOut_(false), zoom_(1.0f) {}

void CanvasGeometry::Layout(const RECT& bounds) {
    bounds_ = bounds;
    imageRect_ = bounds;
    anchorRect_ = bounds;
    frameRect_ = CenterIn(bounds_, clipSize_);
    laidOut_ = true;
}

void CanvasGeometry::SetClipSize(int32_t width, int32_t height) {
    clipSize_ = CanvasSize{std::max(width, 0), std::max(height, 0)};
    if (laidOut_)
        frameRect_ = CenterIn(bounds_, clipSize_);
}

void CanvasGeometry::Open(CanvasSize picture) {
    zoom_ = 1.0f;
    dragging_ = false;
    const CanvasSize box{bounds_.right - bounds_.left, bounds_.bottom - bounds_.top};
    baseSize_ = FitTo(picture, box);
    displaySize_ = baseSize_;
    imageRect_ = CenterIn(bounds_, baseSize_);
    anchorRect_ = imageRect_;
}

void CanvasGeometry::Reset() {
    zoom_ = 1.0f;
    dragging_ = false;
    displaySize_ = baseSize_;
    imageRect_ = CenterIn(bounds_, baseSize_);
    anchorRect_ = imageRect_;
}

CanvasSize CanvasGeometry::ZoomedSize() const {
    return CanvasSize{Scaled(zoom_, baseSize_.width), Scaled(zoom_, baseSize_.height)};
}

CanvasSize CanvasGeometry::ZoomIn() {
    // The sum is formed in double and stored as a float, so the sequence of
    // zoom values is the same on every compiler and FPU mode.
    zoom_ = static_cast<float>(static_cast<double>(zoom_) + static_cast<double>(kZoomStep));
    if (zoom_ > kZoomMax)
        zoom_ = kZoomMax;
    displaySize_ = ZoomedSize();
    return displaySize_;
}

CanvasSize CanvasGeometry::ZoomOut() {
    zoom_ = static_cast<float>(static_cast<double>(zoom_) - static_cast<double>(kZoomStep));
    if (zoom_ < kZoomMin)
        zoom_ = kZoomMin;
    const CanvasSize frame = FrameSize();
    displaySize_ = ZoomedSize();
    displaySize_.width = std::max(displaySize_.width, frame.width);
    displaySize_.height = std::max(displaySize_.height, frame.height);
    return displaySize_;
}

CanvasSize CanvasGeometry::FrameSize() const {
    return CanvasSize{frameRect_.right - frameRect_.left, frameRect_.bottom - frameRect_.top};
}

void CanvasGeometry::Clamp(CanvasSize display) {
    int32_t left = std::min(imageRect_.left, frameRect_.left);
    left = std::max(left, Saturate(static_cast<int64_t>(frameRect_.right) - display.width));
    int32_t top = std::min(imageRect_.top, frameRect_.top);
    top = std::max(top, Saturate(static_cast<int64_t>(frameRect_.bottom) - display.height));
    imageRect_.left = left;
    imageRect_.top = top;
}

bool CanvasGeometry::Contains(const RECT& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

RECT CanvasGeometry::Offset(const RECT& r, int32_t dx, int32_t dy) {
    return RECT{Saturate(static_cast<int64_t>(r.left) + dx), Saturate(static_cast<int64_t>(r.top) + dy),
                Saturate(static_cast<int64_t>(r.right) + dx),
                Saturate(static_cast<int64_t>(r.bottom) + dy)};
}

bool CanvasGeometry::BeginDrag(int32_t x, int32_t y) {
    dragging_ = Contains(bounds_, x, y);
    if (dragging_) {
        dragStartX_ = x;
        dragStartY_ = y;
    }
    return dragging_;
}

bool CanvasGeometry::DragTo(int32_t x, int32_t y, CanvasSize display) {
    if (!dragging_)
        return false;
    imageRect_ = Offset(anchorRect_, Saturate(static_cast<int64_t>(x) - dragStartX_),
                        Saturate(static_cast<int64_t>(y) - dragStartY_));
    Clamp(display);
    return true;
}

bool CanvasGeometry::EndDrag(int32_t x, int32_t y, CanvasSize display) {
    if (!dragging_)
        return false;
    if (Contains(bounds_, x, y))
        DragTo(x, y, display);
    anchorRect_ = imageRect_;
    dragging_ = false;
    return true;
}

RECT CanvasGeometry::ClipRectInDisplay() const {
    const int64_t ox = imageRect_.left;
    const int64_t oy = imageRect_.top;
    return RECT{Saturate(frameRect_.left - ox), Saturate(frameRect_.top - oy),
                Saturate(frameRect_.right - ox), Saturate(frameRect_.bottom - oy)};
}
