// 90-degree rotation. Work proceeds in 64 x 64 blocks of the result so that
// the column-wise reads of the source stay within a few cache lines; 24-bpp
// pixels and one-byte planes have block kernels of their own
// (PxRotateBlocks.cpp).
#include <cstring>
#include <memory>

#include "image/PxImage.h"
#include "image/PxRotation.h"

namespace {

using PxRotation::kBlock;
using PxRotation::Plane;
using PxRotation::RotationMap;

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

// Rotates a whole plane of 24-bpp pixels (N = 3) or bytes (N = 1).
template <uint32_t N>
void RotatePlane(const Plane& src, const Plane& dst, const RotationMap& map, int32_t& progress) {
    std::unique_ptr<PxRotation::Tile<N>> tile(new PxRotation::Tile<N>);
    ForEachBlockRows(dst.width, map.srcWidth, progress, [&](uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
        PxRotation::RotateBlock(*tile, src, dst, map, y0, y1, x0, x1);
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
    const Plane s{info_.firstPixel, info_.effWidth, w};
    const Plane d{tmp.info_.firstPixel, tmp.info_.effWidth, h};
    if (bpp == 24) {
        RotatePlane<3>(s, d, map, progress);
    } else if (bpp == 8) {
        RotatePlane<1>(s, d, map, progress);
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
        RotatePlane<1>(s, d, map, ignored);
    }
    if (selection_)
        tmp.info_.selectionBox = RotateBox(info_.selectionBox, map);
    return Transfer(tmp, dst);
}
