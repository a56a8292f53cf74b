#include "image/PxImageGIF.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/PxByteReader.h"
#include "image/PxFile.h"
#include "image/PxGifLzw.h"

// Logical screen: its size and the global colour table (null when absent).
struct PxGifScreen {
    uint16_t width = 0;
    uint16_t height = 0;
    const uint8_t* table = nullptr;  // colors x (red, green, blue)
    uint32_t colors = 0;
};

// Graphic control extension: applies to the next image only.
struct PxGifControl {
    bool transparent = false;
    uint8_t transIndex = 0;
    uint16_t delay = 0;  // hundredths of a second
    uint8_t disposal = 0;
};

// Image descriptor with its local colour table (null when absent).
struct PxGifFrame {
    uint16_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    const uint8_t* table = nullptr;
    uint32_t colors = 0;
};

namespace {

constexpr size_t kMaxGifBytes = PXIMAGE_MAX_MEMORY;
// Pixels decoded across all frames of one file: bounds the work that a small
// file of many large, nearly empty frames can cause.
constexpr uint64_t kMaxDecodedPixels = uint64_t(4) * PXIMAGE_MAX_MEMORY;
// Upper bound of the pixels one byte of LZW data can produce (codes of at
// least 2 bits, strings of at most 4096 indices).
constexpr uint64_t kMaxPixelsPerByte = 4 * 4096;

bool SkipSubBlocks(PxByteReader& r) {
    uint8_t n = 0;
    do {
        if (!r.ReadU8(&n) || !r.Skip(n))
            return false;
    } while (n);
    return true;
}

bool ReadColorTable(PxByteReader& r, uint8_t flags, const uint8_t** table, uint32_t* colors) {
    *table = nullptr;
    *colors = 0;
    if (!(flags & 0x80))
        return true;
    *colors = 2u << (flags & 7);
    return r.View(size_t(*colors) * 3, table);
}

// Image descriptor after its "," introducer: left, top, width, height (16-bit
// little-endian), flags (0x80 local table, 0x40 interlaced, low 3 bits size).
bool ReadFrameHeader(PxByteReader& r, PxGifFrame* f) {
    uint8_t flags = 0;
    if (!r.ReadU16LE(&f->left) || !r.ReadU16LE(&f->top) || !r.ReadU16LE(&f->width) ||
        !r.ReadU16LE(&f->height) || !r.ReadU8(&flags))
        return false;
    f->interlaced = (flags & 0x40) != 0;
    return ReadColorTable(r, flags, &f->table, &f->colors);
}

// Extension after its "!" introducer. The graphic control block is 4 bytes:
// flags (bit 0 transparent, bits 2-4 disposal), delay, transparent index.
// Application ("NETSCAPE2.0" loop count), comment and others are skipped.
bool ReadExtension(PxByteReader& r, PxGifControl* c) {
    uint8_t label = 0;
    if (!r.ReadU8(&label))
        return false;
    if (label == 0xF9) {
        uint8_t size = 0, flags = 0;
        if (!r.ReadU8(&size))
            return false;
        PxByteReader block(nullptr, 0);
        if (!r.SubReader(r.Offset(), size, &block) || !r.Skip(size))
            return false;
        if (size >= 4 && block.ReadU8(&flags) && block.ReadU16LE(&c->delay) &&
            block.ReadU8(&c->transIndex)) {
            c->transparent = (flags & 1) != 0;
            c->disposal = static_cast<uint8_t>((flags >> 2) & 7);
        }
    }
    return SkipSubBlocks(r);
}

// Skips an image's LZW data (minimum code size byte and sub-blocks).
bool SkipImageData(PxByteReader& r) {
    return r.Skip(1) && SkipSubBlocks(r);
}

// Walks the blocks from the reader's position and counts image descriptors.
int32_t CountFrames(PxByteReader r) {
    int32_t count = 0;
    PxGifControl unused;
    uint8_t introducer = 0;
    while (r.ReadU8(&introducer)) {
        if (introducer == '!') {
            if (!ReadExtension(r, &unused))
                break;
        } else if (introducer == ',') {
            PxGifFrame f;
            if (!ReadFrameHeader(r, &f))
                break;
            ++count;
            if (!SkipImageData(r) || count == INT32_MAX)
                break;
        } else {
            break;  // ";" or garbage ends the stream
        }
    }
    return count;
}

bool FitsScreen(const PxGifFrame& f, const PxGifScreen& s) {
    return f.width > 0 && f.height > 0 && uint32_t(f.left) + f.width <= s.width &&
           uint32_t(f.top) + f.height <= s.height;
}

// Decode order of the rows of an interlaced image: 4 passes.
void InterlacedRows(uint32_t height, std::vector<uint32_t>* rows) {
    static const uint32_t kStart[4] = {0, 4, 2, 1};
    static const uint32_t kStep[4] = {8, 8, 4, 2};
    rows->clear();
    for (int pass = 0; pass < 4; ++pass) {
        for (uint32_t y = kStart[pass]; y < height; y += kStep[pass])
            rows->push_back(y);
    }
}

// Packs one top-down row of indices into a bottom-up image row.
void StoreRow(PxImage* image, uint32_t displayRow, const uint8_t* indices) {
    const uint32_t width = image->GetWidth();
    const uint32_t bpp = image->GetBpp();
    uint8_t* row = image->GetBits(image->GetHeight() - 1 - displayRow);
    if (bpp == 8) {
        std::memcpy(row, indices, width);
        return;
    }
    std::memset(row, 0, image->GetEffWidth());
    const uint32_t perByte = 8 / bpp;
    const uint8_t mask = static_cast<uint8_t>((1u << bpp) - 1);
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t shift = (perByte - 1 - x % perByte) * bpp;
        row[x / perByte] |= static_cast<uint8_t>((indices[x] & mask) << shift);
    }
}

}  // namespace

PxImageGIF::PxImageGIF() : PxImage(PXIMAGE_FORMAT_GIF) {}
PxImageGIF::~PxImageGIF() = default;

bool PxImageGIF::DecodeFrame(PxByteReader& r, const PxGifScreen& screen, const PxGifFrame& f,
                             const PxGifControl& c) {
    const uint8_t* table = f.table ? f.table : screen.table;
    const uint32_t colors = f.table ? f.colors : screen.colors;
    const uint32_t bpp = colors <= 2 ? 1 : colors <= 16 ? 4 : 8;
    const uint64_t pixels = uint64_t(f.width) * f.height;
    if (pixels > PXIMAGE_MAX_MEMORY) {
        SetLastError("PXIMAGE_MAX_MEMORY exceeded");
        return false;
    }
    uint8_t minCodeSize = 0;
    if (GetEscape() || !r.ReadU8(&minCodeSize))
        return false;
    // One code yields at most 4096 pixels: data far too short for the frame
    // is refused before the index buffer is allocated and cleared.
    if (pixels / kMaxPixelsPerByte > r.Remaining()) {
        SetLastError("Corrupt GIF image data");
        return false;
    }
    if (!Create(f.width, f.height, bpp, PXIMAGE_FORMAT_GIF))
        return false;
    RGBQUAD palette[256];
    const uint32_t entries = GetNumColors();
    for (uint32_t i = 0; i < entries; ++i) {
        if (table && i < colors)
            palette[i] = RGBQUAD{table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
        else if (c.transparent)
            palette[i] = RGBQUAD{255, 255, 255, 0};
        else
            palette[i] = RGBQUAD{0, 0, 0, 0};
    }
    SetPalette(palette, entries);
    SetTransIndex(c.transparent ? c.transIndex : -1);
    info_.frameDelay = c.delay;
    info_.gifDisposal = c.disposal;
    info_.offsetX = f.left;
    info_.offsetY = f.top;
    std::unique_ptr<uint8_t[]> indices(new (std::nothrow) uint8_t[size_t(pixels)]);
    if (!lzw_)
        lzw_.reset(new (std::nothrow) PxGifLzw);
    if (!indices || !lzw_) {
        SetLastError("can't allocate memory");
        return false;
    }
    // Pixels the data does not cover show the transparent (or first) colour.
    std::memset(indices.get(), c.transparent ? c.transIndex : 0, size_t(pixels));
    size_t produced = 0;
    if (!lzw_->Decode(r, minCodeSize, indices.get(), size_t(pixels), &produced)) {
        SetLastError("Corrupt GIF image data");
        return false;
    }
    std::vector<uint32_t> order;
    if (f.interlaced)
        InterlacedRows(f.height, &order);
    for (uint32_t k = 0; k < f.height; ++k)
        StoreRow(this, f.interlaced ? order[k] : k, indices.get() + size_t(k) * f.width);
    return true;
}

namespace {

// Paints a decoded frame at its offset into a 24-bpp canvas; transparent
// pixels are left alone and nothing is written outside the canvas.
void PaintFrame(PxImage* canvas, const PxImage& frame) {
    const int32_t left = frame.GetInfo().offsetX, top = frame.GetInfo().offsetY;
    const int32_t trans = frame.GetTransIndex();
    const int32_t cw = canvas->GetWidth(), ch = canvas->GetHeight();
    const int32_t fw = frame.GetWidth(), fh = frame.GetHeight();
    for (int32_t y = 0; y < fh; ++y) {
        const int32_t sy = top + y;  // top-down on the canvas
        if (sy < 0 || sy >= ch)
            continue;
        uint8_t* dst = canvas->GetBits(ch - 1 - sy);
        for (int32_t x = 0; x < fw; ++x) {
            const int32_t sx = left + x;
            if (sx < 0 || sx >= cw)
                continue;
            const uint8_t index = frame.GetPixelIndex(x, fh - 1 - y);
            if (trans >= 0 && index == trans)
                continue;
            const RGBQUAD c = frame.GetPaletteColor(index);
            dst[3 * sx] = c.rgbBlue;
            dst[3 * sx + 1] = c.rgbGreen;
            dst[3 * sx + 2] = c.rgbRed;
        }
    }
}

}  // namespace

bool PxImageGIF::DecodeAll(PxByteReader& r, const PxGifScreen& screen, bool tiled) {
    const bool keep = KeepsAllFrames();
    std::vector<std::unique_ptr<PxImageGIF>> frames;
    std::unique_ptr<PxImageGIF> requested;
    PxImage canvas;
    if (tiled) {
        if (!canvas.Create(screen.width, screen.height, 24, PXIMAGE_FORMAT_GIF)) {
            CopyErrorFrom(canvas);
            return false;
        }
        std::memset(canvas.GetBits(0), 0, size_t(canvas.GetEffWidth()) * screen.height);
    }
    uint64_t decodedPixels = 0, keptBytes = 0;
    PxGifControl control;
    int32_t index = 0;
    uint8_t introducer = 0;
    while (r.ReadU8(&introducer)) {
        if (introducer == '!') {
            if (!ReadExtension(r, &control))
                break;
            continue;
        }
        PxGifFrame f;
        if (introducer != ',' || !ReadFrameHeader(r, &f))
            break;
        const PxGifControl current = control;
        control = PxGifControl();
        const int32_t frameIndex = index++;
        decodedPixels += uint64_t(f.width) * f.height;
        if (!FitsScreen(f, screen) || decodedPixels > kMaxDecodedPixels) {
            if (!SkipImageData(r))
                break;
            continue;
        }
        std::unique_ptr<PxImageGIF> frame(new (std::nothrow) PxImageGIF);
        if (!frame) {
            SetLastError("can't allocate memory");
            return false;
        }
        frame->info_.escape = info_.escape;
        if (!frame->DecodeFrame(r, screen, f, current)) {
            CopyErrorFrom(*frame);
            return false;
        }
        frame->info_.frameIndex = frameIndex;
        if (tiled)
            PaintFrame(&canvas, *frame);
        if (keep) {
            keptBytes += frame->GetSize();
            if (keptBytes > PXIMAGE_MAX_MEMORY) {
                SetLastError("PXIMAGE_MAX_MEMORY exceeded");
                return false;
            }
        }
        if (frameIndex == info_.frameIndex && !tiled)
            requested.reset(new (std::nothrow) PxImageGIF);
        if (requested && !requested->IsValid() && !requested->CopyFrom(*frame)) {
            CopyErrorFrom(*requested);
            return false;
        }
        if (keep)
            frames.push_back(std::move(frame));
    }
    PxImage* result = tiled ? &canvas : requested.get();
    if (!result || !result->IsValid()) {
        SetLastError("GIF frame not found");
        return false;
    }
    const ImageInfo settings = info_;
    const int32_t found = info_.numFrames;
    MoveFrom(*result, false);
    info_.numFrames = found;
    info_.frameIndex = settings.frameIndex;
    info_.getAllFrames = settings.getAllFrames;
    if (keep && !frames.empty()) {
        PxImage** array = new (std::nothrow) PxImage*[frames.size()];
        if (!array) {
            SetLastError("can't allocate memory");
            return false;
        }
        for (size_t i = 0; i < frames.size(); ++i)
            array[i] = frames[i].release();
        AdoptFrames(array, static_cast<int32_t>(frames.size()));
        info_.numFrames = found;
    }
    return true;
}

bool PxImageGIF::Decode(PxFile* file) {
    if (!file)
        return false;
    // Auto-detection tries GIF before PNG: look at the signature before
    // copying the whole stream into memory.
    char head[6];
    if (file->Read(head, 1, sizeof(head)) != sizeof(head) || std::memcmp(head, "GIF8", 4) != 0 ||
        !file->Seek(-int32_t(sizeof(head)), SEEK_CUR))
        return false;
    std::vector<uint8_t> data;
    PxReadUpTo(file, &data, kMaxGifBytes);
    PxByteReader r(data.data(), data.size());
    // Screen descriptor: "GIF87a"/"GIF89a", width, height, flags, background
    // index, aspect ratio.
    char signature[6];
    PxGifScreen screen;
    uint8_t flags = 0, background = 0, aspect = 0;
    if (!r.ReadBytes(signature, sizeof(signature)) || std::memcmp(signature, "GIF8", 4) != 0 ||
        !r.ReadU16LE(&screen.width) || !r.ReadU16LE(&screen.height) || !r.ReadU8(&flags) ||
        !r.ReadU8(&background) || !r.ReadU8(&aspect) ||
        !ReadColorTable(r, flags, &screen.table, &screen.colors))
        return false;
    const int32_t count = CountFrames(r);
    info_.numFrames = count;
    if (GetEscape() == -1) {  // header only
        head_.biWidth = screen.width;
        head_.biHeight = screen.height;
        info_.type = PXIMAGE_FORMAT_GIF;
        return true;
    }
    if (info_.frameIndex < 0 || info_.frameIndex >= count) {
        SetLastError("GIF frame not found");
        return false;
    }
    // A tiled true-colour picture: several frames, no global colour table and
    // a first frame that differs from the screen in both dimensions.
    bool tiled = false;
    if (count > 1 && !screen.table) {
        PxByteReader probe = r;
        PxGifControl unused;
        uint8_t introducer = 0;
        while (probe.ReadU8(&introducer) && introducer == '!' && ReadExtension(probe, &unused)) {
        }
        PxGifFrame first;
        tiled = introducer == ',' && ReadFrameHeader(probe, &first) &&
                first.width != screen.width && first.height != screen.height;
    }
    if (tiled || KeepsAllFrames())
        return DecodeAll(r, screen, tiled);
    PxGifControl control;
    int32_t index = 0;
    uint8_t introducer = 0;
    while (r.ReadU8(&introducer)) {
        if (introducer == '!') {
            if (!ReadExtension(r, &control))
                break;
            continue;
        }
        PxGifFrame f;
        if (introducer != ',' || !ReadFrameHeader(r, &f))
            break;
        if (index++ == info_.frameIndex) {
            if (!FitsScreen(f, screen))
                break;
            return DecodeFrame(r, screen, f, control);
        }
        control = PxGifControl();
        if (!SkipImageData(r))
            break;
    }
    SetLastError("GIF frame not found");
    return false;
}

namespace {

class GifWriter {
public:
    explicit GifWriter(PxFile* file) : file_(file) {}
    void Bytes(const void* p, size_t n) {
        if (n && file_->Write(p, 1, n) != n)
            ok_ = false;
    }
    void U8(uint8_t v) { Bytes(&v, 1); }
    void U16(uint32_t v) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        Bytes(b, 2);
    }
    // Colour table of 2^bits entries (red, green, blue), padded with black.
    void Table(const RGBQUAD* colors, uint32_t count, uint32_t bits) {
        for (uint32_t i = 0; i < (1u << bits); ++i) {
            const RGBQUAD c = i < count ? colors[i] : RGBQUAD{0, 0, 0, 0};
            const uint8_t rgb[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
            Bytes(rgb, 3);
        }
    }
    void Header(uint32_t width, uint32_t height, uint8_t flags) {
        Bytes("GIF89a", 6);
        U16(width);
        U16(height);
        U8(flags);
        U8(0);  // background index
        U8(0);  // aspect ratio
    }
    void Control(int32_t transIndex, uint32_t delay, uint8_t disposal) {
        const uint8_t head[3] = {'!', 0xF9, 4};
        Bytes(head, 3);
        U8(static_cast<uint8_t>(((disposal & 7) << 2) | (transIndex >= 0 ? 1 : 0)));
        U16(delay);
        U8(static_cast<uint8_t>(transIndex >= 0 ? transIndex : 0));
        U8(0);
    }
    void Loop() {
        const uint8_t app[] = {'!', 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                               '2', '.', '0', 3, 1, 0, 0, 0};  // loop forever
        Bytes(app, sizeof(app));
    }
    void Descriptor(uint32_t left, uint32_t top, uint32_t width, uint32_t height, uint8_t flags) {
        U8(',');
        U16(left);
        U16(top);
        U16(width);
        U16(height);
        U8(flags);
    }
    bool ok() const { return ok_; }

private:
    PxFile* file_;
    bool ok_ = true;
};

uint32_t TableBits(uint32_t bpp) { return bpp <= 1 ? 1 : bpp <= 4 ? 4 : 8; }

// The image's indices, top row first.
bool CollectIndices(const PxImage& image, std::vector<uint8_t>* out) {
    const uint32_t w = image.GetWidth(), h = image.GetHeight();
    try {
        out->resize(size_t(w) * h);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x)
            (*out)[size_t(y) * w + x] = image.GetPixelIndex(int32_t(x), int32_t(h - 1 - y));
    }
    return true;
}

}  // namespace

bool PxImageGIF::Encode(PxFile* file) {
    if (!file) {
        SetLastError("invalid file pointer");
        return false;
    }
    if (GetNumFrames() > 1 && GetFrame(0))
        return EncodeFrames(file);
    if (!IsValid()) {
        SetLastError("Empty image");
        return false;
    }
    if (GetBpp() > 8)
        return EncodeTiles(file);
    return EncodeSingle(file);
}

bool PxImageGIF::EncodeSingle(PxFile* file) {
    GifWriter out(file);
    const uint32_t bits = TableBits(GetBpp());
    out.Header(GetWidth(), GetHeight(), static_cast<uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
    out.Table(GetPalette(), GetNumColors(), bits);
    out.Control(GetTransIndex(), static_cast<uint32_t>(info_.frameDelay), info_.gifDisposal);
    out.Descriptor(0, 0, GetWidth(), GetHeight(), 0);
    std::vector<uint8_t> indices;
    if (!lzw_)
        lzw_.reset(new (std::nothrow) PxGifLzw);
    if (!lzw_ || !CollectIndices(*this, &indices)) {
        SetLastError("can't allocate memory");
        return false;
    }
    bool ok = out.ok() && lzw_->Encode(file, static_cast<uint8_t>(bits), indices.data(), indices.size());
    out.U8(';');
    if (!ok || !out.ok()) {
        SetLastError("Write Error in GIF file");
        return false;
    }
    return true;
}

bool PxImageGIF::EncodeFrames(PxFile* file) {
    const int32_t count = GetNumFrames();
    PxImage* first = GetFrame(0);
    for (int32_t i = 0; i < count; ++i) {
        PxImage* frame = GetFrame(i);
        if (!frame) {
            SetLastError(i == 0 ? "multipage GIF, no images!" : "Bad image pointer");
            return false;
        }
        if (!frame->IsValid()) {
            SetLastError("Empty image");
            return false;
        }
        if (frame->GetBpp() > 8) {
            SetLastError("PxImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before");
            return false;
        }
    }
    if (!lzw_)
        lzw_.reset(new (std::nothrow) PxGifLzw);
    if (!lzw_) {
        SetLastError("can't allocate memory");
        return false;
    }
    GifWriter out(file);
    const uint32_t bits0 = TableBits(first->GetBpp());
    out.Header(first->GetWidth(), first->GetHeight(),
               static_cast<uint8_t>(0x80 | ((bits0 - 1) << 4) | (bits0 - 1)));
    out.Table(first->GetPalette(), first->GetNumColors(), bits0);
    out.Loop();
    bool ok = true;
    std::vector<uint8_t> indices;
    for (int32_t i = 0; i < count && ok; ++i) {
        const PxImage* f = GetFrame(i);
        const ImageInfo& fi = f->GetInfo();
        const uint32_t bits = TableBits(f->GetBpp());
        out.Control(f->GetTransIndex(), static_cast<uint32_t>(fi.frameDelay), fi.gifDisposal);
        out.Descriptor(static_cast<uint32_t>(fi.offsetX), static_cast<uint32_t>(fi.offsetY),
                       f->GetWidth(), f->GetHeight(), static_cast<uint8_t>(0x80 | (bits - 1)));
        out.Table(f->GetPalette(), f->GetNumColors(), bits);
        ok = out.ok() && CollectIndices(*f, &indices) &&
             lzw_->Encode(file, static_cast<uint8_t>(bits), indices.data(), indices.size());
    }
    out.U8(';');
    if (!ok || !out.ok()) {
        SetLastError("Write Error in GIF file");
        return false;
    }
    return true;
}

// A true-colour image as 16 x 16 tiles: each tile has at most 256 colours and
// carries them as its local table. Decoders that composite frames (including
// this one's tiled form) rebuild the picture exactly.
bool PxImageGIF::EncodeTiles(PxFile* file) {
    constexpr uint32_t kTile = 16;
    if (!lzw_)
        lzw_.reset(new (std::nothrow) PxGifLzw);
    if (!lzw_) {
        SetLastError("can't allocate memory");
        return false;
    }
    GifWriter out(file);
    const uint32_t w = GetWidth(), h = GetHeight();
    out.Header(w, h, 0x70);  // no global table, 8-bit colour resolution
    bool ok = out.ok();
    for (uint32_t ty = 0; ty < h && ok; ty += kTile) {
        for (uint32_t tx = 0; tx < w && ok; tx += kTile) {
            const uint32_t tw = std::min(kTile, w - tx), th = std::min(kTile, h - ty);
            RGBQUAD colors[256];
            uint32_t used = 0;
            uint8_t indices[kTile * kTile];
            for (uint32_t y = 0; y < th; ++y) {
                const uint8_t* row = GetBits(h - 1 - (ty + y));
                for (uint32_t x = 0; x < tw; ++x) {
                    const uint8_t* p = row + 3 * (tx + x);
                    uint32_t k = 0;
                    while (k < used && !(colors[k].rgbBlue == p[0] && colors[k].rgbGreen == p[1] &&
                                         colors[k].rgbRed == p[2]))
                        ++k;
                    if (k == used)
                        colors[used++] = RGBQUAD{p[0], p[1], p[2], 0};
                    indices[y * tw + x] = static_cast<uint8_t>(k);
                }
            }
            out.Descriptor(tx, ty, tw, th, 0x87);
            out.Table(colors, used, 8);
            ok = out.ok() && lzw_->Encode(file, 8, indices, size_t(tw) * th);
        }
    }
    out.U8(';');
    if (!ok || !out.ok()) {
        SetLastError("Write Error in GIF file");
        return false;
    }
    return true;
}
