#include "editor/CanvasModel.h"

#include <algorithm>

namespace {

// Reserving beyond this for later zoom steps is not worth the address space
// of a 32-bit browser process; larger displays allocate per step.
constexpr uint64_t kMaxReserve = uint64_t{96} << 20;

}  // namespace

void CanvasModel::Layout(const RECT& bounds) {
    geometry_.Layout(bounds);
}

void CanvasModel::OpenImage(PxImage& image) {
    auto picture = std::make_unique<PxImage>();
    picture->MoveFrom(image, true);
    picture_ = std::move(picture);
    const CanvasSize size = picture_->IsValid()
        ? CanvasSize{static_cast<int32_t>(picture_->GetWidth()),
                     static_cast<int32_t>(picture_->GetHeight())}
        : CanvasSize{0, 0};
    geometry_.Open(size);
    // A picture that cannot be shown (undecodable, or a 0 x 0 fit) leaves
    // the display empty rather than showing the previous picture.
    if (!display_.Rebuild(*picture_, geometry_.BaseSize(), ReserveHint()))
        display_.Release();
}

size_t CanvasModel::ReserveHint() const {
    const CanvasSize base = geometry_.BaseSize();
    const CanvasSize frame = geometry_.FrameSize();
    const uint64_t w = std::max<uint64_t>(static_cast<uint64_t>(base.width) * 4,
                                          static_cast<uint64_t>(std::max(frame.width, 0)));
    const uint64_t h = std::max<uint64_t>(static_cast<uint64_t>(base.height) * 4,
                                          static_cast<uint64_t>(std::max(frame.height, 0)));
    const uint64_t bytes = sizeof(BITMAPINFOHEADER) + (w * 3 + 3) / 4 * 4 * h;
    return bytes <= kMaxReserve ? static_cast<size_t>(bytes) : 0;
}

void CanvasModel::RebuildDisplay(CanvasSize size) {
    // On failure (an undecodable picture, no memory) the display stays as it was.
    display_.Rebuild(*picture_, size, ReserveHint());
}

bool CanvasModel::ZoomIn() {
    if (!picture_)
        return false;
    RebuildDisplay(geometry_.ZoomIn());
    return true;
}

bool CanvasModel::ZoomOut() {
    if (!picture_)
        return false;
    RebuildDisplay(geometry_.ZoomOut());
    geometry_.Clamp(display_.Size());
    return true;
}

bool CanvasModel::RotateLeft() {
    if (!picture_)
        return false;
    display_.RotateLeft();
    geometry_.Clamp(display_.Size());
    return true;
}

bool CanvasModel::RotateRight() {
    if (!picture_)
        return false;
    display_.RotateRight();
    geometry_.Clamp(display_.Size());
    return true;
}

bool CanvasModel::ResetView() {
    if (!picture_)
        return false;
    geometry_.Reset();
    RebuildDisplay(geometry_.BaseSize());
    return true;
}

bool CanvasModel::MouseDown(int32_t x, int32_t y) {
    if (IsBusy() || !picture_)
        return false;
    return geometry_.BeginDrag(x, y);
}

bool CanvasModel::MouseMove(int32_t x, int32_t y) {
    if (!picture_)
        return false;
    return geometry_.DragTo(x, y, display_.Size());
}

bool CanvasModel::MouseUp(int32_t x, int32_t y) {
    if (!picture_)
        return false;
    return geometry_.EndDrag(x, y, display_.Size());
}

bool CanvasModel::MouseWheel(int32_t delta) {
    if (IsBusy())
        return false;
    return delta < 0 ? ZoomOut() : ZoomIn();
}

bool CanvasModel::ExportClip(PxImage& target) {
    if (!picture_)
        return false;
    target.Destroy();
    display_.CropInto(geometry_.ClipRectInDisplay(), target);
    return true;
}

void CanvasModel::ReleaseImages() {
    picture_.reset();
    display_.Release();
}
