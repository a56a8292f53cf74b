// Block kernels of 90-degree rotation, for 24-bpp pixels and for one-byte
// planes (8-bpp pixels, alpha, selection).
#include "image/PxRotation.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace PxRotation {
namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndian = false;  // the word-wise kernel assumes little-endian
#else
constexpr bool kLittleEndian = true;
#endif

// Two steps per 64 x 64 block. The block's source pixels are first copied
// row by row into a small tile (long forward reads that stay in the
// first-level cache afterwards); the result rows are then assembled from the
// tile, a few result rows by a few result columns at a time. Result rows a
// few steps ahead are prefetched, since every one of them lies on a
// different page of the result, and so are the source rows of the next
// block, which a short copy per row would not bring in early enough.
//
// N is the size of a pixel in bytes: 3 or 1.
constexpr uint32_t kPrefetchRows = 8;

// The block's source rows in result-column order: tile row k holds source
// row SourceRow(x0 + k), pixels from the block's lowest source column on.
template <uint32_t N>
uint32_t GatherTile(Tile<N>& tile, const Plane& src, const RotationMap& map, uint32_t y0, uint32_t y1,
                    uint32_t x0, uint32_t x1) {
    const uint32_t firstColumn = map.clockwise ? map.SourceColumn(y1 - 1) : map.SourceColumn(y0);
    const size_t bytes = size_t{N} * (y1 - y0);
    const uint8_t* from = src.first + size_t{N} * firstColumn;
    if (bytes == size_t{N} * kBlock) {  // a fixed size lets the copy be inlined
        for (uint32_t x = x0; x < x1; ++x)
            std::memcpy(tile.Row(x - x0), from + map.SourceRow(x) * src.stride, size_t{N} * kBlock);
    } else {
        for (uint32_t x = x0; x < x1; ++x)
            std::memcpy(tile.Row(x - x0), from + map.SourceRow(x) * src.stride, bytes);
    }
    return firstColumn;
}

// Near the end of a block this reaches into the next band of result rows,
// whose lines then wait in the second-level cache until the sweep gets there.
template <uint32_t N>
void PrefetchResultRow(const Plane& dst, const RotationMap& map, uint32_t y, uint32_t x0, uint32_t x1) {
    if (y + kPrefetchRows >= map.srcWidth)  // the result has srcWidth rows
        return;
    const uint8_t* row = dst.first + (y + kPrefetchRows) * dst.stride + size_t{N} * x0;
    // A run rarely starts on a line boundary, so it spans one line more.
    for (size_t b = 0; b < size_t{N} * (x1 - x0) + 64; b += 64)
        __builtin_prefetch(row + b, 1);
}

// The source rows the next block of the sweep will gather: the same source
// columns, the next 64 source rows. Null when there is no full next block.
template <uint32_t N>
struct NextGather {
    const uint8_t* first = nullptr;
    size_t stride = 0;

    NextGather(const Plane& src, const Plane& dst, const RotationMap& map, uint32_t firstColumn,
               uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
        if (y1 - y0 != kBlock || x1 - x0 != kBlock || dst.width - x1 < kBlock)
            return;
        // Result columns x1..x1+63 come from source rows SourceRow(x1) onwards,
        // upwards when turning clockwise and downwards otherwise.
        const uint32_t lowestRow = map.clockwise ? map.SourceRow(x1) : map.SourceRow(x1 + kBlock - 1);
        first = src.first + size_t{lowestRow} * src.stride + size_t{N} * firstColumn;
        stride = src.stride;
    }

    // Called once per result row k of the current block, so that all 64 rows
    // are requested by the time the block is done.
    void Prefetch(uint32_t k) const {
        if (!first)
            return;
        const uint8_t* row = first + size_t{k} * stride;
        for (uint32_t b = 0; b < kBlock * N + 64; b += 64)
            __builtin_prefetch(row + b);
    }
};

// Result pixel (x, y) of the block from the tile.
template <uint32_t N>
inline const uint8_t* TilePixel(Tile<N>& tile, const RotationMap& map, uint32_t firstColumn, uint32_t y,
                                uint32_t x0, uint32_t x) {
    return tile.Row(x - x0) + size_t{N} * (map.SourceColumn(y) - firstColumn);
}

// Whatever the vector kernel leaves: result rows from y, one pixel at a time.
template <uint32_t N>
void CopyRest(Tile<N>& tile, const Plane& dst, const RotationMap& map, uint32_t firstColumn, uint32_t y,
              uint32_t y1, uint32_t xFrom, uint32_t x0, uint32_t x1) {
    for (; y < y1; ++y)
        for (uint32_t x = xFrom; x < x1; ++x)
            std::memcpy(dst.first + y * dst.stride + size_t{N} * x, TilePixel(tile, map, firstColumn, y, x0, x), N);
}

// A group of R result rows y..y+R-1 that the vector kernels fill together
// from R neighbouring tile columns. Lane j of a transposed vector is tile
// column lowest + j, which is result row y + R-1-j when turning clockwise and
// y + j otherwise: `lane0` is where lane 0's pixels go (at column x0) and
// `step` leads to the next lane's row. Building a group prefetches for it.
template <uint32_t N, uint32_t R>
struct RowGroup {
    size_t tileOffset;
    uint8_t* lane0;
    ptrdiff_t step;

    RowGroup(const Plane& dst, const NextGather<N>& next, const RotationMap& map, uint32_t firstColumn,
             uint32_t y0, uint32_t y, uint32_t x0, uint32_t x1) {
        for (uint32_t r = 0; r < R; ++r) {
            PrefetchResultRow<N>(dst, map, y + r, x0, x1);
            next.Prefetch(y + r - y0);
        }
        const uint32_t lowest = map.clockwise ? map.SourceColumn(y + R - 1) : map.SourceColumn(y);
        tileOffset = size_t{N} * (lowest - firstColumn);
        lane0 = dst.first + size_t{map.clockwise ? y + R - 1 : y} * dst.stride + size_t{N} * x0;
        step = map.clockwise ? -static_cast<ptrdiff_t>(dst.stride) : static_cast<ptrdiff_t>(dst.stride);
    }
};

// Portable kernel: one result row at a time, four pixels per 12-byte write.
void TransposeTile24(Tile24& tile, const Plane& dst, const NextGather<3>& next, const RotationMap& map,
                     uint32_t firstColumn, uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
    const uint32_t whole = x0 + (x1 - x0) / 4 * 4;
    for (uint32_t y = y0; y < y1; ++y) {
        PrefetchResultRow<3>(dst, map, y, x0, x1);
        next.Prefetch(y - y0);
        uint8_t* out = dst.first + y * dst.stride + size_t{3} * x0;
        for (uint32_t x = x0; x < whole; x += 4, out += 12) {
            uint32_t p[4];
            for (uint32_t k = 0; k < 4; ++k)
                std::memcpy(&p[k], TilePixel(tile, map, firstColumn, y, x0, x + k), 4);
            if (kLittleEndian) {
                const uint64_t lo = (p[0] & 0xFFFFFFu) | (uint64_t{p[1] & 0xFFFFFFu} << 24) |
                                    (uint64_t{p[2]} << 48);
                const uint32_t hi = ((p[2] >> 16) & 0xFFu) | (p[3] << 8);
                std::memcpy(out, &lo, 8);
                std::memcpy(out + 8, &hi, 4);
            } else {
                for (uint32_t k = 0; k < 4; ++k)
                    std::memcpy(out + 3 * k, &p[k], 3);
            }
        }
        CopyRest(tile, dst, map, firstColumn, y, y + 1, whole, x0, x1);
    }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define PX_ROTATE_SSSE3 1

// Vector kernel: four tile rows by four pixels are widened to 32-bit lanes,
// transposed as a 4 x 4 matrix and packed back, giving four result rows of
// four pixels each.
__attribute__((target("ssse3"))) void TransposeTile24Ssse3(Tile24& tile, const Plane& dst,
                                                           const NextGather<3>& next, const RotationMap& map,
                                                           uint32_t firstColumn, uint32_t y0, uint32_t y1,
                                                           uint32_t x0, uint32_t x1) {
    const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i narrow = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const uint32_t whole = x0 + (x1 - x0) / 4 * 4;
    uint32_t y = y0;
    for (; y + 4 <= y1; y += 4) {
        const RowGroup<3, 4> group(dst, next, map, firstColumn, y0, y, x0, x1);
        uint8_t* out = group.lane0;
        for (uint32_t x = x0; x < whole; x += 4, out += 12) {
            const uint8_t* t = tile.Row(x - x0) + group.tileOffset;
            const __m128i e0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)), widen);
            const __m128i e1 = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + Tile24::kStride)), widen);
            const __m128i e2 = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 2 * Tile24::kStride)), widen);
            const __m128i e3 = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 3 * Tile24::kStride)), widen);
            const __m128i lo01 = _mm_unpacklo_epi32(e0, e1), hi01 = _mm_unpackhi_epi32(e0, e1);
            const __m128i lo23 = _mm_unpacklo_epi32(e2, e3), hi23 = _mm_unpackhi_epi32(e2, e3);
            const __m128i lanes[4] = {_mm_unpacklo_epi64(lo01, lo23), _mm_unpackhi_epi64(lo01, lo23),
                                      _mm_unpacklo_epi64(hi01, hi23), _mm_unpackhi_epi64(hi01, hi23)};
            uint8_t* o = out;
            // One 16-byte store per row where its 4 spare bytes land on
            // pixels x + 4 and x + 5, which are written later: by the next
            // group, by the rest copied below or by the next block of the
            // sweep. Nearer the right edge they would reach row padding or
            // another row.
            if (x + 6 <= dst.width) {
                for (const __m128i& lane : lanes) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(lane, narrow));
                    o += group.step;
                }
                continue;
            }
            for (const __m128i& lane : lanes) {
                const __m128i row = _mm_shuffle_epi8(lane, narrow);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), row);
                const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(row, 8));
                std::memcpy(o + 8, &last, 4);
                o += group.step;
            }
        }
        CopyRest(tile, dst, map, firstColumn, y, y + 4, whole, x0, x1);
    }
    CopyRest(tile, dst, map, firstColumn, y, y1, x0, x0, x1);
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

// Portable kernel for one-byte planes: one result row at a time from the
// tile, which is in the first-level cache.
void TransposeTile8(Tile8& tile, const Plane& dst, const NextGather<1>& next, const RotationMap& map,
                    uint32_t firstColumn, uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
    for (uint32_t y = y0; y < y1; ++y) {
        PrefetchResultRow<1>(dst, map, y, x0, x1);
        next.Prefetch(y - y0);
        uint8_t* out = dst.first + y * dst.stride + x0;
        const uint8_t* column = TilePixel(tile, map, firstColumn, y, x0, x0);
        for (uint32_t x = x0; x < x1; ++x, column += Tile8::kStride)
            *out++ = *column;
    }
}

#if defined(__SSE2__)
#define PX_ROTATE_SSE2 1

// Vector kernel for one-byte planes: eight tile rows of eight bytes are
// transposed with three rounds of interleaving, giving eight result rows of
// eight pixels each.
void TransposeTile8Sse2(Tile8& tile, const Plane& dst, const NextGather<1>& next, const RotationMap& map,
                        uint32_t firstColumn, uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
    const uint32_t whole = x0 + (x1 - x0) / 8 * 8;
    uint32_t y = y0;
    for (; y + 8 <= y1; y += 8) {
        const RowGroup<1, 8> group(dst, next, map, firstColumn, y0, y, x0, x1);
        uint8_t* out = group.lane0;
        for (uint32_t x = x0; x < whole; x += 8, out += 8) {
            const uint8_t* t = tile.Row(x - x0) + group.tileOffset;
            __m128i r[8];
            for (uint32_t k = 0; k < 8; ++k)
                r[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + k * Tile8::kStride));
            // Bytes of rows 0-1, 2-3, 4-5, 6-7 interleaved; then pairs of
            // those, then quads: each 128-bit result holds two columns.
            const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
            const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
            const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
            const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
            const __m128i columns[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                                        _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
            uint8_t* o = out;
            for (const __m128i& pair : columns) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), pair);
                o += group.step;
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_srli_si128(pair, 8));
                o += group.step;
            }
        }
        CopyRest(tile, dst, map, firstColumn, y, y + 8, whole, x0, x1);
    }
    CopyRest(tile, dst, map, firstColumn, y, y1, x0, x0, x1);
}
#endif

}  // namespace

void RotateBlock(Tile24& tile, const Plane& src, const Plane& dst, const RotationMap& map, uint32_t y0,
                   uint32_t y1, uint32_t x0, uint32_t x1, Kernel kernel) {
    const uint32_t firstColumn = GatherTile(tile, src, map, y0, y1, x0, x1);
    const NextGather<3> next(src, dst, map, firstColumn, y0, y1, x0, x1);
#ifdef PX_ROTATE_SSSE3
    if (kernel == Kernel::Best && HasSsse3()) {
        TransposeTile24Ssse3(tile, dst, next, map, firstColumn, y0, y1, x0, x1);
        return;
    }
#endif
    TransposeTile24(tile, dst, next, map, firstColumn, y0, y1, x0, x1);
}

void RotateBlock(Tile8& tile, const Plane& src, const Plane& dst, const RotationMap& map, uint32_t y0,
                  uint32_t y1, uint32_t x0, uint32_t x1, Kernel kernel) {
    const uint32_t firstColumn = GatherTile(tile, src, map, y0, y1, x0, x1);
    const NextGather<1> next(src, dst, map, firstColumn, y0, y1, x0, x1);
#ifdef PX_ROTATE_SSE2
    if (kernel == Kernel::Best) {
        TransposeTile8Sse2(tile, dst, next, map, firstColumn, y0, y1, x0, x1);
        return;
    }
#else
    (void)kernel;
#endif
    TransposeTile8(tile, dst, next, map, firstColumn, y0, y1, x0, x1);
}

}  // namespace PxRotation
