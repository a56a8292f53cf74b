// The editor's window side: the messages the host routes here, painting
// through a memory bitmap, and the editor background.
#include <windowsx.h>

#include "editor/Editor.h"
#include "ui/GdiHandles.h"
#include "ui/ImageLister.h"

using namespace Corvane::UI;

namespace {

constexpr COLORREF kOutline = RGB(154, 187, 229);
constexpr COLORREF kBottomBar = RGB(236, 240, 249);
constexpr int32_t kToolbarHeight = 60;
constexpr int32_t kBottomBarHeight = 40;

void DrawEditorBackground(HDC dc, const RECT& r) {
    FillSolid(dc, r, RGB(255, 255, 255));
    FrameSolid(dc, r, kOutline);
    RECT band = r;
    band.bottom = r.top + kToolbarHeight;
    FrameSolid(dc, band, kOutline);
    band.left += 2;
    band.right -= 2;
    band.top += 1;
    band.bottom -= 1;
    ImageLister::Instance().DrawImage(dc, "top-bk", band);
    RECT bar = r;
    bar.top = r.bottom - kBottomBarHeight;
    FillSolid(dc, bar, kBottomBar);
    FrameSolid(dc, bar, kOutline);
}

}  // namespace

bool Editor::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    HWND window = GetWindow();
    result = 0;
    if (window == nullptr) return false;
    switch (msg) {
    case WM_SIZE:
        OnWindowSize();
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client{0, 0, 0, 0};
        GetClientRect(window, &client);
        if (dc != nullptr) PaintTo(dc, client);
        EndPaint(window, &ps);
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;  // the paint covers everything
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        OnMouseButton(msg, lp);
        return true;
    case WM_MOUSEWHEEL: {
        // The position stays in screen coordinates, as sent; nothing uses it.
        CMouseEventArgs e(1, GET_X_LPARAM(lp), GET_Y_LPARAM(lp),
                          static_cast<int16_t>(HIWORD(wp)));
        OnMouseWheel(e);
        return true;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != window) EndLostCapture();
        return true;
    case kProgressMessage:
        OnProgress();
        return true;
    case kFinishMessage:
        FinishUpload();  // may destroy the editor: nothing after it
        return true;
    case kOpenDialogMessage:
        ShowOpenDialog(PxString());  // likewise
        return true;
    case WM_COMMAND:
        return true;
    default:
        return false;
    }
}

void Editor::OnWindowSize() {
    HWND window = GetWindow();
    RECT client{0, 0, 0, 0};
    if (window == nullptr || !GetClientRect(window, &client)) return;
    bounds_ = client;
    OnSize();
    InvalidateRect(window, nullptr, FALSE);
}

void Editor::OnMouseButton(UINT msg, LPARAM lp) {
    CMouseEventArgs e(1, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    if (msg == WM_LBUTTONDOWN) {
        SetCapture(GetWindow());
        OnMouseDown(e);
    } else if (msg == WM_LBUTTONUP) {
        releasingCapture_ = true;
        ReleaseCapture();
        releasingCapture_ = false;
        OnMouseUp(e);
    } else {
        OnMouseMove(e);
    }
}

void Editor::EndLostCapture() {
    // Another window took the mouse (alt-tab, a dialog) during a press: the
    // release will never come. End the press at a point outside every
    // control, which ends a drag where it stands and clicks no button.
    if (releasingCapture_ || GetCaptured() == nullptr) return;
    CMouseEventArgs e(1, bounds_.left - 1, bounds_.top - 1);
    OnMouseUp(e);
}

void Editor::PaintTo(HDC dc, const RECT& bounds) {
    const int32_t w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    if (dc == nullptr || w <= 0 || h <= 0) return;
    MemoryDC memory(dc);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(dc, w, h));
    if (!memory || !bitmap) return;
    {
        ScopedSelect select(memory.Get(), bitmap.Get());
        {
            ScopedGraphics graphics(memory.Get());
            CPaintEventArgs args(memory.Get(), graphics.Get());
            OnPaint(args);
        }
        BitBlt(dc, bounds.left, bounds.top, w, h, memory.Get(), 0, 0, SRCCOPY);
    }
}

void Editor::OnPaint(CPaintEventArgs& e) {
    DrawEditorBackground(e.dc, bounds_);
    ControlBase::OnPaint(e);
}
