#pragma once
// A canvas laid out in an 800 x 600 editor (margins 1, 60, 1, 40: bounds
// (1, 60, 799, 560)) painting into a 32-bit top-down memory bitmap.
#include <windows.h>

#include <cstdint>

#include "editor/CanvasPanel.h"
#include "ui/Drawing.h"
#include "ui/GdiHandles.h"

namespace canvas_test {

// A root control standing in for the editor: its parent rectangle is the
// client area of a window of the given size.
class Root : public Corvane::UI::ControlBase {
public:
    Root(int32_t w, int32_t h) : w_(w), h_(h) {
        SetAnchors(Corvane::UI::AnchorTop | Corvane::UI::AnchorBottom | Corvane::UI::AnchorLeft |
                   Corvane::UI::AnchorRight);
    }
    RECT GetParentRect() override { return RECT{0, 0, w_, h_}; }

private:
    int32_t w_, h_;
};

class Surface {
public:
    Surface(int32_t w, int32_t h) : w_(w), h_(h), dc_(nullptr) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;  // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_.Get());
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC Dc() const { return dc_; }
    bool Valid() const { return dc_ && bits_; }
    // 0x00RRGGBB
    uint32_t At(int32_t x, int32_t y) const { return bits_[static_cast<size_t>(y) * w_ + x] & 0xFFFFFF; }
    void Fill(uint32_t rgb) {
        GdiFlush();
        for (size_t i = 0; i < static_cast<size_t>(w_) * h_; ++i)
            bits_[i] = rgb;
    }

private:
    int32_t w_, h_;
    Corvane::UI::GdiObject<HBITMAP> bitmap_;
    uint32_t* bits_ = nullptr;
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// One paint of the canvas into the surface, as the editor window does it.
inline void Paint(CanvasPanel& canvas, Surface& surface) {
    Corvane::UI::ScopedGraphics graphics(surface.Dc());
    Corvane::UI::CPaintEventArgs args(surface.Dc(), graphics.Get());
    canvas.OnPaint(args);
    GdiFlush();
}

// Builds a canvas under root with the editor's anchors and margins.
inline void Attach(CanvasPanel& canvas, Root& root) {
    canvas.SetAnchors(Corvane::UI::AnchorTop | Corvane::UI::AnchorBottom |
                      Corvane::UI::AnchorLeft | Corvane::UI::AnchorRight);
    canvas.SetMargins(1, 60, 1, 40);
    canvas.SetParent(&root);
    root.Layout();
}

}  // namespace canvas_test
