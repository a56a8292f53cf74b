// The 24-bpp rotation kernels against the coordinate mapping, on raw
// planes. Both kernels run on every machine, whichever one the library
// would choose, so the portable one cannot rot unseen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/PxRotation.h"

namespace {

using PxRotation::Kernel24;
using PxRotation::kBlock;
using PxRotation::Plane;
using PxRotation::RotationMap;

struct Picture {
    uint32_t width, height;
    size_t stride;
    std::vector<uint8_t> bytes;

    Picture(uint32_t w, uint32_t h, uint32_t seed)
        : width(w), height(h), stride((size_t{3} * w + 3) & ~size_t{3}), bytes(stride * h + 4) {
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>((i * 2654435761u + seed) >> 11);
    }
    Plane AsPlane() { return Plane{bytes.data(), stride, width}; }
    const uint8_t* At(uint32_t x, uint32_t y) const { return bytes.data() + y * stride + size_t{3} * x; }
};

// Rotates block by block the way the image operation walks a picture.
void Rotate(Picture& src, Picture& dst, bool clockwise, Kernel24 kernel) {
    const RotationMap map{clockwise, src.width, src.height};
    PxRotation::Tile24 tile;
    const Plane s = src.AsPlane(), d = dst.AsPlane();
    for (uint32_t y = 0; y < dst.height; y += kBlock)
        for (uint32_t x = 0; x < dst.width; x += kBlock)
            PxRotation::RotateBlock24(tile, s, d, map, y, std::min(dst.height, y + kBlock), x,
                                      std::min(dst.width, x + kBlock), kernel);
}

TEST(RotateKernel24, EveryKernelFollowsTheMappingInBothDirections) {
    // Sizes on, under and past block edges, and rests of 1-3 pixels.
    const uint32_t sizes[][2] = {{1, 1}, {3, 5}, {4, 4}, {64, 64}, {65, 63}, {131, 70}, {70, 131}, {200, 129}};
    for (Kernel24 kernel : {Kernel24::Best, Kernel24::Portable})
        for (bool clockwise : {true, false})
            for (const auto& size : sizes) {
                Picture src(size[0], size[1], size[0] * 7 + size[1]);
                Picture dst(size[1], size[0], 0);
                const std::vector<uint8_t> padding(dst.bytes);
                Rotate(src, dst, clockwise, kernel);
                const RotationMap map{clockwise, src.width, src.height};
                for (uint32_t y = 0; y < dst.height; ++y)
                    for (uint32_t x = 0; x < dst.width; ++x) {
                        const uint8_t* got = dst.At(x, y);
                        const uint8_t* want = src.At(map.SourceColumn(y), map.SourceRow(x));
                        ASSERT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2])
                            << (kernel == Kernel24::Best ? "best" : "portable") << (clockwise ? " cw " : " ccw ")
                            << size[0] << "x" << size[1] << " at " << x << "," << y;
                    }
                // Row padding and the bytes past the last row stay untouched.
                for (uint32_t y = 0; y < dst.height; ++y)
                    for (size_t b = size_t{3} * dst.width; b < dst.stride; ++b)
                        ASSERT_EQ(dst.bytes[y * dst.stride + b], padding[y * dst.stride + b])
                            << size[0] << "x" << size[1] << " row " << y;
                for (size_t b = dst.stride * dst.height; b < dst.bytes.size(); ++b)
                    ASSERT_EQ(dst.bytes[b], padding[b]);
            }
}

}  // namespace
