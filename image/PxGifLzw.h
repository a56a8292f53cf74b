#pragma once
// GIF's variable-length-code LZW (codes up to 12 bits), both directions.
// The decoder reads the image data sub-blocks through a bounded reader and
// never writes past its output; the encoder writes sub-blocks of at most 255
// bytes to a stream.
#include <cstddef>
#include <cstdint>

class PxByteReader;
class PxFile;

class PxGifLzw {
public:
    // Decodes the sub-blocks at the reader's position (after the minimum code
    // size byte) into out, at most outSize indices. Stops at the end code, at
    // the end of the data or at the first invalid code; *produced says how many
    // indices were stored. The reader is left after the block terminator when
    // the data was well formed. False only for an invalid minimum code size.
    bool Decode(PxByteReader& reader, uint8_t minCodeSize, uint8_t* out, size_t outSize,
                size_t* produced);

    // Writes minCodeSize, the LZW sub-blocks of count indices (each below
    // 2^minCodeSize) and the block terminator. False on a write error.
    bool Encode(PxFile* file, uint8_t minCodeSize, const uint8_t* indices, size_t count);

private:
    static constexpr int kMaxCodes = 4096;
    static constexpr int kHashSize = 5003;  // prime above 4096 * 1.2

    uint16_t prefix_[kMaxCodes];
    uint8_t suffix_[kMaxCodes];
    uint8_t stack_[kMaxCodes + 1];
    int32_t hashCodes_[kHashSize];   // encoder: code stored under a hash slot, -1 = free
    uint32_t hashKeys_[kHashSize];   // encoder: (prefix << 8 | byte) + 1 of that slot
};
