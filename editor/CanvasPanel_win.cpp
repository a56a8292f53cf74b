#include "editor/CanvasPanel.h"

#include <string>

#include "support/Convert.h"
#include "ui/Drawing.h"
#include "ui/GdiHandles.h"

using Corvane::UI::CMouseEventArgs;
using Corvane::UI::CPaintEventArgs;
using Corvane::UI::GdiObject;

namespace {

// The toolkit's string helper takes UTF-8.
[[maybe_unused]] const std::string& Utf8(const std::string& text) { return text; }
[[maybe_unused]] std::string Utf8(const std::wstring& text) { return WideToMultiByte(text, true); }

// Remembers the device context's clip region and puts it back, also when
// there was none.
class SavedClip {
public:
    explicit SavedClip(HDC dc) : dc_(dc), saved_(CreateRectRgn(0, 0, 0, 0)) {
        hadRegion_ = saved_ && GetClipRgn(dc_, saved_.Get()) == 1;
    }
    ~SavedClip() { SelectClipRgn(dc_, hadRegion_ ? saved_.Get() : nullptr); }
    SavedClip(const SavedClip&) = delete;
    SavedClip& operator=(const SavedClip&) = delete;

private:
    HDC dc_;
    GdiObject<HRGN> saved_;
    bool hadRegion_ = false;
};

}  // namespace

CanvasPanel::CanvasPanel() {
    LoadCanvasBackground(background_);
}

CanvasPanel::~CanvasPanel() = default;

void CanvasPanel::Repaint(bool changed) {
    if (changed)
        Invalidate();
}

void CanvasPanel::Layout() {
    ControlBase::Layout();
    model_.Layout(bounds_);
}

void CanvasPanel::OnDestroy() {
    ReleaseImages();
    ControlBase::OnDestroy();
}

void CanvasPanel::ReloadBackground() {
    if (!background_.IsValid()) LoadCanvasBackground(background_);
}

void CanvasPanel::ReleaseImages() {
    background_.Destroy();
    tileCache_.Reset();
    model_.ReleaseImages();
}

void CanvasPanel::OpenPicture(const PxChar* path) {
    model_.OpenPicture(path);
    Repaint(true);
}

void CanvasPanel::ZoomIn() { Repaint(model_.ZoomIn()); }
void CanvasPanel::ZoomOut() { Repaint(model_.ZoomOut()); }
void CanvasPanel::RotateLeft() { Repaint(model_.RotateLeft()); }
void CanvasPanel::RotateRight() { Repaint(model_.RotateRight()); }
void CanvasPanel::ResetView() { Repaint(model_.ResetView()); }

void CanvasPanel::SetClipSize(int32_t width, int32_t height) {
    model_.SetClipSize(width, height);
    Repaint(true);
}

void CanvasPanel::SetStatusText(const PxString& text) {
    statusText_ = text;
    Repaint(true);
}

void CanvasPanel::SetBusy(bool busy) {
    model_.SetBusy(busy);
    Repaint(true);
}

void CanvasPanel::OnMouseDown(CMouseEventArgs& e) {
    if (model_.MouseDown(e.x, e.y)) {
        // Claimed: the toolkit sends later moves and the release here.
        e.handled = 1;
        e.handler = this;
    }
}

void CanvasPanel::OnMouseMove(CMouseEventArgs& e) {
    Repaint(model_.MouseMove(e.x, e.y));
}

void CanvasPanel::OnMouseUp(CMouseEventArgs& e) {
    Repaint(model_.MouseUp(e.x, e.y));
}

void CanvasPanel::OnMouseWheel(CMouseEventArgs& e) {
    Repaint(model_.MouseWheel(e.wheelDelta));
}

void CanvasPanel::DrawBackground(HDC dc) {
    if (!background_.IsValid())
        return;
    const int32_t w = bounds_.right - bounds_.left, h = bounds_.bottom - bounds_.top;
    // A tile with transparency blends with what lies below, so it cannot be
    // cached on a bitmap of its own.
    const bool opaque = !background_.HasAlpha() && background_.GetTransIndex() < 0 &&
                        !background_.IsAlphaPaletteEnabled();
    if (!opaque || w <= 0 || h <= 0 || !RenderTileCache(dc, w, h)) {
        background_.DrawTiled(dc, &bounds_);
        return;
    }
    Corvane::UI::MemoryDC source(dc);
    Corvane::UI::ScopedSelect select(source.Get(), tileCache_.Get());
    BitBlt(dc, bounds_.left, bounds_.top, w, h, source.Get(), 0, 0, SRCCOPY);
}

bool CanvasPanel::RenderTileCache(HDC dc, int32_t width, int32_t height) {
    if (tileCache_ && tileCacheWidth_ == width && tileCacheHeight_ == height)
        return true;
    tileCache_.Reset(CreateCompatibleBitmap(dc, width, height));
    Corvane::UI::MemoryDC target(dc);
    if (!tileCache_ || !target) {
        tileCache_.Reset();
        return false;
    }
    Corvane::UI::ScopedSelect select(target.Get(), tileCache_.Get());
    const RECT area{0, 0, width, height};
    background_.DrawTiled(target.Get(), &area);
    tileCacheWidth_ = width;
    tileCacheHeight_ = height;
    return true;
}

void CanvasPanel::OnPaint(CPaintEventArgs& e) {
    HDC dc = e.dc;
    if (!dc)
        return;
    SavedClip savedClip(dc);
    IntersectClipRect(dc, bounds_.left, bounds_.top, bounds_.right, bounds_.bottom);

    DrawBackground(dc);
    DisplayImage& display = model_.Display();
    const RECT& origin = model_.Geometry().ImageRect();
    // Drawn whole, then washed, then again inside the frame only: the
    // picture is dimmed outside the frame and at full strength inside it.
    if (display.IsValid())
        display.Draw(dc, origin.left, origin.top, -1, -1, nullptr, false);
    Corvane::UI::FillTranslucent(dc, RGB(255, 255, 255), kWashAlpha, bounds_);
    if (display.IsValid()) {
        const RECT frame = model_.Geometry().FrameRect();
        display.Draw(dc, origin.left, origin.top, -1, -1, &frame, true);
    }
    if (IsBusy())
        PaintBusy(e);
    else if (model_.HasPicture())
        Corvane::UI::FrameSolid(dc, model_.Geometry().FrameRect(), kFrameColour);
}

void CanvasPanel::PaintBusy(CPaintEventArgs& e) {
    const RECT square = Corvane::UI::CenterRect(bounds_, kBusySize, kBusySize);
    Corvane::UI::GdiGraphics& g = e.graphics;
    if (g.handle) {
        using namespace Gdiplus::DllExports;
        Gdiplus::SmoothingMode previous = Gdiplus::SmoothingModeDefault;
        GdipGetSmoothingMode(g.handle, &previous);
        GdipSetSmoothingMode(g.handle, Gdiplus::SmoothingModeAntiAlias);
        Corvane::Gdi::GdipPen pen;
        Corvane::Gdi::GdipSolidBrush brush;
        g.lastStatus = GdipCreatePen1(kBusyArgb, 1.0f, Gdiplus::UnitWorld, pen.Put());
        if (g.lastStatus == Gdiplus::Ok)
            g.lastStatus = GdipCreateSolidFill(kBusyArgb, brush.Put());
        if (g.lastStatus == Gdiplus::Ok) {
            GdipFillEllipseI(g.handle, brush.Get(), square.left, square.top, kBusySize, kBusySize);
            g.lastStatus = GdipDrawEllipseI(g.handle, pen.Get(), square.left, square.top,
                                            kBusySize, kBusySize);
        }
        GdipSetSmoothingMode(g.handle, previous);
    }
    Corvane::UI::DrawString(g, Utf8(statusText_).c_str(), square, 255, 255, 255,
                            Corvane::UI::TextAlign::Center, 15.0f);
}
