#pragma once
// EXIF blocks for tests: "Exif\0\0", a TIFF header and directories given
// entry by entry, little-endian ("II").
#include "ByteBuilder.h"

struct ExifEntry {
    uint16_t tag;
    uint16_t format;
    uint32_t count;
    uint32_t value;  // inline value or offset within the TIFF block
};

// Directory at its offset: count, 12-byte entries, next-directory link.
inline Bytes ExifDirectory(std::initializer_list<ExifEntry> entries, uint32_t next = 0) {
    Bytes out = U16(uint32_t(entries.size()));
    for (const ExifEntry& e : entries)
        out = Cat({out, U16(e.tag), U16(e.format), U32(e.count), U32(e.value)});
    return Cat({out, U32(next)});
}

// APP1 payload: "Exif\0\0" + "II" 42 + first directory at 8 + the rest.
inline Bytes ExifBlock(const Bytes& afterHeader, uint32_t firstOffset = 8) {
    return Cat({{'E', 'x', 'i', 'f', 0, 0}, {'I', 'I'}, U16(42), U32(firstOffset), afterHeader});
}

// Inserts an APP1 section right after a JPEG's start-of-image marker.
inline Bytes WithApp1(const Bytes& jpeg, const Bytes& payload) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out = Cat({out, {0xFF, 0xE1}, B16(uint32_t(payload.size() + 2)), payload});
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}
