#pragma once
// Builds GIF files for tests without the library's encoder: the LZW data is
// written as literal codes with a clear code often enough that the code width
// never grows, which every decoder must accept.
#include <algorithm>
#include <string>

#include "ByteBuilder.h"

// Image data: minimum code size byte, sub-blocks, terminator.
inline Bytes LiteralLzw(const Bytes& indices, uint8_t minCodeSize, size_t keepCodes = SIZE_MAX) {
    const uint32_t clear = 1u << minCodeSize, width = minCodeSize + 1u;
    const size_t perClear = clear - 2;  // literals before the width would grow
    std::vector<uint32_t> codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % perClear == 0)
            codes.push_back(clear);
        codes.push_back(indices[i]);
    }
    codes.push_back(clear + 1);  // end
    if (keepCodes < codes.size())
        codes.resize(keepCodes);
    Bytes packed;
    uint32_t acc = 0, bits = 0;
    for (uint32_t c : codes) {
        acc |= c << bits;
        bits += width;
        while (bits >= 8) {
            packed.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits)
        packed.push_back(uint8_t(acc));
    Bytes out{minCodeSize};
    for (size_t i = 0; i < packed.size(); i += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

// Screen descriptor with a global table of 2^(bits) colours (bits 0 = none).
inline Bytes GifScreen(uint16_t w, uint16_t h, int tableBits, const Bytes& table = {}) {
    const uint8_t flags = tableBits ? uint8_t(0x80 | (tableBits - 1)) : 0;
    Bytes t = table;
    if (tableBits)
        t.resize(size_t(3) << tableBits, 0);
    return Cat({{'G', 'I', 'F', '8', '9', 'a'}, U16(w), U16(h), {flags, 0, 0}, t});
}

// Graphic control extension: transparency flag and index, delay, disposal.
inline Bytes GifControl(int transIndex, uint16_t delay = 0, uint8_t disposal = 0) {
    const uint8_t flags = uint8_t((disposal << 2) | (transIndex >= 0 ? 1 : 0));
    return Cat({{'!', 0xF9, 4, flags}, U16(delay), {uint8_t(transIndex >= 0 ? transIndex : 0), 0}});
}

// Image descriptor; a local table of 2^(bits) colours when bits > 0.
inline Bytes GifFrame(uint16_t left, uint16_t top, uint16_t w, uint16_t h, bool interlaced,
                      int tableBits = 0, const Bytes& table = {}) {
    uint8_t flags = interlaced ? 0x40 : 0;
    Bytes t = table;
    if (tableBits) {
        flags |= uint8_t(0x80 | (tableBits - 1));
        t.resize(size_t(3) << tableBits, 0);
    }
    return Cat({{','}, U16(left), U16(top), U16(w), U16(h), {flags}, t});
}
