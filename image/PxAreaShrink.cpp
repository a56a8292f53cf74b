#include "image/PxAreaShrink.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kOne = 65536;

}  // namespace

// Output j covers source positions [j * n, (j + 1) * n) in units of 1/m
// source pixel; source pixel i covers [i * m, (i + 1) * m). Weights are the
// differences of a rounded cumulative position, so they telescope to 65536.
void PxAreaShrink::Taps::Build(uint32_t n, uint32_t m) {
    first.resize(m);
    count.resize(m);
    offset.resize(m);
    coef.clear();
    coef.reserve(static_cast<size_t>(n) + m);
    for (uint32_t j = 0; j < m; ++j) {
        const uint64_t start = static_cast<uint64_t>(j) * n;
        const uint64_t end = start + n;
        const uint64_t i0 = start / m;
        const uint64_t i1 = (end + m - 1) / m;  // exclusive
        first[j] = static_cast<uint32_t>(i0);
        count[j] = static_cast<uint32_t>(i1 - i0);
        offset[j] = static_cast<uint32_t>(coef.size());
        uint64_t prev = 0;
        for (uint64_t i = i0; i < i1; ++i) {
            const uint64_t hi = std::min((i + 1) * m, end) - start;
            const uint64_t cum = (hi * kOne + n / 2) / n;
            coef.push_back(static_cast<uint32_t>(cum - prev));
            prev = cum;
        }
    }
}

// Columns of one vertically reduced row (8.8 fixed point, 0 .. 65280) to
// output pixels.
void PxAreaShrink::ShrinkRow(const uint16_t* src, uint8_t* out) const {
    const uint32_t m = static_cast<uint32_t>(horizontal_.first.size());
    const uint32_t* first = horizontal_.first.data();
    const uint32_t* count = horizontal_.count.data();
    const uint32_t* offset = horizontal_.offset.data();
    const uint32_t* coef = horizontal_.coef.data();
    constexpr uint32_t kHalf = 1u << 23;
    for (uint32_t j = 0; j < m; ++j) {
        const uint16_t* s = src + static_cast<size_t>(first[j]) * 3;
        const uint32_t* c = coef + offset[j];
        uint32_t b = kHalf, g = kHalf, r = kHalf;
        for (uint32_t k = count[j]; k != 0; --k, s += 3, ++c) {
            b += *c * s[0];
            g += *c * s[1];
            r += *c * s[2];
        }
        out[0] = static_cast<uint8_t>(b >> 24);
        out[1] = static_cast<uint8_t>(g >> 24);
        out[2] = static_cast<uint8_t>(r >> 24);
        out += 3;
    }
}

// Rows first, then columns: the row pass runs over the whole picture with a
// fixed weight per row, which the compiler turns into vector code; the
// column pass with its varying taps then only sees the output's rows.
bool PxAreaShrink::Run(const PxPixels24& src, const PxPixels24Out& dst, const int32_t* escape,
                       int32_t* progress) {
    if (dst.width == 0 || dst.height == 0 || dst.width >= src.width ||
        dst.height >= src.height || src.height > kMaxHeight || !src.rows || !dst.rows)
        return false;
    horizontal_.Build(src.width, dst.width);
    vertical_.Build(src.height, dst.height);
    const size_t values = static_cast<size_t>(src.width) * 3;
    acc_.resize(values);
    row_.resize(values);
    uint32_t* acc = acc_.data();
    uint16_t* row = row_.data();
    uint32_t j = 0;
    for (; j < dst.height && !(escape && *escape); ++j) {
        const uint32_t* c = vertical_.coef.data() + vertical_.offset[j];
        const uint32_t i0 = vertical_.first[j];
        const uint32_t taps = vertical_.count[j];
        for (uint32_t k = 0; k < taps; ++k) {
            const uint8_t* s = src.rows + src.stride * static_cast<ptrdiff_t>(i0 + k);
            const uint32_t w = c[k];
            if (k == 0) {
                for (size_t x = 0; x < values; ++x)
                    acc[x] = w * s[x];
            } else {
                for (size_t x = 0; x < values; ++x)
                    acc[x] += w * s[x];
            }
        }
        // Weights sum to 65536, so acc <= 65536 * 255 and fits 8.8 after >> 8.
        for (size_t x = 0; x < values; ++x)
            row[x] = static_cast<uint16_t>((acc[x] + 128) >> 8);
        ShrinkRow(row, dst.rows + dst.stride * static_cast<ptrdiff_t>(j));
        if (progress)
            *progress = static_cast<int32_t>(uint64_t{j + 1} * 100 / dst.height);
    }
    // Rows an Escape left unreached are black, not stale memory.
    for (; j < dst.height; ++j)
        std::memset(dst.rows + dst.stride * static_cast<ptrdiff_t>(j), 0, size_t{dst.width} * 3);
    return true;
}
