#include "ui/Geometry.h"

#include <gtest/gtest.h>

#include <limits>

using Corvane::UI::CenterRect;
using Corvane::UI::FitResult;
using Corvane::UI::FitSize;

namespace {

void ExpectRect(const RECT& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

}  // namespace

TEST(CenterRect, OddSizeInEvenBox) {
    ExpectRect(CenterRect(RECT{0, 0, 10, 10}, 3, 3), 4, 4, 7, 7);
}

TEST(CenterRect, EachHalfTruncatesOnItsOwn) {
    // (1 + 10) / 2 = 5 and -(5 / 2) = -2 give left 3.
    ExpectRect(CenterRect(RECT{1, 1, 10, 10}, 5, 5), 3, 3, 8, 8);
    // (-7 + 0) / 2 = -3 (toward zero, not -4); -(3 / 2) = -1.
    ExpectRect(CenterRect(RECT{-7, -7, 0, 0}, 3, 3), -4, -4, -1, -1);
}

TEST(CenterRect, LargerThanOuterOverhangsBothSides) {
    ExpectRect(CenterRect(RECT{0, 0, 100, 50}, 200, 100), -50, -25, 150, 75);
}

TEST(CenterRect, ExtremeValuesSaturateInsteadOfOverflowing) {
    const int32_t big = std::numeric_limits<int32_t>::max();
    RECT r = CenterRect(RECT{big - 1, 0, big, 0}, big, 4);
    EXPECT_EQ(r.right, big);  // left + width saturates
    EXPECT_LT(r.left, r.right);
}

TEST(FitSize, CasesFromTheLayout) {
    FitResult a = FitSize(100, 50, 200, 100);
    EXPECT_FLOAT_EQ(a.scale, 1.0f);
    EXPECT_EQ(a.width, 100);
    EXPECT_EQ(a.height, 50);

    FitResult b = FitSize(400, 200, 200, 100);
    EXPECT_FLOAT_EQ(b.scale, 0.5f);
    EXPECT_EQ(b.width, 200);
    EXPECT_EQ(b.height, 100);

    FitResult c = FitSize(200, 400, 300, 100);
    EXPECT_FLOAT_EQ(c.scale, 0.25f);
    EXPECT_EQ(c.width, 50);
    EXPECT_EQ(c.height, 100);
}

TEST(FitSize, EqualInBothIsUnchangedEqualInOneIsScaled) {
    FitResult same = FitSize(200, 100, 200, 100);
    EXPECT_FLOAT_EQ(same.scale, 1.0f);
    EXPECT_EQ(same.width, 200);

    // Equal width but smaller height is neither case: scale by the larger side.
    FitResult wide = FitSize(200, 50, 200, 100);
    EXPECT_FLOAT_EQ(wide.scale, 1.0f);  // 200 / 200
    EXPECT_EQ(wide.width, 200);
    EXPECT_EQ(wide.height, 50);
}

TEST(FitSize, CanEnlargeAndExceedTheBoxOnTheOtherAxis) {
    // Too tall for the box but not wider than it: scaled by box height / m.
    FitResult r = FitSize(90, 300, 100, 150);
    EXPECT_FLOAT_EQ(r.scale, 0.5f);
    EXPECT_EQ(r.width, 45);
    EXPECT_EQ(r.height, 150);
    // Wider than the box but shorter: box width / m enlarges the height side.
    FitResult s = FitSize(150, 10, 300, 5);
    EXPECT_FLOAT_EQ(s.scale, 2.0f);
    EXPECT_EQ(s.width, 300);
    EXPECT_EQ(s.height, 20);
}

TEST(FitSize, ScaledSizeTruncates) {
    FitResult r = FitSize(300, 200, 100, 100);  // scale 1/3
    EXPECT_EQ(r.width, 100);
    EXPECT_EQ(r.height, 66);
}

TEST(FitSize, DegenerateSizesNeverDivideByZero) {
    FitResult zero = FitSize(0, 0, -5, -5);
    EXPECT_FLOAT_EQ(zero.scale, 0.0f);
    EXPECT_EQ(zero.width, 0);
    EXPECT_EQ(zero.height, 0);
    FitResult negative = FitSize(-10, -20, -30, -40);
    EXPECT_EQ(negative.width, 0);
    EXPECT_EQ(negative.height, 0);
}
