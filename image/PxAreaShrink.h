#pragma once
// Area-average shrink of 24-bpp pixel rows: every output pixel is the mean
// of the source pixels under it, a source pixel that straddles an output
// boundary split between the two in proportion. Weights are 16-bit fixed
// point per axis, normalised so that each output's weights sum exactly to
// one; results are within one level of the exact mean.
//
// It serves both PxImage's ScaleTo/FitToBox and the canvas's zoom path: it
// reads the full-size picture once and writes straight into the result, with
// no temporary copy of either.
#include <cstddef>
#include <cstdint>
#include <vector>

struct PxPixels24 {
    const uint8_t* rows;  // first row in memory order
    ptrdiff_t stride;     // bytes from one row to the next in memory
    uint32_t width;
    uint32_t height;
};

struct PxPixels24Out {
    uint8_t* rows;
    ptrdiff_t stride;
    uint32_t width;
    uint32_t height;
};

class PxAreaShrink {
public:
    // False (and nothing written) unless the output is at least 1 x 1 and
    // strictly smaller than the source on both axes, and the source is no
    // taller than kMaxHeight.
    // `escape`, when given, is polled per output row: once non-zero the run
    // stops and the rows not reached are left as they were. `progress`, when
    // given, is set to 0..100 as output rows are finished.
    bool Run(const PxPixels24& src, const PxPixels24Out& dst,
             const int32_t* escape = nullptr, int32_t* progress = nullptr);

    static constexpr uint32_t kMaxHeight = 1u << 24;

private:
    // Output i takes source pixels first[i] .. first[i] + count[i] - 1 with
    // weights coef[offset[i] ...], which sum to 65536.
    struct Taps {
        std::vector<uint32_t> first;
        std::vector<uint32_t> count;
        std::vector<uint32_t> offset;
        std::vector<uint32_t> coef;
        void Build(uint32_t srcLength, uint32_t dstLength);
    };

    void ShrinkRow(const uint16_t* src, uint8_t* out) const;

    // Kept across runs so that repeated zoom steps allocate nothing.
    Taps horizontal_;
    Taps vertical_;
    std::vector<uint32_t> acc_;  // one row of vertical sums
    std::vector<uint16_t> row_;  // the same, reduced to 8.8 fixed point
};
