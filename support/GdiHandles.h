#pragma once
// Move-only owners for GDI and GDI+ objects, shared by the image library, the
// toolkit and the editor (Windows builds only; header-only, so using it adds
// no link dependency).
//
// Every owner deletes what it holds exactly once: copying is deleted, moving
// leaves the source empty, and Reset / move-assignment delete the previous
// object first. Release() hands the object over without deleting it.
#include <windows.h>

// objidl.h first: WIN32_LEAN_AND_MEAN leaves out the COM types GDI+ uses.
#include <objidl.h>
#include <gdiplus.h>

#include <utility>

namespace Corvane {
namespace Gdi {

// The common part of the owners: a value, its empty state, and a Traits
// class with `static void Close(Value)` that frees a non-empty value.
template <class Value, class Traits>
class UniqueValue {
public:
    UniqueValue() = default;
    explicit UniqueValue(Value value) : value_(value) {}
    ~UniqueValue() { Reset(); }
    UniqueValue(UniqueValue&& other) noexcept : value_(other.Release()) {}
    UniqueValue& operator=(UniqueValue&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueValue(const UniqueValue&) = delete;
    UniqueValue& operator=(const UniqueValue&) = delete;

    Value Get() const { return value_; }
    explicit operator bool() const { return value_ != Value(); }
    // Deletes the held object (if any) and takes the new one.
    void Reset(Value value = Value()) {
        const Value old = std::exchange(value_, value);
        if (old != Value()) Traits::Close(old);
    }
    // Gives up ownership without deleting.
    [[nodiscard]] Value Release() { return std::exchange(value_, Value()); }
    // Empties the owner and returns the address for a creating call's
    // out-parameter (GdipCreatePen1(..., pen.Put())). The call must leave it
    // null when it fails, as the GDI+ creating calls do.
    Value* Put() {
        Reset();
        return &value_;
    }

private:
    Value value_ = Value();
};

struct DeleteObjectTraits {
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};

// A GDI object made by a Create* call (bitmap, brush, font, pen, region).
template <class Handle>
using GdiObject = UniqueValue<Handle, DeleteObjectTraits>;

struct DeleteDcTraits {
    static void Close(HDC dc) { DeleteDC(dc); }
};

// A memory device context made by CreateCompatibleDC, deleted by DeleteDC.
class MemoryDC : public UniqueValue<HDC, DeleteDcTraits> {
public:
    MemoryDC() = default;
    explicit MemoryDC(HDC compatibleWith)
        : UniqueValue<HDC, DeleteDcTraits>(CreateCompatibleDC(compatibleWith)) {}
};

// A window's device context from GetDC, given back by ReleaseDC.
class WindowDC {
public:
    WindowDC() = default;
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { Reset(); }
    WindowDC(WindowDC&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            Reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
        window_ = nullptr;
        dc_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects an object into a device context and puts the previous one back
// when it ends (or on Reset). A null object or a failed selection selects
// nothing and restores nothing. Destroy it before the object it selected.
class ScopedSelect {
public:
    ScopedSelect() = default;
    ScopedSelect(HDC dc, HGDIOBJ object) {
        HGDIOBJ previous = object != nullptr ? SelectObject(dc, object) : nullptr;
        if (previous != nullptr && previous != HGDI_ERROR) {
            dc_ = dc;
            previous_ = previous;
        }
    }
    ~ScopedSelect() { Reset(); }
    ScopedSelect(ScopedSelect&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
    ScopedSelect& operator=(ScopedSelect&& other) noexcept {
        if (this != &other) {
            Reset();
            dc_ = std::exchange(other.dc_, nullptr);
            previous_ = std::exchange(other.previous_, nullptr);
        }
        return *this;
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

    // True when the object was selected (and will be deselected).
    explicit operator bool() const { return previous_ != nullptr; }
    void Reset() {
        if (previous_ != nullptr) SelectObject(dc_, previous_);
        dc_ = nullptr;
        previous_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// Saves a device context's whole state (objects, clip region, modes,
// colours) and restores it when it ends. Not movable: it is a scope.
class ScopedSaveDC {
public:
    explicit ScopedSaveDC(HDC dc) : dc_(dc), id_(dc != nullptr ? SaveDC(dc) : 0) {}
    ~ScopedSaveDC() {
        if (id_ != 0) RestoreDC(dc_, id_);
    }
    ScopedSaveDC(const ScopedSaveDC&) = delete;
    ScopedSaveDC& operator=(const ScopedSaveDC&) = delete;

private:
    HDC dc_;
    int id_;
};

// GDI+ flat-interface objects. GDI+ must still be running when they are
// deleted (end their scope before the GdiplusSession that started it).
struct GdipTraits {
    static void Close(Gdiplus::GpGraphics* p) { Gdiplus::DllExports::GdipDeleteGraphics(p); }
    static void Close(Gdiplus::GpPen* p) { Gdiplus::DllExports::GdipDeletePen(p); }
    static void Close(Gdiplus::GpBrush* p) { Gdiplus::DllExports::GdipDeleteBrush(p); }
    static void Close(Gdiplus::GpFont* p) { Gdiplus::DllExports::GdipDeleteFont(p); }
    static void Close(Gdiplus::GpFontFamily* p) { Gdiplus::DllExports::GdipDeleteFontFamily(p); }
    static void Close(Gdiplus::GpStringFormat* p) { Gdiplus::DllExports::GdipDeleteStringFormat(p); }
    static void Close(Gdiplus::GpImage* p) { Gdiplus::DllExports::GdipDisposeImage(p); }
    static void Close(Gdiplus::GpPath* p) { Gdiplus::DllExports::GdipDeletePath(p); }
};

// GdipObject<Gdiplus::GpPen>, <GpSolidFill>, <GpFont>, ...: deleted with the
// flat call of its kind (a solid fill is a brush).
template <class T>
using GdipObject = UniqueValue<T*, GdipTraits>;

using GdipGraphics = GdipObject<Gdiplus::GpGraphics>;
using GdipPen = GdipObject<Gdiplus::GpPen>;
using GdipSolidBrush = GdipObject<Gdiplus::GpSolidFill>;
using GdipFont = GdipObject<Gdiplus::GpFont>;
using GdipFontFamily = GdipObject<Gdiplus::GpFontFamily>;
using GdipStringFormat = GdipObject<Gdiplus::GpStringFormat>;

}  // namespace Gdi
}  // namespace Corvane
