#pragma once
// The canvas's display image: the picture fitted to the current zoom (and
// turned by any rotation since), which is drawn, rotated and cut.
//
// It keeps its pixel block across rebuilds whenever the new size fits in
// it, because fresh memory costs a page fault per 4 KiB and a zoom step at
// 4x writes about 20 MiB. Every change of the block goes through this class
// (the PxImage base is private), so the recorded capacity always belongs to
// the block that is held.
#include <cstddef>
#include <cstdint>

#include "image/PxAreaShrink.h"
#include "editor/CanvasGeometry.h"
#include "image/PxImage.h"

class DisplayImage : private PxImage {
public:
    DisplayImage() : capacity_(0) {}

    // Becomes picture.FitToBox(box, white): shrunk by area average when it
    // is larger than the box, then centred on a white box-sized canvas. A
    // plain 24-bpp picture is written straight into the kept block; other
    // pictures go through PxImage::FitToBox. reserveBytes is a hint for the
    // largest block later rebuilds may need (0: none). On failure the image
    // is left as it was and false is returned.
    bool Rebuild(const PxImage& picture, CanvasSize box, size_t reserveBytes = 0);
    bool RotateLeft();
    bool RotateRight();
    // Frees the pixel block.
    void Release();

    // Cuts the top-down rectangle (clamped to the image) into target;
    // false when the overlap is empty.
    bool CropInto(const RECT& rect, PxImage& target);

    const PxImage& Image() const { return *this; }
    CanvasSize Size() const;
    size_t Capacity() const { return capacity_; }
    using PxImage::GetBits;
    using PxImage::GetDIB;
    using PxImage::GetHeight;
    using PxImage::GetPixelColor;
    using PxImage::GetWidth;
    using PxImage::IsValid;
#if defined(_WIN32)
    using PxImage::Draw;
#endif

private:
    // Makes this a width x height 24-bpp image with the attributes of like,
    // reusing the block when it is large enough. Pixels are not set.
    bool Reshape24(uint32_t width, uint32_t height, const PxImage& like, size_t reserveBytes);
    bool TakeFrom(PxImage& result);
    bool CopyCentred(const PxImage& picture, CanvasSize box);
    bool ShrinkCentred(const PxImage& picture, CanvasSize box, CanvasSize scaled);
    void FillWhite(CanvasSize box, int32_t left, int32_t top, CanvasSize inner);

    size_t capacity_;  // bytes of the held block, 0 when there is none
    PxAreaShrink shrink_;
};

// The size FitToBox shrinks a width x height picture to for a box, or the
// picture's own size when it fits.
CanvasSize FitToBoxScaledSize(CanvasSize picture, CanvasSize box);
