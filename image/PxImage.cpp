// PxImage storage and lifetime: construction, Create, Destroy, copy, move,
// share, and the attribute accessors.
#include "image/PxImage.h"

#include "image/PxBlockPool.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kHeaderSize = sizeof(BITMAPINFOHEADER);

uint32_t RoundBpp(uint32_t bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    return 24;
}

uint32_t ColorsForBpp(uint32_t bpp) {
    return bpp <= 8 ? (1u << bpp) : 0;
}

// Saturates: a file may claim any resolution up to INT32_MAX dots per inch,
// which is about 39 times too many pixels per metre for an int32.
int32_t PixelsPerMetre(int32_t dpi) {
    const double perMetre = std::floor(dpi * 10000.0 / 254.0 + 0.5);
    return perMetre >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(perMetre);
}

// Deletes an owned array of images and empties the list.
void DeleteImageList(PxImage**& list, int32_t& count) {
    for (int32_t i = 0; i < count; ++i)
        delete list[i];
    delete[] list;
    list = nullptr;
    count = 0;
}

}  // namespace

bool PxCheckedImageSize(uint32_t width, uint32_t height, uint32_t bpp, uint32_t* stride,
                        uint32_t* imageSize) {
    if (width == 0 || height == 0 || bpp == 0 || width > INT32_MAX || height > INT32_MAX)
        return false;
    const uint64_t bits = static_cast<uint64_t>(width) * height * bpp;
    if (bits > UINT32_MAX || bits / 8 > PXIMAGE_MAX_MEMORY)
        return false;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
    const uint64_t total = rowBytes * height;
    // Row padding adds at most 3 bytes per row over the limit checked above;
    // the rows actually allocated must still stay within twice the limit, or
    // a 1-pixel-wide picture of 2^31 rows would overflow the 32-bit size.
    if (total > static_cast<uint64_t>(PXIMAGE_MAX_MEMORY) + 4ull * height ||
        total > 2ull * PXIMAGE_MAX_MEMORY)
        return false;
    if (stride)
        *stride = static_cast<uint32_t>(rowBytes);
    if (imageSize)
        *imageSize = static_cast<uint32_t>(total);
    return true;
}

bool PxCheckedPlaneSize(uint32_t width, uint32_t height, uint32_t* planeSize) {
    const uint64_t total = static_cast<uint64_t>(width) * height;
    if (total == 0 || total > PXIMAGE_MAX_MEMORY)
        return false;
    if (planeSize)
        *planeSize = static_cast<uint32_t>(total);
    return true;
}

PxImage::PxImage(uint32_t type) {
    Startup(type);
}

PxImage::PxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
    Startup(type);
    Create(width, height, bpp, type);
}

PxImage::PxImage(const PxImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    Startup(src.GetType());
    CopyFrom(src, copyPixels, copySelection, copyAlpha);
}

PxImage::~PxImage() {
    DestroyFrames();
    Destroy();
}

void PxImage::Startup(uint32_t type) {
    dib_ = nullptr;
    selection_ = nullptr;
    alpha_ = nullptr;
    layers_ = nullptr;
    layerCount_ = 0;
    frames_ = nullptr;
    frameCount_ = 0;
    std::memset(&head_, 0, sizeof(head_));
    std::memset(&info_, 0, sizeof(info_));
    info_.type = type;
    info_.jpegQuality = 90.0f;
    info_.alphaMax = 255;
    info_.backgroundIndex = -1;
    info_.enabled = true;
    info_.dpiX = 96;
    info_.dpiY = 96;
    const uint16_t one = 1;
    uint8_t firstByte;
    std::memcpy(&firstByte, &one, 1);
    info_.littleEndianHost = firstByte == 1;
}

void PxImage::SetLastError(const char* message) {
    std::strncpy(info_.lastError, message ? message : "", sizeof(info_.lastError) - 1);
    info_.lastError[sizeof(info_.lastError) - 1] = '\0';
}

void PxImage::CopyErrorFrom(const PxImage& other) {
    if (&other != this)
        std::memcpy(info_.lastError, other.info_.lastError, sizeof(info_.lastError));
}

void PxImage::WriteHeaderToBlock() {
    if (dib_)
        std::memcpy(dib_, &head_, kHeaderSize);
}

uint8_t* PxImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
    if (!Destroy())
        return nullptr;
    Layout layout;
    if (!PlanLayout(width, height, bpp, &layout))
        return nullptr;
    uint8_t* block = PxBlockPool::Allocate(layout.blockSize);
    if (!block) {
        SetLastError("PxImage::Create can't allocate memory");
        return nullptr;
    }
    info_.type = type;
    LayOut(block, layout);
    return dib_;
}

bool PxImage::PlanLayout(uint32_t width, uint32_t height, uint32_t bpp, Layout* layout) {
    if (width == 0 || height == 0) {
        SetLastError("PxImage::Create : width and height must be greater than zero");
        return false;
    }
    layout->width = width;
    layout->height = height;
    layout->bpp = RoundBpp(bpp);
    if (!PxCheckedImageSize(width, height, layout->bpp, &layout->stride, &layout->imageSize)) {
        SetLastError("PXIMAGE_MAX_MEMORY exceeded");
        return false;
    }
    layout->colors = ColorsForBpp(layout->bpp);
    layout->blockSize = size_t{kHeaderSize} + layout->colors * 4u + layout->imageSize;
    return true;
}

void PxImage::LayOut(uint8_t* block, const Layout& layout) {
    head_.biSize = kHeaderSize;
    head_.biWidth = static_cast<int32_t>(layout.width);
    head_.biHeight = static_cast<int32_t>(layout.height);
    head_.biPlanes = 1;
    head_.biBitCount = static_cast<uint16_t>(layout.bpp);
    head_.biCompression = BI_RGB;
    head_.biSizeImage = layout.imageSize;
    head_.biXPelsPerMeter = PixelsPerMetre(info_.dpiX);
    head_.biYPelsPerMeter = PixelsPerMetre(info_.dpiY);
    head_.biClrUsed = layout.colors;
    head_.biClrImportant = 0;
    info_.effWidth = layout.stride;
    info_.lastColorValid = false;

    dib_ = block;
    std::memset(dib_ + kHeaderSize, 0, layout.colors * 4u);
    WriteHeaderToBlock();
    info_.firstPixel = dib_ + kHeaderSize + layout.colors * 4u;
    ClearRowPadding();
}

bool PxImage::Reshape(uint32_t width, uint32_t height, uint32_t bpp, const PxImage& like,
                      size_t reserveBytes) {
    if (IsGhost())
        return false;
    Layout layout;
    if (!PlanLayout(width, height, bpp, &layout))
        return false;
    uint8_t* block = dib_;
    if (!block || PxBlockPool::Capacity(block) < layout.blockSize) {
        // The reserve only costs address space until its pages are used.
        block = reserveBytes > layout.blockSize ? PxBlockPool::Allocate(reserveBytes) : nullptr;
        if (!block)
            block = PxBlockPool::Allocate(layout.blockSize);
        if (!block) {
            SetLastError("PxImage::Create can't allocate memory");
            return false;
        }
    }
    const ImageInfo attributes = like.info_;
    if (block != dib_) {
        Destroy();
    } else {
        DeleteImageList(layers_, layerCount_);
        DeletePlane(alpha_);
        DeletePlane(selection_);
    }
    DestroyFrames();
    AdoptAttributes(attributes);
    LayOut(block, layout);
    return true;
}

void PxImage::AdoptAttributes(const ImageInfo& from) {
    uint8_t* const firstPixel = info_.firstPixel;
    const uint32_t effWidth = info_.effWidth;
    info_ = from;
    info_.firstPixel = firstPixel;
    info_.effWidth = effWidth;
    info_.ghost = nullptr;
    info_.parent = nullptr;
    info_.numFrames = frameCount_;
    info_.numLayers = layerCount_;
    info_.lastColorValid = false;
}

void PxImage::ClearRowPadding() {
    if (!dib_)
        return;
    // Whole padding bytes, and the low bits of a last pixel byte that 1- and
    // 4-bpp rows share with padding (its pixel bits are kept).
    const uint64_t bits = uint64_t{GetWidth()} * GetBpp();
    const size_t whole = static_cast<size_t>((bits + 7) / 8);
    const size_t stride = info_.effWidth;
    const uint8_t keep = static_cast<uint8_t>(0xFF00u >> (bits % 8));
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        uint8_t* row = info_.firstPixel + y * stride;
        if (bits % 8)
            row[whole - 1] &= keep;
        if (whole < stride)
            std::memset(row + whole, 0, stride - whole);
    }
}

void PxImage::ClearRowsFrom(uint32_t row) {
    if (dib_ && row < GetHeight())
        std::memset(GetBits(row), 0, size_t{GetHeight() - row} * info_.effWidth);
}

bool PxImage::Destroy() {
    if (IsGhost())
        return false;
    DeleteImageList(layers_, layerCount_);
    info_.numLayers = 0;
    PxBlockPool::Release(selection_);
    PxBlockPool::Release(alpha_);
    PxBlockPool::Release(dib_);
    selection_ = alpha_ = dib_ = nullptr;
    info_.firstPixel = nullptr;
    return true;
}

bool PxImage::DestroyFrames() {
    if (IsGhost())
        return false;
    DeleteImageList(frames_, frameCount_);
    info_.numFrames = 0;
    return true;
}

bool PxImage::AdoptFrames(PxImage** frames, int32_t count) {
    if (!DestroyFrames())
        return false;
    frames_ = frames;
    frameCount_ = frames ? count : 0;
    info_.numFrames = frameCount_;
    return true;
}

PxImage* PxImage::GetFrame(int32_t index) const {
    return index >= 0 && index < frameCount_ ? frames_[index] : nullptr;
}

// Copies a width x height plane into a fresh buffer of this image.
bool PxImage::CopyPlane(uint8_t*& dst, const uint8_t* src) {
    uint32_t planeSize = 0;
    if (!PxCheckedPlaneSize(GetWidth(), GetHeight(), &planeSize))
        return false;
    uint8_t* copy = PxBlockPool::Allocate(planeSize);
    if (!copy)
        return false;
    std::memcpy(copy, src, planeSize);
    PxBlockPool::Release(dst);
    dst = copy;
    return true;
}

bool PxImage::CopyFrom(const PxImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&src == this)
        return IsValid();
    if (src.IsGhost())
        return ShareFrom(src);
    if (!src.IsValid()) {
        // Nothing to copy but the attributes; never size a block from a
        // header whose pixels are gone.
        if (!Destroy())
            return false;
        head_ = src.head_;
        info_ = src.info_;
        info_.firstPixel = nullptr;
        return false;
    }
    if (!Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType()))
        return false;
    uint8_t* const firstPixel = info_.firstPixel;
    const uint32_t effWidth = info_.effWidth;
    info_ = src.info_;
    info_.firstPixel = firstPixel;
    info_.effWidth = effWidth;
    info_.ghost = nullptr;
    // The header stays the one Create built for this block; only the fields
    // that do not describe the layout come from the source.
    head_.biXPelsPerMeter = src.head_.biXPelsPerMeter;
    head_.biYPelsPerMeter = src.head_.biYPelsPerMeter;
    if (src.head_.biClrImportant <= head_.biClrUsed)
        head_.biClrImportant = src.head_.biClrImportant;
    WriteHeaderToBlock();
    if (RGBQUAD* palette = GetPalette())
        std::memcpy(palette, src.GetPalette(), GetPaletteSize());
    if (copyPixels)
        std::memcpy(info_.firstPixel, src.info_.firstPixel, head_.biSizeImage);
    if (copySelection && src.selection_ && !CopyPlane(selection_, src.selection_))
        return false;
    if (copyAlpha && src.alpha_ && !CopyPlane(alpha_, src.alpha_))
        return false;
    return true;
}

// The state of a default-constructed image, without freeing anything: the
// buffers have been handed over.
void PxImage::ResetToEmpty() {
    Startup(PXIMAGE_FORMAT_UNKNOWN);
}

bool PxImage::MoveFrom(PxImage& src, bool moveFrames) {
    if (IsGhost())
        return false;
    if (&src == this)
        return true;
    if (!Destroy())
        return false;
    PxImage** frames = nullptr;
    int32_t frameCount = 0;
    if (moveFrames) {
        DestroyFrames();
        frames = src.frames_;
        frameCount = src.frameCount_;
        src.frames_ = nullptr;
        src.frameCount_ = 0;
    }
    TakeStorageOf(src);
    if (moveFrames) {
        frames_ = frames;
        frameCount_ = frameCount;
    }
    // The source keeps frames that were not moved, unless it was a ghost:
    // then they belong to the image it viewed.
    PxImage** keptFrames = src.IsGhost() ? nullptr : src.frames_;
    const int32_t keptCount = src.IsGhost() ? 0 : src.frameCount_;
    src.ResetToEmpty();
    src.frames_ = keptFrames;
    src.frameCount_ = keptCount;
    src.info_.numFrames = keptCount;
    return true;
}

// Points this image at src's header, attributes, planes and layers; the
// caller settles frames and who owns what.
void PxImage::TakeStorageOf(const PxImage& src) {
    head_ = src.head_;
    info_ = src.info_;
    dib_ = src.dib_;
    selection_ = src.selection_;
    alpha_ = src.alpha_;
    layers_ = src.layers_;
    layerCount_ = src.layerCount_;
}

bool PxImage::ShareFrom(const PxImage& src) {
    if (&src == this)
        return false;
    if (!IsGhost()) {
        DestroyFrames();
        Destroy();
    }
    TakeStorageOf(src);
    frames_ = src.frames_;
    frameCount_ = src.frameCount_;
    info_.ghost = const_cast<PxImage*>(&src);
    return true;
}

bool PxImage::Transfer(PxImage& tmp, PxImage* dst) {
    PxImage& target = dst ? *dst : *this;
    if (!target.MoveFrom(tmp, true)) {
        SetLastError("destination image is read-only");
        return false;
    }
    return true;
}

uint32_t PxImage::GetSize() const {
    if (!dib_)
        return 0;
    return kHeaderSize + head_.biClrUsed * 4u + head_.biSizeImage;
}

uint8_t* PxImage::GetBits(uint32_t row) const {
    if (!dib_ || row >= GetHeight())
        return nullptr;
    return info_.firstPixel + static_cast<size_t>(row) * info_.effWidth;
}

RGBQUAD* PxImage::GetPalette() const {
    if (!dib_ || head_.biClrUsed == 0)
        return nullptr;
    return reinterpret_cast<RGBQUAD*>(dib_ + kHeaderSize);
}

void PxImage::SetQuality(uint32_t quality) {
    info_.jpegQuality = static_cast<float>(quality & 0xFF);
}

uint8_t PxImage::GetQuality() const {
    return static_cast<uint8_t>(info_.jpegQuality + 0.5f);
}

void PxImage::SetDpiX(int32_t dpi) {
    if (dpi <= 0)
        dpi = 96;
    info_.dpiX = dpi;
    head_.biXPelsPerMeter = PixelsPerMetre(dpi);
    WriteHeaderToBlock();
}

void PxImage::SetDpiY(int32_t dpi) {
    if (dpi <= 0)
        dpi = 96;
    info_.dpiY = dpi;
    head_.biYPelsPerMeter = PixelsPerMetre(dpi);
    WriteHeaderToBlock();
}

uint32_t PxImage::GetCodecOption(uint32_t format) const {
    return info_.codecOptions[PxCodecOptionSlot(format)];
}

void PxImage::SetCodecOption(uint32_t format, uint32_t options) {
    info_.codecOptions[PxCodecOptionSlot(format)] = options;
}

bool PxImage::CreatePlane(uint8_t*& plane, uint8_t fill) {
    if (plane)
        return true;
    uint32_t planeSize = 0;
    if (!dib_ || IsGhost() || !PxCheckedPlaneSize(GetWidth(), GetHeight(), &planeSize))
        return false;
    plane = PxBlockPool::Allocate(planeSize);
    if (!plane)
        return false;
    std::memset(plane, fill, planeSize);
    return true;
}

void PxImage::DeletePlane(uint8_t*& plane) {
    if (IsGhost())
        return;  // a ghost's planes belong to the image it views
    PxBlockPool::Release(plane);
    plane = nullptr;
}

bool PxImage::CreateAlpha() { return CreatePlane(alpha_, 255); }

void PxImage::DeleteAlpha() { DeletePlane(alpha_); }

bool PxImage::CreateSelection() { return CreatePlane(selection_, 0); }

void PxImage::DeleteSelection() { DeletePlane(selection_); }

uint8_t PxImage::GetAlpha(int32_t x, int32_t y) const {
    if (!alpha_)
        return 255;
    if (!IsInside(x, y))
        return 0;
    return alpha_[static_cast<size_t>(y) * GetWidth() + x];
}

void PxImage::SetAlpha(int32_t x, int32_t y, uint8_t value) {
    if (alpha_ && IsInside(x, y))
        alpha_[static_cast<size_t>(y) * GetWidth() + x] = value;
}

bool PxImage::IsInside(int32_t x, int32_t y) const {
    return dib_ && x >= 0 && y >= 0 && x < head_.biWidth && y < head_.biHeight;
}
