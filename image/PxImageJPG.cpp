#include "image/PxImageJPG.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "image/PxFile.h"

namespace {

constexpr size_t kBufferSize = 4096;
// Memory libjpeg may use for one picture (progressive coefficient buffers).
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;
// Corrupt-data warnings tolerated before a decode is abandoned.
constexpr int kMaxWarnings = 1000;
constexpr int kRowBatch = 16;

// Error manager: error_exit formats the message and jumps back to the one
// setjmp of the running adapter.
struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
};

void OnError(j_common_ptr cinfo) {
    JpegError* e = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    longjmp(e->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    JpegError* e = reinterpret_cast<JpegError*>(cinfo->err);
    if (level < 0 && ++e->warnings > kMaxWarnings) {
        std::snprintf(e->message, sizeof(e->message), "Corrupt JPEG data: too many errors");
        longjmp(e->jump, 1);
    }
}

void OnOutputMessage(j_common_ptr) {}  // nothing is printed

void InitError(JpegError* e) {
    jpeg_std_error(&e->pub);
    e->pub.error_exit = OnError;
    e->pub.emit_message = OnMessage;
    e->pub.output_message = OnOutputMessage;
    e->message[0] = '\0';
    e->warnings = 0;
}

// Source manager over a PxFile. When the data ends early it supplies a fake
// end-of-image marker, so libjpeg finishes with what it has instead of
// reading past the end.
struct JpegSource {
    jpeg_source_mgr pub;
    PxFile* file;
    JOCTET buffer[kBufferSize];
    bool startOfFile;
};

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegSource*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    JpegSource* src = reinterpret_cast<JpegSource*>(cinfo->src);
    size_t n = src->file->Read(src->buffer, 1, kBufferSize);
    if (n == 0) {
        if (src->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    JpegSource* src = reinterpret_cast<JpegSource*>(cinfo->src);
    if (count <= 0)
        return;
    if (static_cast<size_t>(count) > src->pub.bytes_in_buffer) {
        // Skip the rest in the stream; a position past the end just reads 0.
        const long beyond = count - static_cast<long>(src->pub.bytes_in_buffer);
        src->file->Seek(static_cast<int32_t>(std::min<long>(beyond, INT32_MAX)), SEEK_CUR);
        src->pub.bytes_in_buffer = 0;
        FillInputBuffer(cinfo);
        return;
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void InitSourceManager(JpegSource* src, PxFile* file) {
    src->file = file;
    src->startOfFile = true;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
}

// Destination manager over a PxFile, 4096 bytes at a time.
struct JpegDestination {
    jpeg_destination_mgr pub;
    PxFile* file;
    JOCTET buffer[kBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
    JpegDestination* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    JpegDestination* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
    if (d->file->Write(d->buffer, 1, kBufferSize) != kBufferSize)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    JpegDestination* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
    const size_t n = kBufferSize - d->pub.free_in_buffer;
    if (n && d->file->Write(d->buffer, 1, n) != n)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitDestinationManager(JpegDestination* d, PxFile* file) {
    d->file = file;
    d->pub.init_destination = InitDestination;
    d->pub.empty_output_buffer = EmptyOutputBuffer;
    d->pub.term_destination = TermDestination;
}

// Everything one decode owns. Declared before the setjmp, destroyed after
// it, so a jump out of libjpeg frees the library state and the buffers.
struct JpegDecoder {
    jpeg_decompress_struct cinfo;
    JpegError error;
    JpegSource source;
    std::unique_ptr<uint8_t[]> scratch;

    explicit JpegDecoder(PxFile* file) {
        std::memset(&cinfo, 0, sizeof(cinfo));
        InitError(&error);
        InitSourceManager(&source, file);
    }
    ~JpegDecoder() { jpeg_destroy_decompress(&cinfo); }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
};

struct JpegEncoder {
    jpeg_compress_struct cinfo;
    JpegError error;
    JpegDestination destination;
    std::unique_ptr<uint8_t[]> scratch;

    explicit JpegEncoder(PxFile* file) {
        std::memset(&cinfo, 0, sizeof(cinfo));
        InitError(&error);
        InitDestinationManager(&destination, file);
    }
    ~JpegEncoder() { jpeg_destroy_compress(&cinfo); }
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;
};

enum DecodeResult { kDecodeFailed = 0, kDecodeDone = 1, kDecodeHeaderOnly = 2 };

int32_t RoundToInt(double v) {
    if (!(v > 0))
        return 0;
    return v < 2147483647.0 ? static_cast<int32_t>(std::floor(v + 0.5)) : INT32_MAX;
}

}  // namespace

namespace {

// Chooses the output form from the codec options (JPEG slot).
void ApplyDecodeSettings(jpeg_decompress_struct* c, const PxImage& image) {
    const uint32_t options = image.GetCodecOption(PXIMAGE_FORMAT_JPG);
    if (image.GetJpegScale()) {
        c->scale_num = 1;
        c->scale_denom = image.GetJpegScale();
    }
    const bool cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
    if (cmyk) {
        c->out_color_space = JCS_CMYK;
    } else if ((options & PxImageJPG::kDecodeGrayscale) || c->num_components == 1) {
        c->out_color_space = JCS_GRAYSCALE;
    } else if (options & PxImageJPG::kDecodeQuantize) {
        c->out_color_space = JCS_RGB;
    } else {
#ifdef JCS_EXTENSIONS
        c->out_color_space = JCS_EXT_BGR;  // straight into the DIB's byte order
#else
        c->out_color_space = JCS_RGB;
#endif
    }
    if ((options & PxImageJPG::kDecodeQuantize) && !cmyk) {
        c->quantize_colors = TRUE;
        c->desired_number_of_colors = std::max(8, std::min<int>(256, image.GetQuality()));
        c->dither_mode = (options & PxImageJPG::kDecodeDither) ? JDITHER_ORDERED : JDITHER_FS;
        c->two_pass_quantize = (options & PxImageJPG::kDecodeOnePass) ? FALSE : TRUE;
    }
    if (options & PxImageJPG::kDecodeNoFancyUpsampling)
        c->do_fancy_upsampling = FALSE;
}

void SetDecodedPalette(jpeg_decompress_struct* c, PxImage* image) {
    if (!c->quantize_colors) {
        if (c->out_color_components == 1)
            image->SetGrayPalette();
        return;
    }
    RGBQUAD colors[256];
    const int n = std::min(c->actual_number_of_colors, 256);
    for (int i = 0; i < n; ++i) {
        if (c->out_color_components == 3)
            colors[i] = RGBQUAD{c->colormap[2][i], c->colormap[1][i], c->colormap[0][i], 0};
        else
            colors[i] = RGBQUAD{c->colormap[0][i], c->colormap[0][i], c->colormap[0][i], 0};
    }
    image->SetPalette(colors, static_cast<uint32_t>(n));
}

// Inverted (Adobe) CMYK to blue, green, red: red = C x K / 255 and so on.
void ConvertCmykRow(const uint8_t* src, uint8_t* dst, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
        const uint32_t k = src[3];
        dst[0] = static_cast<uint8_t>(src[2] * k / 255);
        dst[1] = static_cast<uint8_t>(src[1] * k / 255);
        dst[2] = static_cast<uint8_t>(src[0] * k / 255);
    }
}

void SwapRedBlue(uint8_t* row, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, row += 3)
        std::swap(row[0], row[2]);
}

// Reads every scanline, top row first, into the bottom-up image rows.
bool ReadScanlines(JpegDecoder& d, PxImage* image) {
    jpeg_decompress_struct* c = &d.cinfo;
    const uint32_t height = c->output_height, width = c->output_width;
    const bool cmyk = c->out_color_space == JCS_CMYK;
    if (cmyk) {
        d.scratch.reset(new (std::nothrow) uint8_t[size_t(width) * 4]);
        if (!d.scratch)
            return false;
    }
    while (c->output_scanline < height) {
        if (image->GetEscape())
            return false;
        const uint32_t first = c->output_scanline;
        JSAMPROW rows[kRowBatch];
        const uint32_t count = cmyk ? 1 : std::min<uint32_t>(kRowBatch, height - first);
        for (uint32_t k = 0; k < count; ++k)
            rows[k] = cmyk ? d.scratch.get() : image->GetBits(height - 1 - (first + k));
        const JDIMENSION got = jpeg_read_scanlines(c, rows, count);
        if (got == 0)
            return false;
        for (uint32_t k = 0; k < got; ++k) {
            uint8_t* out = image->GetBits(height - 1 - (first + k));
            if (cmyk)
                ConvertCmykRow(d.scratch.get(), out, width);
            else if (c->out_color_space == JCS_RGB && !c->quantize_colors)
                SwapRedBlue(out, width);
        }
    }
    return true;
}

// The decode steps. Runs under RunDecode's setjmp: no locals with
// destructors here or in anything it calls.
DecodeResult DecodeSteps(JpegDecoder& d, PxImageJPG* image, const PxExifInfo& exif) {
    jpeg_decompress_struct* c = &d.cinfo;
    c->err = &d.error.pub;
    jpeg_create_decompress(c);
    c->mem->max_memory_to_use = kMaxLibraryMemory;
    c->src = &d.source.pub;
    if (jpeg_read_header(c, TRUE) != JPEG_HEADER_OK)
        return kDecodeFailed;
    ApplyDecodeSettings(c, *image);
    jpeg_calc_output_dimensions(c);
    if (image->GetEscape() == -1)
        return kDecodeHeaderOnly;
    const uint32_t bpp = c->out_color_components == 1 || c->quantize_colors ? 8 : 24;
    if (!image->Create(c->output_width, c->output_height, bpp, PXIMAGE_FORMAT_JPG))
        return kDecodeFailed;  // Create's message stays
    // DPI: EXIF resolution when present, else the JFIF density.
    if (exif.isExif && exif.xResolution > 0 && exif.yResolution > 0 && exif.resolutionUnit > 0) {
        image->SetDpiX(RoundToInt(exif.xResolution / exif.resolutionUnit));
        image->SetDpiY(RoundToInt(exif.yResolution / exif.resolutionUnit));
    } else if (c->density_unit == 2) {
        image->SetDpiX(RoundToInt(c->X_density * 2.54));
        image->SetDpiY(RoundToInt(c->Y_density * 2.54));
    } else if (c->density_unit == 1) {
        image->SetDpiX(c->X_density);
        image->SetDpiY(c->Y_density);
    } else if (c->density_unit == 0 && c->X_density && c->Y_density) {
        image->SetDpiY(RoundToInt(double(image->GetDpiX()) * c->Y_density / c->X_density));
    }
    jpeg_start_decompress(c);
    SetDecodedPalette(c, image);
    return ReadScanlines(d, image) ? kDecodeDone : kDecodeFailed;
}

// The one setjmp of the decoder.
DecodeResult RunDecode(JpegDecoder& d, PxImageJPG* image, const PxExifInfo& exif) {
    if (setjmp(d.error.jump))
        return kDecodeFailed;
    return DecodeSteps(d, image, exif);
}

}  // namespace

PxImageJPG::PxImageJPG() : PxImage(PXIMAGE_FORMAT_JPG) {
    std::memset(&exif_, 0, sizeof(exif_));
}

bool PxImageJPG::Decode(PxFile* file) {
    if (!file)
        return false;
    const int32_t start = file->Tell();
    PxExifReader exifReader(&exif_);
    exifReader.Decode(file);
    if (!file->Seek(start, SEEK_SET))
        return false;
    std::unique_ptr<JpegDecoder> d(new (std::nothrow) JpegDecoder(file));
    if (!d) {
        SetLastError("can't allocate memory");
        return false;
    }
    const DecodeResult result = RunDecode(*d, this, exif_);
    if (result == kDecodeFailed) {
        if (d->error.message[0])
            SetLastError(d->error.message);
        return false;
    }
    if (result == kDecodeHeaderOnly) {
        head_.biWidth = static_cast<int32_t>(d->cinfo.output_width);
        head_.biHeight = static_cast<int32_t>(d->cinfo.output_height);
        info_.type = PXIMAGE_FORMAT_JPG;
    }
    return true;
}

namespace {

void ApplyEncodeSettings(jpeg_compress_struct* c, const PxImage& image, bool gray) {
    const uint32_t options = image.GetCodecOption(PXIMAGE_FORMAT_JPG);
    jpeg_set_defaults(c);
    if (options & PxImageJPG::kEncodeGrayscale)
        jpeg_set_colorspace(c, JCS_GRAYSCALE);
    jpeg_set_quality(c, image.GetQuality(), (options & PxImageJPG::kEncodeBaseline) ? TRUE : FALSE);
    if (options & PxImageJPG::kEncodeArithmetic)
        c->arith_code = TRUE;
    if (options & PxImageJPG::kEncodeOptimize)
        c->optimize_coding = TRUE;
    if (options & PxImageJPG::kEncodeProgressive)
        jpeg_simple_progression(c);
    if (options & PxImageJPG::kEncodeSmooth)
        c->smoothing_factor = 25;
    if (!gray && c->num_components == 3) {
        // 4:2:0 unless asked for 4:2:2 or 4:4:4; chroma stays 1 x 1.
        c->comp_info[0].h_samp_factor = (options & PxImageJPG::kEncodeSubsample444) ? 1 : 2;
        c->comp_info[0].v_samp_factor =
            (options & (PxImageJPG::kEncodeSubsample422 | PxImageJPG::kEncodeSubsample444)) ? 1 : 2;
    }
    c->density_unit = 1;  // dots per inch
    c->X_density = static_cast<UINT16>(std::max(1, std::min(65535, image.GetDpiX())));
    c->Y_density = static_cast<UINT16>(std::max(1, std::min(65535, image.GetDpiY())));
}

// The encode steps. Runs under RunEncode's setjmp: no locals with
// destructors here or in anything it calls.
bool EncodeSteps(JpegEncoder& e, const PxImage& image, bool gray) {
    jpeg_compress_struct* c = &e.cinfo;
    c->err = &e.error.pub;
    jpeg_create_compress(c);
    c->dest = &e.destination.pub;
    c->image_width = image.GetWidth();
    c->image_height = image.GetHeight();
    c->input_components = gray ? 1 : 3;
#ifdef JCS_EXTENSIONS
    c->in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
#else
    c->in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
#endif
    ApplyEncodeSettings(c, image, gray);
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    // Rows that are not stored as the library wants them go through scratch.
    const bool direct = gray ? image.GetBpp() == 8 : c->in_color_space != JCS_RGB;
    if (!direct) {
        e.scratch.reset(new (std::nothrow) uint8_t[size_t(width) * 3]);
        if (!e.scratch)
            return false;
    }
    jpeg_start_compress(c, TRUE);
    while (c->next_scanline < height) {
        const uint32_t y = height - 1 - c->next_scanline;
        JSAMPROW row = image.GetBits(y);
        if (!direct) {
            uint8_t* out = e.scratch.get();
            if (gray) {
                for (uint32_t x = 0; x < width; ++x)
                    out[x] = image.GetPixelIndex(int32_t(x), int32_t(y));
            } else {
                for (uint32_t x = 0; x < width; ++x) {
                    out[3 * x] = row[3 * x + 2];
                    out[3 * x + 1] = row[3 * x + 1];
                    out[3 * x + 2] = row[3 * x];
                }
            }
            row = out;
        }
        jpeg_write_scanlines(c, &row, 1);
    }
    jpeg_finish_compress(c);
    return true;
}

// The one setjmp of the encoder.
bool RunEncode(JpegEncoder& e, const PxImage& image, bool gray) {
    if (setjmp(e.error.jump))
        return false;
    return EncodeSteps(e, image, gray);
}

}  // namespace

bool PxImageJPG::Encode(PxFile* file) {
    if (!file || !IsValid())
        return false;
    const bool gray = GetBpp() != 24;
    if (gray && !IsGrayRamp()) {
        SetLastError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    std::unique_ptr<JpegEncoder> e(new (std::nothrow) JpegEncoder(file));
    if (!e) {
        SetLastError("can't allocate memory");
        return false;
    }
    if (!RunEncode(*e, *this, gray)) {
        SetLastError(e->error.message[0] ? e->error.message : "can't allocate memory");
        return false;
    }
    return true;
}
