// Area-average shrink against an exact floating-point area average.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "image/PxAreaShrink.h"

namespace {

struct Buffer {
    uint32_t width, height;
    ptrdiff_t stride;
    std::vector<uint8_t> bytes;
    Buffer(uint32_t w, uint32_t h)
        : width(w), height(h), stride(static_cast<ptrdiff_t>((w * 3 + 3) / 4 * 4)),
          bytes(static_cast<size_t>(stride) * h, 0) {}
    uint8_t* At(uint32_t x, uint32_t y) { return bytes.data() + stride * y + x * 3; }
    PxPixels24 In() const { return PxPixels24{bytes.data(), stride, width, height}; }
    PxPixels24Out Out() { return PxPixels24Out{bytes.data(), stride, width, height}; }
};

Buffer Random(uint32_t w, uint32_t h, unsigned seed) {
    Buffer b(w, h);
    std::mt19937 rng(seed);
    for (auto& v : b.bytes)
        v = static_cast<uint8_t>(rng());
    return b;
}

// Exact mean over the output pixel's area, each source pixel weighted by
// the area it shares with it.
double Reference(Buffer& src, uint32_t nw, uint32_t nh, uint32_t x, uint32_t y, int c) {
    const double xs = static_cast<double>(src.width) / nw;
    const double ys = static_cast<double>(src.height) / nh;
    const double x0 = x * xs, x1 = (x + 1) * xs, y0 = y * ys, y1 = (y + 1) * ys;
    double sum = 0;
    for (uint32_t sy = static_cast<uint32_t>(y0); sy < src.height && sy < y1; ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (uint32_t sx = static_cast<uint32_t>(x0); sx < src.width && sx < x1; ++sx) {
            const double wx = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
            sum += wx * wy * src.At(sx, sy)[c];
        }
    }
    return sum / (xs * ys);
}

}  // namespace

TEST(PxAreaShrink, MatchesExactAreaAverageWithinOneLevel) {
    const struct { uint32_t w, h, nw, nh; } cases[] = {
        {37, 23, 10, 7}, {100, 80, 99, 79}, {64, 64, 3, 5}, {601, 11, 600, 10}, {9, 1000, 2, 17},
    };
    PxAreaShrink shrink;  // one object for all cases: its tables are rebuilt per run
    unsigned seed = 1;
    for (const auto& k : cases) {
        Buffer src = Random(k.w, k.h, seed++);
        Buffer dst(k.nw, k.nh);
        ASSERT_TRUE(shrink.Run(src.In(), dst.Out()));
        double worst = 0;
        for (uint32_t y = 0; y < k.nh; ++y)
            for (uint32_t x = 0; x < k.nw; ++x)
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::fabs(dst.At(x, y)[c] -
                                                      Reference(src, k.nw, k.nh, x, y, c)));
        EXPECT_LE(worst, 1.0) << k.w << "x" << k.h << " -> " << k.nw << "x" << k.nh;
    }
}

TEST(PxAreaShrink, HalvingIsTheRoundedMeanOfEachBlock) {
    Buffer src = Random(8, 6, 42);
    Buffer dst(4, 3);
    PxAreaShrink shrink;
    ASSERT_TRUE(shrink.Run(src.In(), dst.Out()));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c) {
                const int sum = src.At(2 * x, 2 * y)[c] + src.At(2 * x + 1, 2 * y)[c] +
                                src.At(2 * x, 2 * y + 1)[c] + src.At(2 * x + 1, 2 * y + 1)[c];
                EXPECT_EQ(dst.At(x, y)[c], (sum + 2) / 4);
            }
}

TEST(PxAreaShrink, FlatColourAndExtremesSurvive) {
    // Weights sum to exactly one, so a flat picture keeps its colour, white
    // stays 255 (no overflow of the fixed-point sums) and black stays 0.
    for (uint8_t v : {uint8_t{0}, uint8_t{77}, uint8_t{255}}) {
        Buffer src(997, 13);
        std::fill(src.bytes.begin(), src.bytes.end(), v);
        Buffer dst(113, 4);
        PxAreaShrink shrink;
        ASSERT_TRUE(shrink.Run(src.In(), dst.Out()));
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 113; ++x)
                ASSERT_EQ(dst.At(x, y)[1], v);
    }
}

TEST(PxAreaShrink, RefusesWhatIsNotAShrinkAndLeavesOutputAlone) {
    Buffer src = Random(10, 10, 3);
    PxAreaShrink shrink;
    Buffer same(10, 5), grow(12, 5), none(0, 0), thin(5, 10);
    for (Buffer* d : {&same, &grow, &thin}) {
        const std::vector<uint8_t> before = d->bytes;
        EXPECT_FALSE(shrink.Run(src.In(), d->Out()));
        EXPECT_EQ(d->bytes, before);
    }
    EXPECT_FALSE(shrink.Run(src.In(), PxPixels24Out{nullptr, 0, 0, 0}));
}

TEST(PxAreaShrink, WritesOnlyTheOutputRectangle) {
    // The output is a window into a larger buffer with its own stride: the
    // bytes around it, including row padding, must stay untouched.
    Buffer src = Random(50, 40, 9);
    Buffer canvas(30, 30);
    std::fill(canvas.bytes.begin(), canvas.bytes.end(), 0xAB);
    PxAreaShrink shrink;
    ASSERT_TRUE(shrink.Run(src.In(), PxPixels24Out{canvas.At(5, 7), canvas.stride, 20, 16}));
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 30; ++x) {
            const bool inside = x >= 5 && x < 25 && y >= 7 && y < 23;
            if (!inside) {
                ASSERT_EQ(canvas.At(x, y)[0], 0xAB) << x << "," << y;
                ASSERT_EQ(canvas.At(x, y)[2], 0xAB) << x << "," << y;
            }
        }
}
