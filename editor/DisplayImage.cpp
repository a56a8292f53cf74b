#include "editor/DisplayImage.h"

#include "image/PxBlockPool.h"

#include <cstring>

namespace {

const RGBQUAD kWhite{255, 255, 255, 0};

// Pictures whose fitted copy is exactly "shrink, centre on white" of opaque
// 24-bit pixels; everything else takes the general path.
bool IsPlain24(const PxImage& p) {
    return p.IsValid() && p.GetBpp() == 24 && !p.HasAlpha() && !p.HasSelection() &&
           p.GetTransIndex() < 0 && !p.IsAlphaPaletteEnabled() && p.GetNumFrames() == 0;
}

}  // namespace

CanvasSize FitToBoxScaledSize(CanvasSize picture, CanvasSize box) {
    if (picture.width <= 0 || picture.height <= 0 || box.width <= 0 || box.height <= 0)
        return CanvasSize{0, 0};
    if (picture.width <= box.width && picture.height <= box.height)
        return picture;
    // The library's own sizing, so both zoom paths produce the same geometry.
    uint32_t nw = 0, nh = 0;
    PxImage::FitToBoxSize(static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height),
                          static_cast<uint32_t>(box.width), static_cast<uint32_t>(box.height), &nw,
                          &nh);
    return CanvasSize{static_cast<int32_t>(nw), static_cast<int32_t>(nh)};
}

CanvasSize DisplayImage::Size() const {
    if (!IsValid())
        return CanvasSize{0, 0};
    return CanvasSize{static_cast<int32_t>(GetWidth()), static_cast<int32_t>(GetHeight())};
}

bool DisplayImage::Rebuild(const PxImage& picture, CanvasSize box, size_t reserveBytes) {
    if (!picture.IsValid() || box.width <= 0 || box.height <= 0)
        return false;
    const CanvasSize own{static_cast<int32_t>(picture.GetWidth()),
                         static_cast<int32_t>(picture.GetHeight())};
    const CanvasSize scaled = FitToBoxScaledSize(own, box);
    if (IsPlain24(picture) && scaled.width <= box.width && scaled.height <= box.height) {
        if (scaled == own) {
            if (Reshape(box.width, box.height, 24, picture, reserveBytes))
                return CopyCentred(picture, box);
        } else if (scaled.width > 0 && scaled.height > 0 && scaled.width < own.width &&
                   scaled.height < own.height &&
                   static_cast<uint32_t>(own.height) <= PxAreaShrink::kMaxHeight) {
            if (Reshape(box.width, box.height, 24, picture, reserveBytes))
                return ShrinkCentred(picture, box, scaled);
        }
    }
    PxImage result;
    if (!const_cast<PxImage&>(picture).FitToBox(box.width, box.height, kWhite, &result))
        return false;
    return TakeFrom(result);
}

bool DisplayImage::TakeFrom(PxImage& result) {
    return MoveFrom(result, true);
}

size_t DisplayImage::Capacity() const {
    return PxBlockPool::Capacity(GetDIB());
}

bool DisplayImage::RotateLeft() {
    PxImage result;
    return IsValid() && RotateCounterClockwise(&result) && TakeFrom(result);
}

bool DisplayImage::RotateRight() {
    PxImage result;
    return IsValid() && RotateClockwise(&result) && TakeFrom(result);
}

void DisplayImage::Release() {
    DestroyFrames();
    Destroy();
}

bool DisplayImage::CropInto(const RECT& rect, PxImage& target) {
    return IsValid() && Crop(rect, &target);
}

// White everywhere except the inner rectangle (top-down left, top).
void DisplayImage::FillWhite(CanvasSize box, int32_t left, int32_t top, CanvasSize inner) {
    const size_t rowBytes = static_cast<size_t>(box.width) * 3;  // the padding stays zero
    for (int32_t y = 0; y < box.height; ++y) {
        uint8_t* row = GetBits(static_cast<uint32_t>(box.height - 1 - y));
        if (y < top || y >= top + inner.height) {
            std::memset(row, 0xFF, rowBytes);
            continue;
        }
        std::memset(row, 0xFF, static_cast<size_t>(left) * 3);
        const size_t end = static_cast<size_t>(left + inner.width) * 3;
        std::memset(row + end, 0xFF, rowBytes - end);
    }
}

bool DisplayImage::CopyCentred(const PxImage& picture, CanvasSize box) {
    const CanvasSize own{static_cast<int32_t>(picture.GetWidth()),
                         static_cast<int32_t>(picture.GetHeight())};
    const int32_t left = (box.width - own.width) / 2;
    const int32_t top = (box.height - own.height) / 2;
    FillWhite(box, left, top, own);
    const int32_t bottom = box.height - top - own.height;  // bottom-up row of the picture's base
    for (int32_t y = 0; y < own.height; ++y) {
        std::memcpy(GetBits(static_cast<uint32_t>(bottom + y)) + static_cast<size_t>(left) * 3,
                    picture.GetBits(static_cast<uint32_t>(y)), static_cast<size_t>(own.width) * 3);
    }
    return true;
}

bool DisplayImage::ShrinkCentred(const PxImage& picture, CanvasSize box, CanvasSize scaled) {
    const int32_t left = (box.width - scaled.width) / 2;
    const int32_t top = (box.height - scaled.height) / 2;
    const int32_t bottom = box.height - top - scaled.height;
    const PxPixels24 src{picture.GetBits(0), static_cast<ptrdiff_t>(picture.GetEffWidth()),
                       picture.GetWidth(), picture.GetHeight()};
    const PxPixels24Out dst{GetBits(static_cast<uint32_t>(bottom)) + static_cast<size_t>(left) * 3,
                          static_cast<ptrdiff_t>(GetEffWidth()),
                          static_cast<uint32_t>(scaled.width), static_cast<uint32_t>(scaled.height)};
    if (!shrink_.Run(src, dst)) {
        Release();
        return false;
    }
    FillWhite(box, left, top, scaled);
    return true;
}
