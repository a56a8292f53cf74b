#include "image/PxImagePNG.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>

#include <png.h>

#include "image/PxFile.h"

namespace {

// Encoder settings. The editor's upload clips go through here: zlib level 4
// with the Paeth filter on true-colour rows keeps a 1600 x 1200 photo clip
// under 200 ms with files about 6 % larger than level 6 with adaptive
// filtering, which takes three times as long (bench/CodecBench.cpp).
constexpr int kCompressionLevel = 4;
// Largest ancillary chunk libpng may allocate, and how many it may keep.
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;
constexpr png_uint_32 kMaxCachedChunks = 1000;
// Largest libpng row buffer set we hold for interlaced or converted rows.
constexpr uint64_t kMaxRowBytes = uint64_t(2) * PXIMAGE_MAX_MEMORY;

// libpng state of one call and what it owns. Declared before the setjmp and
// destroyed after it, so a jump out of libpng frees everything.
struct PngCall {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PxFile* file = nullptr;
    bool writing = false;
    char message[256] = {0};
    std::unique_ptr<uint8_t[]> buffer;
    std::unique_ptr<png_bytep[]> rows;

    ~PngCall() {
        if (writing)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        else if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void OnPngError(png_structp png, png_const_charp message) {
    PngCall* call = static_cast<PngCall*>(png_get_error_ptr(png));
    std::strncpy(call->message, message ? message : "", sizeof(call->message) - 1);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep data, size_t length) {
    PxFile* file = static_cast<PxFile*>(png_get_io_ptr(png));
    if (file->Read(data, 1, length) != length)
        png_error(png, "Read Error");
}

void WriteData(png_structp png, png_bytep data, size_t length) {
    PxFile* file = static_cast<PxFile*>(png_get_io_ptr(png));
    if (file->Write(data, 1, length) != length)
        png_error(png, "Write Error");
}

void FlushData(png_structp png) {
    PxFile* file = static_cast<PxFile*>(png_get_io_ptr(png));
    if (!file->Flush())
        png_error(png, "Flush Error");
}

bool AllocateRows(PngCall& call, size_t rowBytes, uint32_t count) {
    if (uint64_t(rowBytes) * count > kMaxRowBytes)
        return false;
    call.buffer.reset(new (std::nothrow) uint8_t[rowBytes * count]);
    return call.buffer != nullptr;
}

int32_t PelsToDpi(uint64_t pelsPerMeter) {
    return static_cast<int32_t>(std::min<uint64_t>((pelsPerMeter * 254 + 5000) / 10000, INT32_MAX));
}

enum DecodeResult { kDecodeFailed = 0, kDecodeDone = 1, kDecodeHeaderOnly = 2 };

// Palette, gray ramp and transparency of a decoded image.
void ReadColors(PngCall& call, PxImage* image, int colorType, int depth) {
    png_structp png = call.png;
    png_infop info = call.info;
    png_colorp palette = nullptr;
    int count = 0;
    RGBQUAD colors[256];
    if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &count)) {
        count = std::min(count, 256);
        for (int i = 0; i < count; ++i)
            colors[i] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 0};
        image->SetPalette(colors, static_cast<uint32_t>(count));
        BITMAPINFOHEADER* block = reinterpret_cast<BITMAPINFOHEADER*>(image->GetDIB());
        block->biClrImportant = static_cast<uint32_t>(count);
    } else if (colorType == PNG_COLOR_TYPE_GRAY && depth == 2) {
        for (int i = 0; i < 4; ++i) {
            const uint8_t v = static_cast<uint8_t>(i * 85);
            colors[i] = RGBQUAD{v, v, v, 0};
        }
        image->SetPalette(colors, 4);
    } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        image->SetGrayPalette();
    }
    png_bytep alphas = nullptr;
    int numTrans = 0;
    png_color_16p transColor = nullptr;
    if (!png_get_tRNS(png, info, &alphas, &numTrans, &transColor))
        return;
    const int shift = depth == 16 ? 8 : 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE && alphas && numTrans > 0) {
        if (numTrans == 1 && alphas[0] == 0) {
            image->SetTransIndex(0);
            return;
        }
        RGBQUAD* pal = image->GetPalette();
        const int entries = static_cast<int>(image->GetNumColors());
        for (int i = 0; i < entries; ++i)
            pal[i].rgbReserved = i < numTrans ? alphas[i] : 255;
        image->EnableAlphaPalette(true);
    } else if (colorType == PNG_COLOR_TYPE_GRAY && transColor) {
        image->SetTransIndex(transColor->gray >> shift);
    } else if (colorType == PNG_COLOR_TYPE_RGB && transColor) {
        image->SetTransColor(RGBQUAD{static_cast<uint8_t>(transColor->blue >> shift),
                                     static_cast<uint8_t>(transColor->green >> shift),
                                     static_cast<uint8_t>(transColor->red >> shift), 0});
        image->SetTransIndex(0);
    }
}

// Converts one libpng output row into image row `row` (top-down index) for
// the forms that are not stored as libpng delivers them.
void ConvertRow(const uint8_t* src, uint32_t row, int colorType, PxImage* image) {
    const uint32_t width = image->GetWidth(), height = image->GetHeight();
    uint8_t* out = image->GetBits(height - 1 - row);
    uint8_t* alpha = image->GetAlphaBuffer();
    if (alpha)
        alpha += size_t(height - 1 - row) * width;
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        for (uint32_t x = 0; x < width; ++x) {
            out[x] = src[2 * x];
            alpha[x] = src[2 * x + 1];
        }
    } else if (colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
        for (uint32_t x = 0; x < width; ++x) {
            out[3 * x] = src[4 * x];
            out[3 * x + 1] = src[4 * x + 1];
            out[3 * x + 2] = src[4 * x + 2];
            alpha[x] = src[4 * x + 3];
        }
    } else {  // 2-bit samples, unpacked to bytes by libpng, packed into nibbles
        std::memset(out, 0, image->GetEffWidth());
        for (uint32_t x = 0; x < width; ++x)
            out[x / 2] |= static_cast<uint8_t>((src[x] & 0x0F) << ((x & 1) ? 0 : 4));
    }
}

// Reads every pass of the image into rows, one row at a time so that Escape
// is seen between rows. False when Escape stopped it.
bool ReadAllRows(png_structp png, png_bytep* rows, uint32_t height, int passes, const PxImage& image) {
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t k = 0; k < height; ++k) {
            if (image.GetEscape())
                return false;
            png_read_row(png, rows[k], nullptr);
        }
    }
    return true;
}

bool ReadPixels(PngCall& call, PxImage* image, int colorType, int depth, int passes) {
    png_structp png = call.png;
    const uint32_t height = image->GetHeight();
    const bool direct = colorType == PNG_COLOR_TYPE_RGB ||
                        ((colorType == PNG_COLOR_TYPE_PALETTE || colorType == PNG_COLOR_TYPE_GRAY) &&
                         depth != 2);
    call.rows.reset(new (std::nothrow) png_bytep[height]);
    if (!call.rows)
        return false;
    if (direct) {
        for (uint32_t k = 0; k < height; ++k)
            call.rows[k] = image->GetBits(height - 1 - k);
        return ReadAllRows(png, call.rows.get(), height, passes, *image);
    }
    if ((colorType & PNG_COLOR_MASK_ALPHA) && !image->CreateAlpha())
        return false;
    const size_t rowBytes = png_get_rowbytes(png, call.info);
    const bool interlaced = passes > 1;
    if (!AllocateRows(call, rowBytes, interlaced ? height : 1))
        return false;
    if (interlaced) {
        for (uint32_t k = 0; k < height; ++k)
            call.rows[k] = call.buffer.get() + size_t(k) * rowBytes;
        if (!ReadAllRows(png, call.rows.get(), height, passes, *image))
            return false;
        for (uint32_t k = 0; k < height; ++k)
            ConvertRow(call.rows[k], k, colorType, image);
        return true;
    }
    for (uint32_t k = 0; k < height; ++k) {
        if (image->GetEscape())
            return false;
        png_read_row(png, call.buffer.get(), nullptr);
        ConvertRow(call.buffer.get(), k, colorType, image);
    }
    return true;
}

// The decode steps. Runs under RunDecode's setjmp: no locals with
// destructors here or in anything it calls.
DecodeResult DecodeSteps(PngCall& call, PxImage* image) {
    png_structp png = call.png;
    png_infop info = call.info;
    png_set_read_fn(png, call.file, ReadData);
    // Ancillary chunks are untrusted sizes too: cap what libpng may allocate
    // for one (we use none of the text chunks) and how many it keeps.
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
    // Chunks the decoder has no use for are skipped unread, so their claimed
    // lengths never reach an allocation.
    static const png_byte kIgnored[] = {
        'b', 'K', 'G', 'D', '\0', 'c', 'H', 'R', 'M', '\0', 'e', 'X', 'I', 'f', '\0',
        'g', 'A', 'M', 'A', '\0', 'h', 'I', 'S', 'T', '\0', 'i', 'C', 'C', 'P', '\0',
        'i', 'T', 'X', 't', '\0', 'o', 'F', 'F', 's', '\0', 'p', 'C', 'A', 'L', '\0',
        's', 'B', 'I', 'T', '\0', 's', 'C', 'A', 'L', '\0', 's', 'P', 'L', 'T', '\0',
        's', 'R', 'G', 'B', '\0', 't', 'E', 'X', 't', '\0', 't', 'I', 'M', 'E', '\0',
        'z', 'T', 'X', 't', '\0'};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored, sizeof(kIgnored) / 5);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    uint32_t bpp = 0;
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE: bpp = depth == 16 ? 8 : depth; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: bpp = 8; break;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_RGB_ALPHA: bpp = 24; break;
    default:
        std::strcpy(call.message, "unknown PNG color type");
        return kDecodeFailed;
    }
    if (image->GetEscape() == -1)
        return kDecodeHeaderOnly;
    if (depth == 16)
        png_set_strip_16(png);
    if (depth == 2)
        png_set_packing(png);
    if (colorType & PNG_COLOR_MASK_COLOR)
        png_set_bgr(png);
    const bool interlaced = interlace != PNG_INTERLACE_NONE;
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (!image->Create(width, height, bpp, PXIMAGE_FORMAT_PNG))
        return kDecodeFailed;  // Create's message stays
    png_uint_32 xRes = 0, yRes = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xRes, &yRes, &unit)) {
        image->SetDpiX(unit == PNG_RESOLUTION_METER ? PelsToDpi(xRes) : int32_t(std::min<png_uint_32>(xRes, INT32_MAX)));
        image->SetDpiY(unit == PNG_RESOLUTION_METER ? PelsToDpi(yRes) : int32_t(std::min<png_uint_32>(yRes, INT32_MAX)));
    }
    ReadColors(call, image, colorType, depth);
    if (interlaced)
        image->SetCodecOption(PXIMAGE_FORMAT_PNG, PxImagePNG::kInterlaced);
    return ReadPixels(call, image, colorType, depth, passes) ? kDecodeDone : kDecodeFailed;
}

// The one setjmp of the decoder.
DecodeResult RunDecode(PngCall& call, PxImage* image) {
    if (setjmp(png_jmpbuf(call.png)))
        return kDecodeFailed;
    return DecodeSteps(call, image);
}

// Checks the libpng struct just created and adds its info struct; false with
// the image's message when either could not be made.
bool CreateInfo(PngCall& call, PxImage& image) {
    if (!call.png) {
        image.SetLastError("Failed to create PNG structure");
        return false;
    }
    call.info = png_create_info_struct(call.png);
    if (!call.info) {
        image.SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    return true;
}

}  // namespace

bool PxImagePNG::Decode(PxFile* file) {
    if (!file)
        return false;
    PngCall call;
    call.file = file;
    call.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &call, OnPngError, OnPngWarning);
    if (!CreateInfo(call, *this))
        return false;
    const DecodeResult result = RunDecode(call, this);
    if (result == kDecodeFailed) {
        if (call.message[0])
            SetLastError(call.message);
        return false;
    }
    if (result == kDecodeDone)  // colours important: the size of the file's palette
        head_.biClrImportant = reinterpret_cast<const BITMAPINFOHEADER*>(GetDIB())->biClrImportant;
    if (result == kDecodeHeaderOnly) {
        head_.biWidth = static_cast<int32_t>(png_get_image_width(call.png, call.info));
        head_.biHeight = static_cast<int32_t>(png_get_image_height(call.png, call.info));
        info_.type = PXIMAGE_FORMAT_PNG;
    }
    return true;
}

namespace {

// How the rows of one image go to libpng.
struct PngLayout {
    bool grayRamp = false;
    bool alpha = false;
    int transIndex = -1;     // palette index moved to entry 0 while writing
    bool remap = false;      // rows need indices 0 and transIndex swapped
};

uint32_t MapIndex(uint32_t index, const PngLayout& l) {
    if (!l.remap)
        return index;
    return index == 0 ? uint32_t(l.transIndex) : index == uint32_t(l.transIndex) ? 0 : index;
}

void WriteHeaderChunks(PngCall& call, const PxImage& image, const PngLayout& l) {
    png_structp png = call.png;
    png_infop info = call.info;
    const uint32_t bpp = image.GetBpp();
    int colorType = bpp == 24 ? PNG_COLOR_TYPE_RGB
                    : l.grayRamp ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
    if (l.alpha)
        colorType |= PNG_COLOR_MASK_ALPHA;  // a non-gray palette with alpha is refused here
    const int depth = (l.alpha || bpp == 24) ? 8 : int(bpp);
    const bool interlaced = image.GetCodecOption(PXIMAGE_FORMAT_PNG) == PxImagePNG::kInterlaced;
    png_set_IHDR(png, info, image.GetWidth(), image.GetHeight(), depth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    int32_t trans = image.GetTransIndex();
    if (bpp <= 8 && uint32_t(trans) >= image.GetNumColors())
        trans = -1;  // no such entry: nothing is transparent
    png_color_16 background = {};
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        background.index = static_cast<png_byte>(
            trans >= 0 ? MapIndex(uint32_t(trans), l)
                       : MapIndex(const_cast<PxImage&>(image).GetNearestIndex(RGBQUAD{255, 255, 255, 0}), l));
    } else if (!(colorType & PNG_COLOR_MASK_COLOR)) {
        background.gray = static_cast<png_uint_16>(trans >= 0 ? trans : (1 << depth) - 1);
    } else {
        const RGBQUAD c = trans >= 0 ? image.GetTransColor() : RGBQUAD{255, 255, 255, 0};
        background.red = c.rgbRed;
        background.green = c.rgbGreen;
        background.blue = c.rgbBlue;
    }
    png_set_bKGD(png, info, &background);
    const BITMAPINFOHEADER& h = image.GetHeader();
    png_set_pHYs(png, info, static_cast<png_uint_32>(std::max<int32_t>(0, h.biXPelsPerMeter)),
                 static_cast<png_uint_32>(std::max<int32_t>(0, h.biYPelsPerMeter)), PNG_RESOLUTION_METER);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        const RGBQUAD* pal = image.GetPalette();
        uint32_t count = h.biClrImportant ? std::min<uint32_t>(h.biClrImportant, image.GetNumColors())
                                          : image.GetNumColors();
        count = std::max<uint32_t>(count, uint32_t(trans + 1));
        png_color colors[256];
        png_byte alphas[256];
        for (uint32_t i = 0; i < count; ++i) {
            const RGBQUAD c = pal[MapIndex(i, l)];
            colors[i] = png_color{c.rgbRed, c.rgbGreen, c.rgbBlue};
            alphas[i] = image.IsAlphaPaletteEnabled() ? c.rgbReserved : 255;
        }
        png_set_PLTE(png, info, colors, static_cast<int>(count));
        if (trans >= 0)
            alphas[0] = 0;
        if (image.IsAlphaPaletteEnabled())
            png_set_tRNS(png, info, alphas, static_cast<int>(count), nullptr);
        else if (trans >= 0)
            png_set_tRNS(png, info, alphas, 1, nullptr);
    } else if (trans >= 0 && !l.alpha) {
        png_color_16 t = {};
        if (colorType == PNG_COLOR_TYPE_GRAY) {
            t.gray = static_cast<png_uint_16>(trans);
        } else {
            const RGBQUAD c = image.GetTransColor();
            t.red = c.rgbRed;
            t.green = c.rgbGreen;
            t.blue = c.rgbBlue;
        }
        png_set_tRNS(png, info, nullptr, 0, &t);
    }
}

// Fills out with top-down row k in the form libpng was told about.
void BuildRow(const PxImage& image, const PngLayout& l, uint32_t k, uint8_t* out) {
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    const uint32_t y = height - 1 - k;
    const uint8_t* src = image.GetBits(y);
    if (l.alpha) {
        const uint8_t* a = image.GetAlphaBuffer() + size_t(y) * width;
        const int32_t trans = image.GetTransIndex();
        const RGBQUAD tc = image.GetTransColor();
        for (uint32_t x = 0; x < width; ++x) {
            if (image.GetBpp() == 24) {
                const uint8_t* p = src + 3 * x;
                const bool clear = trans >= 0 && p[0] == tc.rgbBlue && p[1] == tc.rgbGreen &&
                                   p[2] == tc.rgbRed;
                out[4 * x] = p[2];
                out[4 * x + 1] = p[1];
                out[4 * x + 2] = p[0];
                out[4 * x + 3] = clear ? 0 : a[x];
            } else {
                out[2 * x] = image.GetPixelIndex(int32_t(x), int32_t(y));
                out[2 * x + 1] = a[x];
            }
        }
        return;
    }
    // Palette rows with indices 0 and the transparent index swapped.
    const uint32_t bpp = image.GetBpp();
    std::memset(out, 0, image.GetEffWidth());
    const uint32_t perByte = 8 / bpp;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t index = MapIndex(image.GetPixelIndex(int32_t(x), int32_t(y)), l);
        out[x / perByte] |= static_cast<uint8_t>(index << ((perByte - 1 - x % perByte) * bpp));
    }
}

// The encode steps. Runs under RunEncode's setjmp: no locals with
// destructors here or in anything it calls.
bool EncodeSteps(PngCall& call, const PxImage& image, const PngLayout& l) {
    png_structp png = call.png;
    png_set_write_fn(png, call.file, WriteData, FlushData);
    png_set_compression_level(png, kCompressionLevel);
    WriteHeaderChunks(call, image, l);
    if (image.GetBpp() == 24 || l.alpha)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
    png_write_info(png, call.info);
    const uint32_t height = image.GetHeight();
    const bool direct = !l.alpha && !l.remap;
    if (direct && image.GetBpp() == 24)
        png_set_bgr(png);
    call.rows.reset(new (std::nothrow) png_bytep[height]);
    if (!call.rows)
        return false;
    if (direct) {
        for (uint32_t k = 0; k < height; ++k)
            call.rows[k] = image.GetBits(height - 1 - k);
    } else {
        const size_t rowBytes = l.alpha ? size_t(image.GetWidth()) * (image.GetBpp() == 24 ? 4 : 2)
                                        : image.GetEffWidth();
        if (!AllocateRows(call, rowBytes, height))
            return false;
        for (uint32_t k = 0; k < height; ++k) {
            call.rows[k] = call.buffer.get() + size_t(k) * rowBytes;
            BuildRow(image, l, k, call.rows[k]);
        }
    }
    png_write_image(png, call.rows.get());
    png_write_end(png, call.info);
    return true;
}

bool RunEncode(PngCall& call, const PxImage& image, const PngLayout& l) {
    if (setjmp(png_jmpbuf(call.png)))
        return false;
    return EncodeSteps(call, image, l);
}

}  // namespace

bool PxImagePNG::Encode(PxFile* file) {
    if (!file || !IsValid())
        return false;
    PngCall call;
    call.file = file;
    call.writing = true;
    call.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &call, OnPngError, OnPngWarning);
    if (!CreateInfo(call, *this))
        return false;
    PngLayout layout;
    layout.grayRamp = GetBpp() <= 8 && IsGrayRamp();
    layout.alpha = HasAlpha();
    const int32_t trans = GetTransIndex();
    if (GetBpp() <= 8 && !layout.grayRamp && trans > 0 && uint32_t(trans) < GetNumColors()) {
        layout.transIndex = trans;
        layout.remap = true;
    }
    if (!RunEncode(call, *this, layout)) {
        SetLastError("Error saving PNG file");
        return false;
    }
    return true;
}
