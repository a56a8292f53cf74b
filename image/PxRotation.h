#pragma once
// The pieces of 90-degree rotation shared by the image operation and its
// block kernels. Internal to the image library.
#include <cstddef>
#include <cstdint>

namespace PxRotation {

constexpr uint32_t kBlock = 64;  // results are produced in kBlock x kBlock blocks

// Storage coordinates (bottom-up rows) of a W x H source and its H x W result:
//   counter-clockwise: result (x, y) = source (y, H-1-x)
//   clockwise:         result (x, y) = source (W-1-y, x)
// which are the display-terms mappings with row 0 at the top.
struct RotationMap {
    bool clockwise;
    uint32_t srcWidth;
    uint32_t srcHeight;

    // Source column of every pixel of result row y.
    uint32_t SourceColumn(uint32_t y) const { return clockwise ? srcWidth - 1 - y : y; }
    // Source row of result column x.
    uint32_t SourceRow(uint32_t x) const { return clockwise ? x : srcHeight - 1 - x; }
};

// A plane of pixels: first row, row stride, width in pixels.
struct Plane {
    uint8_t* first;
    size_t stride;
    uint32_t width;
};

// Scratch space for one block of source pixels of N bytes each.
template <uint32_t N>
struct Tile {
    static constexpr uint32_t kStride = kBlock * N + 16;  // 16 spare bytes for vector loads
    alignas(16) uint8_t bytes[kBlock * kStride];
    uint8_t* Row(uint32_t k) { return bytes + size_t{k} * kStride; }
};
using Tile8 = Tile<1>;
using Tile24 = Tile<3>;

enum class Kernel { Best, Portable };

// Write result rows y0..y1-1, columns x0..x1-1 of a rotation of 24-bpp
// pixels or of a one-byte plane. Best picks the vector kernel when the
// processor has one. Blocks must be visited left to right along each band of
// kBlock result rows: a block may scribble on the first two pixels of the
// block to its right, which that block then overwrites.
void RotateBlock(Tile24& tile, const Plane& src, const Plane& dst, const RotationMap& map, uint32_t y0,
                   uint32_t y1, uint32_t x0, uint32_t x1, Kernel kernel = Kernel::Best);
void RotateBlock(Tile8& tile, const Plane& src, const Plane& dst, const RotationMap& map, uint32_t y0,
                  uint32_t y1, uint32_t x0, uint32_t x1, Kernel kernel = Kernel::Best);

}  // namespace PxRotation
