#pragma once
// GDI and GDI+ drawing helpers shared by the controls. Colours are GDI
// COLORREF values (0x00BBGGRR) unless a parameter says otherwise. None of the
// helpers leaves an object selected into the device context or changes its
// text colour, background mode or font afterwards.
#include <windows.h>

// objidl.h first: WIN32_LEAN_AND_MEAN leaves out the COM types GDI+ uses.
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>

#include "support/Flavour.h"
#include "support/GdiHandles.h"
#include "ui/Geometry.h"

namespace Corvane {
namespace UI {

// GDI+ graphics bound to a device context: the handle and the status of the
// last call made through it. Owned by whoever created it (see ScopedGraphics).
struct GdiGraphics {
    Gdiplus::GpGraphics* handle = nullptr;
    Gdiplus::GpStatus lastStatus = Gdiplus::Ok;
};

// Creates GDI+ graphics on a device context and deletes them at scope end.
// GDI+ must have been started by the caller. On failure the handle is null
// and lastStatus says why.
class ScopedGraphics {
public:
    explicit ScopedGraphics(HDC dc);
    ~ScopedGraphics();
    ScopedGraphics(const ScopedGraphics&) = delete;
    ScopedGraphics& operator=(const ScopedGraphics&) = delete;
    GdiGraphics& Get() { return graphics_; }

private:
    Gdi::GdipGraphics owner_;
    GdiGraphics graphics_;  // handle borrowed from owner_
};

// Starts GDI+ for the lifetime of the object (one start per editor).
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool IsStarted() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

// Draws text in a rectangle with DrawText and the given format flags, in the
// font and colour given, transparent background; restores the DC afterwards.
void DrawTextIn(HDC dc, const RECT& rect, const PxString& text, COLORREF colour, HFONT font,
                UINT format);

// Fills the rectangle with a solid colour.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour);

// Draws a 1-pixel frame just inside the rectangle.
void FrameSolid(HDC dc, const RECT& rect, COLORREF colour);

// Blends a solid colour over the rectangle with constant alpha 0..255
// (source over, no per-pixel alpha). False when nothing could be drawn.
bool FillTranslucent(HDC dc, COLORREF colour, uint8_t alpha, const RECT& rect);

// Horizontal placement of DrawString's text.
enum class TextAlign { Near = 0, Center = 1, Far = 2 };

// Draws 8-bit (UTF-8) text with GDI+ in the shared face, regular style, size
// in pixels, opaque colour, centred vertically in the rectangle and trimmed
// with an ellipsis. When the face is not installed a generic sans-serif face
// is used so the text still appears. Any GDI+ failure is recorded in
// graphics.lastStatus.
void DrawString(GdiGraphics& graphics, const char* text, const RECT& rect, uint8_t red,
                uint8_t green, uint8_t blue, TextAlign align, float sizePx);

// The shared face of the editor's text ("新宋体"), as UTF-16.
const wchar_t* SharedFaceName();

}  // namespace UI
}  // namespace Corvane
