#pragma once
// The codecs of this flavour, in auto-detect order. Each flavour links its
// own table (CodecTable_np.cpp, CodecTable_ax.cpp), so Pixmend carries no GIF
// or TIFF code at all.
#include <cstddef>
#include <cstdint>
#include <new>

#include "image/PxImage.h"

struct PxCodecEntry {
    uint32_t format;
    PxImage* (*create)();  // new codec object, null when out of memory
    bool (*decode)(PxImage& codec, PxFile* file);
    bool (*encode)(PxImage& codec, PxFile* file);
};

// The table and its length.
const PxCodecEntry* PxCodecTable(size_t* count);
// The entry of a format id; null for 0 and for ids this flavour lacks.
const PxCodecEntry* PxFindCodec(uint32_t format);

// Table entry of a codec class with non-virtual Decode(PxFile*) and
// Encode(PxFile*).
template <class Codec>
constexpr PxCodecEntry PxMakeCodecEntry(uint32_t format) {
    return PxCodecEntry{
        format,
        []() -> PxImage* { return new (std::nothrow) Codec(); },
        [](PxImage& codec, PxFile* file) { return static_cast<Codec&>(codec).Decode(file); },
        [](PxImage& codec, PxFile* file) { return static_cast<Codec&>(codec).Encode(file); },
    };
}
