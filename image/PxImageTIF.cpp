#include "image/PxImageTIF.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include <tiffio.h>

#include "image/PxFile.h"

namespace {

// A PxFile seen by libtiff; offsets are relative to where the TIFF starts.
struct TiffStream {
    PxFile* file;
    int32_t base;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
    if (size <= 0)
        return 0;
    return static_cast<tmsize_t>(static_cast<TiffStream*>(h)->file->Read(buffer, 1, size_t(size)));
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size) {
    if (size <= 0)
        return 0;
    return static_cast<tmsize_t>(static_cast<TiffStream*>(h)->file->Write(buffer, 1, size_t(size)));
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    TiffStream* s = static_cast<TiffStream*>(h);
    int64_t target = static_cast<int64_t>(offset);
    if (whence == SEEK_SET)
        target += s->base;
    else if (whence == SEEK_CUR)
        target += s->file->Tell();
    else if (whence == SEEK_END)
        target += s->file->Size();
    else
        return static_cast<toff_t>(-1);
    if (target < s->base || target > INT32_MAX || !s->file->Seek(int32_t(target), SEEK_SET))
        return static_cast<toff_t>(-1);
    return static_cast<toff_t>(target - s->base);
}

int CloseProc(thandle_t) { return 0; }  // the stream belongs to the caller

toff_t SizeProc(thandle_t h) {
    TiffStream* s = static_cast<TiffStream*>(h);
    const int32_t size = s->file->Size();
    return size > s->base ? static_cast<toff_t>(size - s->base) : 0;
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct TiffFree {
    void operator()(void* p) const { _TIFFfree(p); }
};
using TiffBuffer = std::unique_ptr<uint8_t, TiffFree>;

TiffHandle OpenTiff(TiffStream* stream, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, QuietHandler, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(PXIMAGE_MAX_MEMORY));
    TIFF* t = TIFFClientOpenExt("PxImageTIF", mode, stream, ReadProc, WriteProc, SeekProc,
                                CloseProc, SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(t);
}

int32_t ResolutionToDpi(float value, uint16_t unit) {
    double dpi = unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
    if (!(dpi > 0) || dpi > 1e6)
        return 0;
    return static_cast<int32_t>(std::floor(dpi + 0.5));
}

struct TiffFields {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1, photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG, extraSamples = 0;
    bool paletted = false;  // read as indices (1, 2, 4, 8 bits, one sample, strips)
};

void ReadFields(TIFF* t, TiffFields* f) {
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &f->width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &f->height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &f->bitsPerSample);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &f->samplesPerPixel);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &f->planar);
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &f->photometric))
        f->photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &f->extraSamples, &extraTypes);
    const uint16_t bps = f->bitsPerSample;
    f->paletted = f->samplesPerPixel == 1 && !TIFFIsTiled(t) && f->planar == PLANARCONFIG_CONTIG &&
                  (bps == 1 || bps == 2 || bps == 4 || bps == 8) &&
                  (f->photometric == PHOTOMETRIC_PALETTE || f->photometric == PHOTOMETRIC_MINISBLACK ||
                   f->photometric == PHOTOMETRIC_MINISWHITE);
}

}  // namespace

namespace {

// Palette of an index image: the file's colour map (16-bit entries, scaled
// down unless every entry already fits 8 bits) or a gray ramp.
const char* ReadPalette(TIFF* t, const TiffFields& f, PxImage* image) {
    const uint32_t entries = 1u << f.bitsPerSample;
    if (entries > 256)
        return "Too big palette to handle";
    RGBQUAD colors[256];
    if (f.photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
            return "Unable to allocate TIFF palette";
        bool eightBit = true;
        for (uint32_t i = 0; i < entries; ++i)
            eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
        const int shift = eightBit ? 0 : 8;
        for (uint32_t i = 0; i < entries; ++i)
            colors[i] = RGBQUAD{uint8_t(blue[i] >> shift), uint8_t(green[i] >> shift),
                                uint8_t(red[i] >> shift), 0};
    } else {
        for (uint32_t i = 0; i < entries; ++i) {
            uint8_t v = static_cast<uint8_t>(i * 255 / (entries - 1));
            if (f.photometric == PHOTOMETRIC_MINISWHITE)
                v = static_cast<uint8_t>(255 - v);
            colors[i] = RGBQUAD{v, v, v, 0};
        }
    }
    image->SetPalette(colors, entries);
    return nullptr;
}

const char* ReadIndexRows(TIFF* t, const TiffFields& f, PxImage* image) {
    const tmsize_t lineSize = TIFFScanlineSize(t);
    if (lineSize <= 0)
        return "Corrupted TIFF file!";
    TiffBuffer line(static_cast<uint8_t*>(_TIFFmalloc(lineSize)));
    if (!line)
        return "PxImageTIF can't allocate memory";
    const uint32_t width = image->GetWidth(), height = image->GetHeight();
    const size_t copy = std::min<size_t>(size_t(lineSize), image->GetEffWidth());
    for (uint32_t row = 0; row < height; ++row) {
        if (image->GetEscape())
            return "Cancelled";
        if (TIFFReadScanline(t, line.get(), row, 0) < 0)
            return "Corrupted TIFF file!";
        uint8_t* out = image->GetBits(height - 1 - row);
        if (f.bitsPerSample != 2) {
            std::memcpy(out, line.get(), copy);
            continue;
        }
        std::memset(out, 0, image->GetEffWidth());
        for (uint32_t x = 0; x < width && x / 4 < size_t(lineSize); ++x) {
            const uint8_t v = (line.get()[x / 4] >> (6 - 2 * (x % 4))) & 3;
            out[x / 2] |= static_cast<uint8_t>(v << ((x & 1) ? 0 : 4));
        }
    }
    return nullptr;
}

const char* ReadRgbaRows(TIFF* t, const TiffFields& f, PxImage* image) {
    const uint32_t width = image->GetWidth(), height = image->GetHeight();
    const uint64_t bytes = uint64_t(width) * height * 4;
    if (bytes > uint64_t(2) * PXIMAGE_MAX_MEMORY)
        return "No space for raster buffer";
    TiffBuffer raster(static_cast<uint8_t*>(_TIFFmalloc(tmsize_t(bytes))));
    if (!raster)
        return "No space for raster buffer";
    if (image->GetEscape())
        return "Cancelled";
    char message[1024];
    if (!TIFFRGBAImageOK(t, message) ||
        !TIFFReadRGBAImageOriented(t, width, height, reinterpret_cast<uint32_t*>(raster.get()),
                                   ORIENTATION_BOTLEFT, 0))
        return "Corrupted TIFF file!";
    if (f.extraSamples > 0 && !image->CreateAlpha())
        return "PxImageTIF can't allocate memory";
    uint8_t* alpha = image->GetAlphaBuffer();
    for (uint32_t y = 0; y < height; ++y) {
        if (image->GetEscape())
            return "Cancelled";
        const uint32_t* src = reinterpret_cast<const uint32_t*>(raster.get()) + size_t(y) * width;
        uint8_t* out = image->GetBits(y);
        for (uint32_t x = 0; x < width; ++x) {
            out[3 * x] = static_cast<uint8_t>(TIFFGetB(src[x]));
            out[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(src[x]));
            out[3 * x + 2] = static_cast<uint8_t>(TIFFGetR(src[x]));
            if (alpha)
                alpha[size_t(y) * width + x] = static_cast<uint8_t>(TIFFGetA(src[x]));
        }
    }
    return nullptr;
}

}  // namespace

bool PxImageTIF::Decode(PxFile* file) {
    if (!file)
        return false;
    TiffStream stream{file, file->Tell()};
    TiffHandle tif = OpenTiff(&stream, "rm");
    if (!tif) {
        SetLastError("Error encountered while opening TIFF file");
        return false;
    }
    info_.numFrames = static_cast<int32_t>(TIFFNumberOfDirectories(tif.get()));
    if (info_.frameIndex < 0 || info_.frameIndex >= info_.numFrames ||
        (info_.frameIndex > 0 && !TIFFSetDirectory(tif.get(), tdir_t(info_.frameIndex)))) {
        SetLastError("Error: page not present in TIFF file");
        return false;
    }
    TiffFields f;
    ReadFields(tif.get(), &f);
    if (GetEscape() == -1) {  // header only
        head_.biWidth = static_cast<int32_t>(std::min<uint32_t>(f.width, INT32_MAX));
        head_.biHeight = static_cast<int32_t>(std::min<uint32_t>(f.height, INT32_MAX));
        info_.type = PXIMAGE_FORMAT_TIF;
        return true;
    }
    const int32_t frames = info_.numFrames;
    if (!Create(f.width, f.height, f.paletted ? f.bitsPerSample : 24, PXIMAGE_FORMAT_TIF)) {
        info_.numFrames = frames;
        return false;  // keeps Create's message
    }
    info_.numFrames = frames;
    float xRes = 0, yRes = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xRes) &&
        TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yRes) && unit != RESUNIT_NONE) {
        SetDpiX(ResolutionToDpi(xRes, unit));
        SetDpiY(ResolutionToDpi(yRes, unit));
    }
    const char* error = f.paletted ? ReadPalette(tif.get(), f, this) : nullptr;
    if (!error)
        error = f.paletted ? ReadIndexRows(tif.get(), f, this) : ReadRgbaRows(tif.get(), f, this);
    if (error) {
        SetLastError(error);
        return false;
    }
    return true;
}

bool PxImageTIF::Encode(PxFile* file) {
    if (!file || !IsValid())
        return false;
    TiffStream stream{file, file->Tell()};
    TiffHandle tif = OpenTiff(&stream, "w");
    if (!tif) {
        SetLastError("initialization fail");
        return false;
    }
    TIFF* t = tif.get();
    const uint32_t width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    const bool rgb = bpp == 24;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, rgb ? 8 : bpp);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, rgb ? 3 : 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_PALETTE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, float(GetDpiX()));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, float(GetDpiY()));
    if (!rgb) {
        uint16_t red[256] = {0}, green[256] = {0}, blue[256] = {0};
        const RGBQUAD* pal = GetPalette();
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            red[i] = uint16_t(pal[i].rgbRed * 257);
            green[i] = uint16_t(pal[i].rgbGreen * 257);
            blue[i] = uint16_t(pal[i].rgbBlue * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, red, green, blue);
    }
    const size_t rowBytes = (size_t(width) * (rgb ? 24 : bpp) + 7) / 8;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[rowBytes]);
    if (!line) {
        SetLastError("PxImageTIF can't allocate memory");
        return false;
    }
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* src = GetBits(height - 1 - row);
        std::memcpy(line.get(), src, rowBytes);
        if (rgb) {
            for (uint32_t x = 0; x < width; ++x)
                std::swap(line[3 * x], line[3 * x + 2]);
        }
        if (TIFFWriteScanline(t, line.get(), row, 0) < 0) {
            SetLastError("Error saving TIFF file");
            return false;
        }
    }
    if (!TIFFWriteDirectory(t)) {
        SetLastError("Error saving TIFF directory");
        return false;
    }
    return true;
}
