#include "image/PxByteReader.h"

#include <new>

#include "image/PxFile.h"

size_t PxReadUpTo(PxFile* file, std::vector<uint8_t>* out, size_t maxBytes) {
    out->clear();
    if (!file)
        return 0;
    constexpr size_t kChunk = 65536;
    try {
        while (out->size() < maxBytes) {
            size_t want = maxBytes - out->size();
            if (want > kChunk)
                want = kChunk;
            size_t old = out->size();
            out->resize(old + want);
            size_t got = file->Read(out->data() + old, 1, want);
            out->resize(old + got);
            if (got < want)
                break;
        }
    } catch (const std::bad_alloc&) {
        // Keep what was read; callers treat the data as truncated.
    }
    return out->size();
}
