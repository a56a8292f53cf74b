// The shared GDI and GDI+ owners: each object is deleted exactly once, by the
// owner that holds it last, and a scoped selection puts the old object back.
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "support/GdiHandles.h"

namespace {

using Corvane::Gdi::GdiObject;
using Corvane::Gdi::MemoryDC;
using Corvane::Gdi::ScopedSelect;

// A copy of an owner would delete its object twice.
template <class T>
constexpr bool kMoveOnly = !std::is_copy_constructible<T>::value && !std::is_copy_assignable<T>::value &&
                           std::is_nothrow_move_constructible<T>::value;
static_assert(kMoveOnly<GdiObject<HBRUSH>>, "GDI object owners are move-only");
static_assert(kMoveOnly<MemoryDC>, "memory DC owners are move-only");
static_assert(kMoveOnly<Corvane::Gdi::WindowDC>, "window DC owners are move-only");
static_assert(kMoveOnly<ScopedSelect>, "selections are move-only");
static_assert(kMoveOnly<Corvane::Gdi::GdipPen>, "GDI+ pens are move-only");
static_assert(kMoveOnly<Corvane::Gdi::GdipSolidBrush>, "GDI+ brushes are move-only");
static_assert(kMoveOnly<Corvane::Gdi::GdipGraphics>, "GDI+ graphics are move-only");

bool Alive(HGDIOBJ object) { return GetObjectType(object) != 0; }

struct Kind {
    const char* name;
    HGDIOBJ (*create)();
};
const Kind kKinds[] = {
    {"brush", [] { return HGDIOBJ(CreateSolidBrush(RGB(1, 2, 3))); }},
    {"pen", [] { return HGDIOBJ(CreatePen(PS_SOLID, 1, RGB(1, 2, 3))); }},
    {"bitmap", [] { return HGDIOBJ(CreateBitmap(4, 4, 1, 32, nullptr)); }},
    {"region", [] { return HGDIOBJ(CreateRectRgn(0, 0, 4, 4)); }},
    {"font", [] { return HGDIOBJ(CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial")); }},
};

TEST(GdiObjectOwner, DeletesOnceWhateverHoldsItLast) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        HGDIOBJ first = kind.create();
        HGDIOBJ second = kind.create();
        ASSERT_TRUE(Alive(first) && Alive(second));
        {
            GdiObject<HGDIOBJ> a(first);
            GdiObject<HGDIOBJ> b(std::move(a));
            EXPECT_FALSE(a);
            EXPECT_EQ(b.Get(), first);
            GdiObject<HGDIOBJ> c(second);
            c = std::move(b);  // c's own object goes now
            EXPECT_FALSE(Alive(second));
            EXPECT_TRUE(Alive(first));
            GdiObject<HGDIOBJ>& same = c;
            c = std::move(same);  // moving onto itself keeps it
            EXPECT_TRUE(Alive(first));
        }
        EXPECT_FALSE(Alive(first));

        HGDIOBJ kept = kind.create();
        {
            GdiObject<HGDIOBJ> owner(kept);
            EXPECT_EQ(owner.Release(), kept);
        }
        EXPECT_TRUE(Alive(kept));
        DeleteObject(kept);
    }
}

TEST(GdiObjectOwner, ResetAndPutDeleteThePreviousObject) {
    HBRUSH first = CreateSolidBrush(RGB(9, 9, 9));
    HBRUSH second = CreateSolidBrush(RGB(8, 8, 8));
    GdiObject<HBRUSH> owner(first);
    owner.Reset(second);
    EXPECT_FALSE(Alive(first));
    *owner.Put() = CreateSolidBrush(RGB(7, 7, 7));
    EXPECT_FALSE(Alive(second));
    EXPECT_TRUE(Alive(owner.Get()));
}

TEST(MemoryDcOwner, DeletesTheDcOnceAfterAMove) {
    HDC dc = nullptr;
    {
        MemoryDC a(nullptr);
        dc = a.Get();
        ASSERT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
        MemoryDC b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    }
    EXPECT_EQ(GetObjectType(dc), 0u);
}

TEST(ScopedSelectOwner, PutsThePreviousObjectBackOnce) {
    MemoryDC dc(nullptr);
    GdiObject<HBITMAP> bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    {
        ScopedSelect outer(dc.Get(), bitmap.Get());
        ASSERT_TRUE(outer);
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
        ScopedSelect moved(std::move(outer));
        EXPECT_FALSE(outer);
        outer.Reset();  // the moved-from selection restores nothing
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);

    ScopedSelect nothing(dc.Get(), nullptr);
    EXPECT_FALSE(nothing);
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);
}

class GdipSession : public ::testing::Test {
protected:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }
    ULONG_PTR token_ = 0;
};

TEST_F(GdipSession, MovedPenStaysUsableAndTheSourceIsEmpty) {
    namespace Gp = Gdiplus::DllExports;
    Corvane::Gdi::GdipPen pen;
    ASSERT_EQ(Gp::GdipCreatePen1(0xFF102030u, 3.0f, Gdiplus::UnitWorld, pen.Put()), Gdiplus::Ok);
    Corvane::Gdi::GdipPen moved(std::move(pen));
    EXPECT_FALSE(pen);
    Gdiplus::REAL width = 0;
    EXPECT_EQ(Gp::GdipGetPenWidth(moved.Get(), &width), Gdiplus::Ok);
    EXPECT_EQ(width, 3.0f);

    Corvane::Gdi::GdipSolidBrush brush;
    ASSERT_EQ(Gp::GdipCreateSolidFill(0xFF405060u, brush.Put()), Gdiplus::Ok);
    Corvane::Gdi::GdipSolidBrush other;
    other = std::move(brush);
    Gdiplus::ARGB colour = 0;
    EXPECT_EQ(Gp::GdipGetSolidFillColor(other.Get(), &colour), Gdiplus::Ok);
    EXPECT_EQ(colour, 0xFF405060u);
}

}  // namespace
