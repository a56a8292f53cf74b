#include "ui/Drawing.h"

#include <string>

#include "support/Convert.h"
#include "ui/GdiHandles.h"

namespace Corvane {
namespace UI {

namespace Gp = Gdiplus::DllExports;

namespace {

[[maybe_unused]] int DrawTextPx(HDC dc, const char* text, RECT* rect, UINT format) {
    return DrawTextA(dc, text, -1, rect, format);
}
[[maybe_unused]] int DrawTextPx(HDC dc, const wchar_t* text, RECT* rect, UINT format) {
    return DrawTextW(dc, text, -1, rect, format);
}

using FamilyPtr = Gdi::GdipFontFamily;

// The first family of the installed fonts, for systems that have neither the
// shared face nor any of GDI+'s generic sans-serif faces (Wine without the
// Microsoft core fonts is one).
Gdiplus::GpStatus FirstInstalledFamily(FamilyPtr& family) {
    Gdiplus::GpFontCollection* rawCollection = nullptr;
    Gdiplus::GpStatus status = Gp::GdipNewInstalledFontCollection(&rawCollection);
    if (status != Gdiplus::Ok) return status;
    // The installed collection is owned by GDI+; it is not deleted here.
    INT count = 0;
    status = Gp::GdipGetFontCollectionFamilyCount(rawCollection, &count);
    if (status != Gdiplus::Ok) return status;
    if (count <= 0) return Gdiplus::FontFamilyNotFound;
    Gdiplus::GpFontFamily* first = nullptr;
    INT found = 0;
    status = Gp::GdipGetFontCollectionFamilyList(rawCollection, 1, &first, &found);
    if (status != Gdiplus::Ok || found < 1 || first == nullptr) return Gdiplus::FontFamilyNotFound;
    // Families from the list belong to the collection: take a clone of our own.
    return Gp::GdipCloneFontFamily(first, family.Put());
}

// The shared face; where it is missing the generic sans-serif family; where
// that is missing too, any installed family, so that text is still drawn.
Gdiplus::GpStatus OpenFamily(FamilyPtr& family) {
    if (Gp::GdipCreateFontFamilyFromName(SharedFaceName(), nullptr, family.Put()) == Gdiplus::Ok &&
        family)
        return Gdiplus::Ok;
    if (Gp::GdipGetGenericFontFamilySansSerif(family.Put()) == Gdiplus::Ok && family)
        return Gdiplus::Ok;
    return FirstInstalledFamily(family);
}

Gdiplus::GpStatus MakeFormat(TextAlign align, Gdi::GdipStringFormat& format) {
    Gdiplus::GpStatus status = Gp::GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put());
    if (status != Gdiplus::Ok) return status;
    Gdiplus::GpStringFormat* raw = format.Get();
    status = Gp::GdipSetStringFormatAlign(raw, static_cast<Gdiplus::StringAlignment>(align));
    if (status == Gdiplus::Ok)
        status = Gp::GdipSetStringFormatLineAlign(raw, Gdiplus::StringAlignmentCenter);
    if (status == Gdiplus::Ok)
        status = Gp::GdipSetStringFormatTrimming(raw, Gdiplus::StringTrimmingEllipsisCharacter);
    return status;
}

// Everything DrawString does after its arguments are checked.
Gdiplus::GpStatus DrawWide(Gdiplus::GpGraphics* graphics, const std::wstring& text,
                           const RECT& rect, Gdiplus::ARGB colour, TextAlign align,
                           float sizePx) {
    FamilyPtr family;
    Gdiplus::GpStatus status = OpenFamily(family);
    if (status != Gdiplus::Ok) return status;
    Gdi::GdipFont font;
    status = Gp::GdipCreateFont(family.Get(), sizePx, Gdiplus::FontStyleRegular,
                                Gdiplus::UnitPixel, font.Put());
    if (status != Gdiplus::Ok) return status;
    Gdi::GdipSolidBrush brush;
    status = Gp::GdipCreateSolidFill(colour, brush.Put());
    if (status != Gdiplus::Ok) return status;
    Gdi::GdipStringFormat format;
    status = MakeFormat(align, format);
    if (status != Gdiplus::Ok) return status;
    const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rect.left),
                                static_cast<Gdiplus::REAL>(rect.top),
                                static_cast<Gdiplus::REAL>(rect.right - rect.left),
                                static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
    // Wide strings here are UTF-16, which is what wchar_t is on Windows.
    return Gp::GdipDrawString(graphics, reinterpret_cast<const WCHAR*>(text.c_str()), -1,
                              font.Get(), &layout, format.Get(), brush.Get());
}

}  // namespace

const wchar_t* SharedFaceName() { return L"\u65B0\u5B8B\u4F53"; }  // 新宋体

ScopedGraphics::ScopedGraphics(HDC dc) {
    if (dc == nullptr) {
        graphics_.lastStatus = Gdiplus::InvalidParameter;
        return;
    }
    graphics_.lastStatus = Gp::GdipCreateFromHDC(dc, owner_.Put());
    graphics_.handle = graphics_.lastStatus == Gdiplus::Ok ? owner_.Get() : nullptr;
}

ScopedGraphics::~ScopedGraphics() = default;

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, thread on
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_ = token;
}

GdiplusSession::~GdiplusSession() {
    if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
}

void DrawTextIn(HDC dc, const RECT& rect, const PxString& text, COLORREF colour, HFONT font,
                UINT format) {
    if (dc == nullptr) return;
    ScopedSelect selectFont(dc, font);
    const COLORREF oldColour = SetTextColor(dc, colour);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT box = rect;
    DrawTextPx(dc, text.c_str(), &box, format);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    if (dc == nullptr) return;
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    if (brush) FillRect(dc, &rect, brush.Get());
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF colour) {
    if (dc == nullptr) return;
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    if (brush) FrameRect(dc, &rect, brush.Get());
}

bool FillTranslucent(HDC dc, COLORREF colour, uint8_t alpha, const RECT& rect) {
    if (dc == nullptr) return false;
    const int64_t width = static_cast<int64_t>(rect.right) - rect.left;
    const int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    MemoryDC memory(dc);
    if (!memory) return false;
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(dc, w, h));
    if (!bitmap) return false;
    ScopedSelect select(memory.Get(), bitmap.Get());
    const RECT whole = {0, 0, w, h};
    FillSolid(memory.Get(), whole, colour);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    return AlphaBlend(dc, rect.left, rect.top, w, h, memory.Get(), 0, 0, w, h, blend) != FALSE;
}

void DrawString(GdiGraphics& graphics, const char* text, const RECT& rect, uint8_t red,
                uint8_t green, uint8_t blue, TextAlign align, float sizePx) {
    if (graphics.handle == nullptr) {
        graphics.lastStatus = Gdiplus::InvalidParameter;
        return;
    }
    const std::wstring wide = Utf8ToWide(text != nullptr ? text : "");
    const Gdiplus::ARGB colour = 0xFF000000u | (static_cast<Gdiplus::ARGB>(red) << 16) |
                                 (static_cast<Gdiplus::ARGB>(green) << 8) | blue;
    const Gdiplus::GpStatus status = DrawWide(graphics.handle, wide, rect, colour, align, sizePx);
    if (status != Gdiplus::Ok) graphics.lastStatus = status;
}

}  // namespace UI
}  // namespace Corvane
