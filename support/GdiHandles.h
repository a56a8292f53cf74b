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

// An owner of a pair (a context and the value to give back to it), empty
// while the second value is null; Traits::Close(first, second) gives it back.
template <class First, class Second, class Traits>
class UniquePair {
public:
    UniquePair() = default;
    UniquePair(First first, Second second) : first_(first), second_(second) {}
    ~UniquePair() { Reset(); }
    UniquePair(UniquePair&& other) noexcept
        : first_(std::exchange(other.first_, First())), second_(std::exchange(other.second_, Second())) {}
    UniquePair& operator=(UniquePair&& other) noexcept {
        if (this != &other) {
            Reset();
            first_ = std::exchange(other.first_, First());
            second_ = std::exchange(other.second_, Second());
        }
        return *this;
    }
    UniquePair(const UniquePair&) = delete;
    UniquePair& operator=(const UniquePair&) = delete;

    explicit operator bool() const { return second_ != Second(); }
    void Reset() {
        const First first = std::exchange(first_, First());
        const Second second = std::exchange(second_, Second());
        if (second != Second()) Traits::Close(first, second);
    }

protected:
    Second GetSecond() const { return second_; }

private:
    First first_ = First();
    Second second_ = Second();
};

struct ReleaseDcTraits {
    static void Close(HWND window, HDC dc) { ReleaseDC(window, dc); }
};

// A window's device context from GetDC, given back by ReleaseDC.
class WindowDC : public UniquePair<HWND, HDC, ReleaseDcTraits> {
public:
    WindowDC() = default;
    explicit WindowDC(HWND window) : UniquePair(window, GetDC(window)) {}
    HDC Get() const { return GetSecond(); }
};

struct RestoreSelectionTraits {
    static void Close(HDC dc, HGDIOBJ previous) { SelectObject(dc, previous); }
};

// Selects an object into a device context and puts the previous one back
// when it ends (or on Reset). A null object or a failed selection selects
// nothing and restores nothing; the bool says whether it selected. Destroy
// it before the object it selected.
class ScopedSelect : public UniquePair<HDC, HGDIOBJ, RestoreSelectionTraits> {
public:
    ScopedSelect() = default;
    ScopedSelect(HDC dc, HGDIOBJ object) : UniquePair(dc, Select(dc, object)) {}

private:
    static HGDIOBJ Select(HDC dc, HGDIOBJ object) {
        HGDIOBJ previous = object != nullptr ? SelectObject(dc, object) : nullptr;
        return previous != HGDI_ERROR ? previous : nullptr;
    }
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
