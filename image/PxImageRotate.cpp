// 90-degree rotation. Work proceeds in 64 x 64 blocks of the result so that
// the column-wise reads of the source stay within a few cache lines.
//
// Storage coordinates (bottom-up rows) of a W x H source and its H x W result:
//   counter-clockwise: result (x, y) = source (y, H-1-x)
//   clockwise:         result (x, y) = source (W-1-y, x)
// which are the display-terms mappings with row 0 at the top.
#include <cstring>

#include "image/PxImage.h"

namespace {

constexpr uint32_t kBlock = 64;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndian = false;  // the word-wise 24-bpp path assumes little-endian
#else
constexpr bool kLittleEndian = true;
#endif

struct RotationMap {
    bool clockwise;
    uint32_t srcWidth;
    uint32_t srcHeight;

    // Source column of every pixel of result row y.
    uint32_t SourceColumn(uint32_t y) const { return clockwise ? srcWidth - 1 - y : y; }
    // Source row of result column x.
    uint32_t SourceRow(uint32_t x) const { return clockwise ? x : srcHeight - 1 - x; }
};

// A plane of N-byte pixels: first row, row stride, width in pixels.
struct Plane {
    uint8_t* first;
    size_t stride;
    uint32_t width;
};

// Copies result row y, columns x0..x1-1. Along a result row the source
// column is fixed and the source row steps by one, so the reads walk down
// or up a column of the source.
template <int N>
void RotateRun(const Plane& src, const Plane& dst, const RotationMap& map, uint32_t y, uint32_t x0,
               uint32_t x1) {
    const ptrdiff_t step = map.clockwise ? static_cast<ptrdiff_t>(src.stride)
                                         : -static_cast<ptrdiff_t>(src.stride);
    const uint8_t* s = src.first + map.SourceRow(x0) * src.stride + size_t{N} * map.SourceColumn(y);
    uint8_t* d = dst.first + y * dst.stride + size_t{N} * x0;
    if (N == 1) {
        for (uint32_t x = x0; x < x1; ++x, s += step)
            *d++ = *s;
        return;
    }
    // Whole 4-byte moves; the byte past each pixel is rewritten by the next
    // one, and the last pixel of a result row is copied exactly. Reads may
    // touch one byte past a pixel, which the block allocator keeps readable.
    const uint32_t last = x1 == dst.width ? x1 - 1 : x1;
    uint32_t x = x0;
    for (; x < last; ++x, s += step, d += N) {
        uint32_t v;
        std::memcpy(&v, s, 4);
        std::memcpy(d, &v, 4);
    }
    if (x < x1)
        std::memcpy(d, s, N);
}

// 24 bpp, block rows y0..y1-1 and columns x0..x1-1 of the result. Four
// result columns come from four source rows; walking down the result rows
// walks along those four source rows, so every read streams forwards and
// each result row receives one 12-byte write. Reads may touch one byte past
// a pixel, which the block allocator keeps readable.
void RotateBlock24(const Plane& src, const Plane& dst, const RotationMap& map, uint32_t y0,
                   uint32_t y1, uint32_t x0, uint32_t x1) {
    uint32_t x = x0;
    for (; x + 4 <= x1; x += 4) {
        const uint8_t* rows[4];
        for (uint32_t k = 0; k < 4; ++k)
            rows[k] = src.first + map.SourceRow(x + k) * src.stride;
        // Visit the result rows in the order that reads the source rows
        // forwards (the hardware prefetchers follow ascending streams best).
        const bool down = map.clockwise;
        const ptrdiff_t step = down ? -static_cast<ptrdiff_t>(dst.stride)
                                    : static_cast<ptrdiff_t>(dst.stride);
        uint8_t* out = dst.first + size_t{down ? y1 - 1 : y0} * dst.stride + size_t{3} * x;
        for (uint32_t i = y0; i < y1; ++i, out += step) {
            const uint32_t y = down ? y1 - 1 - (i - y0) : i;
            const size_t sx = size_t{3} * map.SourceColumn(y);
            uint32_t p[4];
            for (uint32_t k = 0; k < 4; ++k)
                std::memcpy(&p[k], rows[k] + sx, 4);
            const uint64_t lo = (p[0] & 0xFFFFFFu) | (uint64_t{p[1] & 0xFFFFFFu} << 24) |
                                (uint64_t{p[2]} << 48);
            const uint32_t hi = ((p[2] >> 16) & 0xFFu) | (p[3] << 8);
            std::memcpy(out, &lo, 8);
            std::memcpy(out + 8, &hi, 4);
        }
    }
    for (; x < x1; ++x) {
        const uint8_t* row = src.first + map.SourceRow(x) * src.stride;
        for (uint32_t y = y0; y < y1; ++y)
            std::memcpy(dst.first + y * dst.stride + size_t{3} * x,
                        row + size_t{3} * map.SourceColumn(y), 3);
    }
}

// Calls run(y0, y1, x0, x1) for every 64 x 64 block of a width x height
// result (rows y0..y1-1, columns x0..x1-1), advancing progress from 0
// towards 100.
template <typename Run>
void ForEachBlockRows(uint32_t width, uint32_t height, int32_t& progress, Run run) {
    const uint64_t blocksX = (width + kBlock - 1) / kBlock;
    const uint64_t total = blocksX * ((height + kBlock - 1) / kBlock);
    uint64_t done = 0;
    for (uint32_t by = 0; by < height; by += kBlock) {
        const uint32_t yEnd = height - by < kBlock ? height : by + kBlock;
        for (uint32_t bx = 0; bx < width; bx += kBlock) {
            const uint32_t xEnd = width - bx < kBlock ? width : bx + kBlock;
            run(by, yEnd, bx, xEnd);
            progress = static_cast<int32_t>(++done * 100 / total);
        }
    }
}

// Calls run(y, x0, x1) for every row run of every block.
template <typename Run>
void ForEachBlock(uint32_t width, uint32_t height, int32_t& progress, Run run) {
    ForEachBlockRows(width, height, progress, [&](uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
        for (uint32_t y = y0; y < y1; ++y)
            run(y, x0, x1);
    });
}

// The selection box is [left, right) x [bottom, top) in storage coordinates.
RECT RotateBox(const RECT& box, const RotationMap& map) {
    RECT r;
    const int32_t w = static_cast<int32_t>(map.srcWidth);
    const int32_t h = static_cast<int32_t>(map.srcHeight);
    if (map.clockwise) {
        r.left = box.bottom;
        r.right = box.top;
        r.bottom = w - box.right;
        r.top = w - box.left;
    } else {
        r.left = h - box.top;
        r.right = h - box.bottom;
        r.bottom = box.left;
        r.top = box.right;
    }
    return r;
}

}  // namespace

bool PxImage::RotateClockwise(PxImage* dst) {
    return Rotate90(true, dst);
}

bool PxImage::RotateCounterClockwise(PxImage* dst) {
    return Rotate90(false, dst);
}

bool PxImage::Rotate90(bool clockwise, PxImage* dst) {
    if (!IsValid())
        return false;
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    PxImage tmp(GetType());
    if (!tmp.Create(h, w, bpp, GetType())) {
        CopyErrorFrom(tmp);
        return false;
    }
    tmp.SetPalette(GetPalette(), 256);
    if ((alpha_ && !tmp.CreateAlpha()) || (selection_ && !tmp.CreateSelection())) {
        SetLastError("PxImage::Create can't allocate memory");
        return false;
    }
    const RotationMap map{clockwise, w, h};
    int32_t& progress = info_.progress;
    if (bpp == 24 || bpp == 8) {
        const uint32_t n = bpp / 8;
        const Plane s{info_.firstPixel, info_.effWidth, w};
        const Plane d{tmp.info_.firstPixel, tmp.info_.effWidth, h};
        ForEachBlockRows(h, w, progress, [&](uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
            if (n == 3 && kLittleEndian) {
                RotateBlock24(s, d, map, y0, y1, x0, x1);
                return;
            }
            for (uint32_t y = y0; y < y1; ++y) {
                if (n == 3)
                    RotateRun<3>(s, d, map, y, x0, x1);
                else
                    RotateRun<1>(s, d, map, y, x0, x1);
            }
        });
    } else {
        if (bpp == 1)
            std::memset(tmp.info_.firstPixel, 0, tmp.head_.biSizeImage);
        ForEachBlock(h, w, progress, [&](uint32_t y, uint32_t x0, uint32_t x1) {
            const int32_t sx = static_cast<int32_t>(map.SourceColumn(y));
            for (uint32_t x = x0; x < x1; ++x)
                tmp.SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                  GetPixelIndex(sx, static_cast<int32_t>(map.SourceRow(x))));
        });
    }
    for (uint8_t* plane : {alpha_, selection_}) {
        if (!plane)
            continue;
        const Plane s{plane, w, w};
        const Plane d{plane == alpha_ ? tmp.alpha_ : tmp.selection_, h, h};
        int32_t ignored = 0;
        ForEachBlock(h, w, ignored, [&](uint32_t y, uint32_t x0, uint32_t x1) {
            RotateRun<1>(s, d, map, y, x0, x1);
        });
    }
    if (selection_)
        tmp.info_.selectionBox = RotateBox(info_.selectionBox, map);
    return Transfer(tmp, dst);
}
