#pragma once
// PxImage: the one in-memory raster image. Pixels live in one packed DIB
// block (BITMAPINFOHEADER, palette, bottom-up rows padded to 4 bytes) of 1, 4,
// 8 or 24 bits per pixel, with an optional alpha channel and selection mask
// (one byte per pixel, bottom-up), an attribute record (ImageInfo) and
// optional frames and layers.
//
// Ownership: an image owns every buffer it holds and frees it on destruction,
// except a ghost (a read-only view made by ShareFrom), which frees nothing and
// must not outlive the image it views. Buffers move only through MoveFrom.
// Operations that take an optional destination build their result in a
// temporary and move it into the destination, or into this image when none
// is given; the source of a destination-form call is left unchanged.
//
// Failure: a false, null or zero result and a message in GetLastError(). A
// failed operation leaves the image as it was (Create destroys first).
// Pixel blocks, alpha channels and selection masks come from PxBlockPool and
// are made only through Create, CreateAlpha and CreateSelection; frame
// arrays are new[] arrays of owned PxImage* (see AdoptFrames).
#include <cstddef>
#include <cstdint>

#include "image/PxImageTypes.h"
#include "support/Export.h"
#include "support/Flavour.h"

class PxFile;

class PxImage {
public:
    // Empty image of the given type: DPI 96, JPEG quality 90, alpha max 255,
    // no background index, enabled.
    PX_EXPORT explicit PxImage(uint32_t type = PXIMAGE_FORMAT_UNKNOWN);
    // Default construction followed by Create.
    PxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type = PXIMAGE_FORMAT_UNKNOWN);
    // Default construction with the source's type, then CopyFrom.
    PX_EXPORT PxImage(const PxImage& src, bool copyPixels = true, bool copySelection = true,
                      bool copyAlpha = true);
    // Loads a picture file; see Decode. Defined with the codecs.
    PxImage(const PxChar* path, uint32_t type);
    PxImage& operator=(const PxImage&) = delete;
    // DestroyFrames, then Destroy.
    PX_EXPORT virtual ~PxImage();

    // --- lifetime ------------------------------------------------------------
    // New pixel block; bpp rounds up to 1, 4, 8 or 24. The palette and the
    // padding of every row are zeroed, pixels are not; selection and alpha
    // are freed. Null on failure.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp,
                    uint32_t type = PXIMAGE_FORMAT_UNKNOWN);
    // Makes this a width x height image of bpp (rounded as by Create) with
    // the attributes of `like` but none of its links, keeping the pixel block
    // when it has room and otherwise taking a new one of at least
    // reserveBytes (a hint for later, larger reshapes). Palette and row
    // padding are zeroed, pixels are not; frames, layers, alpha and selection
    // are freed. False with Create's messages (image unchanged) when the size
    // is refused or memory is short; false for a ghost.
    bool Reshape(uint32_t width, uint32_t height, uint32_t bpp, const PxImage& like,
                 size_t reserveBytes = 0);
    // Zeroes every row's bytes past its last pixel (and the unused low bits
    // of a 1- or 4-bpp row's last pixel byte). Encoders write rows whole, so
    // anything that writes whole row bytes (a decoder copying file rows, a
    // fill) calls this after; Create does it for rows written pixel by pixel.
    void ClearRowPadding();
    // Zeroes the whole rows from `row` (bottom-up) to the top: what a per-row
    // loop stopped by Escape did not reach.
    void ClearRowsFrom(uint32_t row);
    // Frees layers, selection, alpha and pixel block; false for a ghost.
    bool Destroy();
    // Frees every frame; false for a ghost.
    bool DestroyFrames();
    // Deep copy (frames never copied). Copying a ghost makes another ghost.
    bool CopyFrom(const PxImage& src, bool copyPixels = true, bool copySelection = true,
                  bool copyAlpha = true);
    // Takes over src's buffers and attributes and leaves src empty; with
    // moveFrames also its frames (this image's own frames are freed first).
    // False only when this image is a ghost.
    bool MoveFrom(PxImage& src, bool moveFrames = true);
    // Becomes a read-only view of src's buffers and frames, freeing its own
    // first unless it is already a ghost (a ghost may be re-pointed at another
    // image). False only when src is this image.
    bool ShareFrom(const PxImage& src);

    // --- encoding (defined with the codecs) ----------------------------------
    bool Encode(PxFile* file, uint32_t format);
    bool Decode(PxFile* file, uint32_t format);

    // --- accessors -----------------------------------------------------------
    bool IsValid() const { return dib_ != nullptr; }
    bool IsGhost() const { return info_.ghost != nullptr; }
    bool IsEnabled() const { return info_.enabled; }
    void Enable(bool enabled = true) { info_.enabled = enabled; }
    uint32_t GetWidth() const { return static_cast<uint32_t>(head_.biWidth); }
    uint32_t GetHeight() const { return static_cast<uint32_t>(head_.biHeight); }
    uint32_t GetBpp() const { return head_.biBitCount; }
    uint32_t GetEffWidth() const { return info_.effWidth; }
    uint32_t GetType() const { return info_.type; }
    uint32_t GetNumColors() const { return dib_ ? head_.biClrUsed : 0; }
    const char* GetLastError() const { return info_.lastError; }
    void SetLastError(const char* message);
    const BITMAPINFOHEADER& GetHeader() const { return head_; }
    const ImageInfo& GetInfo() const { return info_; }

    // The whole pixel block (header, palette, rows), null when empty.
    uint8_t* GetDIB() const { return dib_; }
    // Size of the pixel block in bytes, 0 when empty.
    uint32_t GetSize() const;
    // Start of row (bottom-up) y, null when empty or y out of range.
    uint8_t* GetBits(uint32_t row = 0) const;
    // Palette entries, null for 24 bpp or an empty image.
    RGBQUAD* GetPalette() const;
    uint32_t GetPaletteSize() const { return GetNumColors() * 4; }

    void SetQuality(uint32_t quality);  // low 8 bits, as a float
    uint8_t GetQuality() const;         // rounded to the nearest integer
    void SetJpegScale(uint8_t scale) { info_.jpegScale = scale; }
    uint8_t GetJpegScale() const { return info_.jpegScale; }
    void SetDpiX(int32_t dpi);          // <= 0 becomes 96; also sets pixels per metre
    void SetDpiY(int32_t dpi);
    int32_t GetDpiX() const { return info_.dpiX; }
    int32_t GetDpiY() const { return info_.dpiY; }

    int32_t GetEscape() const { return info_.escape; }
    void SetEscape(int32_t escape) { info_.escape = escape; }
    int32_t GetProgress() const { return info_.progress; }
    void SetProgress(int32_t progress) { info_.progress = progress; }

    int32_t GetTransIndex() const { return info_.backgroundIndex; }
    void SetTransIndex(int32_t index) { info_.backgroundIndex = index; }
    RGBQUAD GetTransColor() const { return info_.backgroundColor; }
    void SetTransColor(RGBQUAD color) { info_.backgroundColor = color; }
    uint8_t GetAlphaMax() const { return info_.alphaMax; }
    void SetAlphaMax(uint8_t value) { info_.alphaMax = value; }
    bool IsAlphaPaletteEnabled() const { return info_.alphaPaletteEnabled; }
    void EnableAlphaPalette(bool enabled = true) { info_.alphaPaletteEnabled = enabled; }

    int32_t GetNumFrames() const { return info_.numFrames; }
    int32_t GetFrameIndex() const { return info_.frameIndex; }
    void SetFrameIndex(int32_t index) { info_.frameIndex = index; }
    bool KeepsAllFrames() const { return info_.getAllFrames; }
    void SetKeepAllFrames(bool all) { info_.getAllFrames = all; }
    // Owned frame i, null when there is none.
    PxImage* GetFrame(int32_t index) const;
    uint32_t GetCodecOption(uint32_t format) const;
    void SetCodecOption(uint32_t format, uint32_t options);

    // --- alpha channel and selection mask ------------------------------------
    bool HasAlpha() const { return alpha_ != nullptr; }
    // Creates an opaque (255) alpha channel if there is none.
    bool CreateAlpha();
    void DeleteAlpha();
    uint8_t* GetAlphaBuffer() const { return alpha_; }
    uint8_t GetAlpha(int32_t x, int32_t y) const;   // 255 without a channel
    void SetAlpha(int32_t x, int32_t y, uint8_t value);
    bool HasSelection() const { return selection_ != nullptr; }
    // Creates an empty (all 0) selection mask if there is none.
    bool CreateSelection();
    void DeleteSelection();
    uint8_t* GetSelectionBuffer() const { return selection_; }

    // --- pixels and palette --------------------------------------------------
    bool IsInside(int32_t x, int32_t y) const;
    uint8_t GetPixelIndex(int32_t x, int32_t y) const;
    RGBQUAD GetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
    void SetPixelIndex(int32_t x, int32_t y, uint8_t index);
    void SetPixelColor(int32_t x, int32_t y, RGBQUAD color, bool setAlpha = false);
    RGBQUAD GetPaletteColor(uint8_t index) const;
    void SetPaletteColor(uint8_t index, RGBQUAD color);
    // Copies up to the palette's size of entries; clears the nearest cache.
    void SetPalette(const RGBQUAD* colors, uint32_t count);
    // Must follow direct writes through GetPalette(): forgets the colour that
    // GetNearestIndex remembered.
    void InvalidateNearestCache() { info_.lastColorValid = false; }
    // Entry i = (i, i, i) scaled over the palette.
    void SetGrayPalette();
    bool IsGrayRamp() const;
    uint8_t GetNearestIndex(RGBQUAD color);
    // Bilinear blend around the fractional point, edges repeated.
    RGBQUAD SampleBilinear(double x, double y) const;
    // Area-weighted average of the w x h box centred on (x, y), edges repeated.
    RGBQUAD SampleArea(double x, double y, double w, double h) const;

    // --- operations ----------------------------------------------------------
    bool IncreaseBitDepth(uint32_t bpp);
    bool RotateClockwise(PxImage* dst = nullptr);
    bool RotateCounterClockwise(PxImage* dst = nullptr);
    // Top-down rectangle, right and bottom exclusive, clamped to the image.
    bool Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, PxImage* dst = nullptr);
    bool Crop(const RECT& rect, PxImage* dst = nullptr);
    bool ExpandCanvas(int32_t left, int32_t top, int32_t right, int32_t bottom, RGBQUAD canvas,
                      PxImage* dst = nullptr);
    bool CenterOnCanvas(int32_t newWidth, int32_t newHeight, RGBQUAD canvas,
                        PxImage* dst = nullptr);
    // mode 0: area average (24 bpp shrink) or bilinear; 1: nearest; 2: bicubic.
    bool ScaleTo(int32_t newWidth, int32_t newHeight, int32_t mode = 0, PxImage* dst = nullptr);
    bool FitToBox(int32_t boxWidth, int32_t boxHeight, RGBQUAD canvas, PxImage* dst = nullptr);
    // The size FitToBox scales a width x height picture to for a box it does
    // not fit in: the tighter of box / size in exact integers, at least 1 x 1.
    // All sizes > 0.
    static void FitToBoxSize(uint32_t width, uint32_t height, uint32_t boxWidth,
                             uint32_t boxHeight, uint32_t* newWidth, uint32_t* newHeight);

#if defined(_WIN32)
    // Painting (GDI). 1 when painted, 0 when nothing was done. cx/cy < 0 mean
    // natural size; clip limits painting to that rectangle.
    int32_t Draw(HDC hdc, int32_t x = 0, int32_t y = 0, int32_t cx = -1, int32_t cy = -1,
                 const RECT* clip = nullptr, bool smooth = false);
    int32_t Draw(HDC hdc, const RECT& rect, const RECT* clip = nullptr, bool smooth = false);
    // Covers rect with natural-size copies, the last ones cut, not scaled.
    int32_t DrawTiled(HDC hdc, const RECT* rect);
    // Decodes a module resource (see Decode); the bytes are read in place.
    // False with "Unable to load resource!" when it cannot be loaded.
    bool LoadResource(HRSRC resource, uint32_t format, HMODULE module = nullptr);
#endif

protected:
    void Startup(uint32_t type);
    // Moves tmp (with frames) into dst, or into this image when dst is null.
    bool Transfer(PxImage& tmp, PxImage* dst);
    void CopyErrorFrom(const PxImage& other);
    // Hands an array of count owned frames (new[], elements new) to this
    // image, freeing any frames it held; sets the number of frames.
    bool AdoptFrames(PxImage** frames, int32_t count);

    uint8_t* dib_;               // pixel block (owned unless ghost)
    BITMAPINFOHEADER head_;      // copy of the block's header
    ImageInfo info_;
    uint8_t* selection_;         // width x height bytes, 0 = not selected
    uint8_t* alpha_;             // width x height bytes, 0 = transparent

private:
    // The header and block layout of a width x height x bpp image.
    struct Layout {
        uint32_t width, height, bpp, stride, imageSize, colors;
        size_t blockSize;
    };
    // False with Create's message when the size is refused.
    bool PlanLayout(uint32_t width, uint32_t height, uint32_t bpp, Layout* layout);
    // Makes block (of at least layout.blockSize bytes) the pixel block: header,
    // zeroed palette and row padding, stride and first-pixel pointer.
    void LayOut(uint8_t* block, const Layout& layout);
    // Takes `from`'s attributes but keeps this image's own layout and links:
    // first pixel and stride stay, ghost and parent links are cleared, the
    // frame and layer counts are what this image owns, and the nearest-colour
    // cache is forgotten.
    void AdoptAttributes(const ImageInfo& from);
    bool Rotate90(bool clockwise, PxImage* dst);
    // Scaling into the newWidth x newHeight area of target at storage
    // position (x0, y0); target has this image's depth and palette.
    void ScaleInto(PxImage& target, uint32_t x0, uint32_t y0, uint32_t newWidth,
                   uint32_t newHeight, int32_t mode);
    void ScaleArea24(PxImage& target, uint32_t x0, uint32_t y0, uint32_t newWidth,
                     uint32_t newHeight);
    void ScaleResample(PxImage& target, uint32_t x0, uint32_t y0, uint32_t newWidth,
                       uint32_t newHeight, int32_t mode);
    void ResetToEmpty();
    void TakeStorageOf(const PxImage& src);
    bool CopyPlane(uint8_t*& dst, const uint8_t* src);
    // Gives an owning image a width x height side plane (alpha or selection)
    // filled with `fill`; true when it already has one.
    bool CreatePlane(uint8_t*& plane, uint8_t fill);
    void DeletePlane(uint8_t*& plane);
    void WriteHeaderToBlock();

    // Frames and layers with their array lengths. The counts in ImageInfo say
    // how many a file holds; these say how many this object owns.
    PxImage** layers_;
    int32_t layerCount_;
    PxImage** frames_;
    int32_t frameCount_;
};
