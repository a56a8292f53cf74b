#pragma once
// The canvas's display image: the picture fitted to the current zoom (and
// turned by any rotation since), which is drawn, rotated and cut.
//
// It keeps its pixel block across rebuilds whenever the new size fits in
// it (PxImage::Reshape), because fresh memory costs a page fault per 4 KiB
// and a zoom step at 4x writes about 20 MiB.
#include <cstddef>
#include <cstdint>

#include "image/PxAreaShrink.h"
#include "editor/CanvasGeometry.h"
#include "image/PxImage.h"

class DisplayImage : private PxImage {
public:
    DisplayImage() = default;

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
    // Bytes of the held pixel block, 0 when there is none.
    size_t Capacity() const;
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
    bool TakeFrom(PxImage& result);
    bool CopyCentred(const PxImage& picture, CanvasSize box);
    bool ShrinkCentred(const PxImage& picture, CanvasSize box, CanvasSize scaled);
    void FillWhite(CanvasSize box, int32_t left, int32_t top, CanvasSize inner);

    PxAreaShrink shrink_;
};

// The size FitToBox shrinks a width x height picture to for a box, or the
// picture's own size when it fits.
CanvasSize FitToBoxScaledSize(CanvasSize picture, CanvasSize box);
