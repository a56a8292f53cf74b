// The rotation block kernels (24-bpp pixels and one-byte planes) against
// the coordinate mapping, on raw planes. Every kernel runs on every
// machine, whichever one the library would choose, so the portable ones
// cannot rot unseen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/PxRotation.h"

namespace {

using PxRotation::Kernel;
using PxRotation::kBlock;
using PxRotation::Plane;
using PxRotation::RotationMap;

// N bytes per pixel; rows padded to four bytes the way the image model
// pads them (one-byte planes such as alpha are not padded, which the widths
// below exercise too when 3 * w or w is a multiple of 4).
template <uint32_t N>
struct Picture {
    uint32_t width, height;
    size_t stride;
    std::vector<uint8_t> bytes;

    Picture(uint32_t w, uint32_t h, uint32_t seed)
        : width(w), height(h), stride((size_t{N} * w + 3) & ~size_t{3}), bytes(stride * h + 4) {
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>((i * 2654435761u + seed) >> 11);
    }
    Plane AsPlane() { return Plane{bytes.data(), stride, width}; }
    const uint8_t* At(uint32_t x, uint32_t y) const { return bytes.data() + y * stride + size_t{N} * x; }
};

// Rotates block by block the way the image operation walks a picture.
template <uint32_t N>
void Rotate(Picture<N>& src, Picture<N>& dst, bool clockwise, Kernel kernel) {
    const RotationMap map{clockwise, src.width, src.height};
    PxRotation::Tile<N> tile;
    const Plane s = src.AsPlane(), d = dst.AsPlane();
    for (uint32_t y = 0; y < dst.height; y += kBlock)
        for (uint32_t x = 0; x < dst.width; x += kBlock)
            PxRotation::RotateBlock(tile, s, d, map, y, std::min(dst.height, y + kBlock), x,
                                    std::min(dst.width, x + kBlock), kernel);
}

template <uint32_t N>
void ExpectEveryKernelFollowsTheMapping() {
    // Sizes on, under and past block edges, and rests of 1-7 pixels.
    const uint32_t sizes[][2] = {{1, 1},    {3, 5},     {4, 4},     {8, 8},    {64, 64},
                                 {65, 63},  {131, 70},  {70, 131},  {200, 129}, {127, 9}};
    for (Kernel kernel : {Kernel::Best, Kernel::Portable})
        for (bool clockwise : {true, false})
            for (const auto& size : sizes) {
                Picture<N> src(size[0], size[1], size[0] * 7 + size[1]);
                Picture<N> dst(size[1], size[0], 0);
                const std::vector<uint8_t> before(dst.bytes);
                Rotate(src, dst, clockwise, kernel);
                const RotationMap map{clockwise, src.width, src.height};
                const std::string which = std::string(kernel == Kernel::Best ? "best" : "portable") +
                                          (clockwise ? " cw " : " ccw ") + std::to_string(size[0]) + "x" +
                                          std::to_string(size[1]);
                for (uint32_t y = 0; y < dst.height; ++y)
                    for (uint32_t x = 0; x < dst.width; ++x)
                        ASSERT_EQ(0, std::memcmp(dst.At(x, y), src.At(map.SourceColumn(y), map.SourceRow(x)), N))
                            << which << " at " << x << "," << y;
                // Row padding and the bytes past the last row stay untouched.
                for (uint32_t y = 0; y < dst.height; ++y)
                    for (size_t b = size_t{N} * dst.width; b < dst.stride; ++b)
                        ASSERT_EQ(dst.bytes[y * dst.stride + b], before[y * dst.stride + b])
                            << which << " row " << y;
                for (size_t b = dst.stride * dst.height; b < dst.bytes.size(); ++b)
                    ASSERT_EQ(dst.bytes[b], before[b]) << which;
            }
}

TEST(RotateKernel, EveryKernelFollowsTheMappingFor24BitPixels) {
    ExpectEveryKernelFollowsTheMapping<3>();
}

TEST(RotateKernel, EveryKernelFollowsTheMappingForBytePlanes) {
    ExpectEveryKernelFollowsTheMapping<1>();
}

}  // namespace
