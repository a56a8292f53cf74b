// libFuzzer targets for the decoders. Built once per target with
// PX_FUZZ_FORMAT set to the format id it feeds (0 = auto-detect, which tries
// every decoder of npPixmend in turn). The decoder must fail cleanly or
// produce a sane image with zero row padding; the sanitizers report
// anything else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/PxFile.h"
#include "image/PxImage.h"

#ifndef PX_FUZZ_FORMAT
#error "define PX_FUZZ_FORMAT"
#endif

namespace {

// Pictures above this many pixels are sized by a header-only pass and
// skipped: allocating and clearing up to 256 MiB under ASan takes a fuzzer
// about a second per input and finds no new paths (the memory limit itself
// is covered by the committed malformed files).
constexpr uint64_t kMaxFuzzPixels = uint64_t{1} << 22;

bool TooLarge(const uint8_t* data, size_t size) {
    PxMemFile file(const_cast<uint8_t*>(data), static_cast<uint32_t>(size));
    PxImage header;
    header.SetEscape(-1);
    return header.Decode(&file, PX_FUZZ_FORMAT) &&
           uint64_t{header.GetWidth()} * header.GetHeight() > kMaxFuzzPixels;
}

// Every bit of a row past its last pixel is zero: encoders write rows whole.
bool PaddingIsZero(const PxImage& image) {
    const uint64_t bits = uint64_t{image.GetWidth()} * image.GetBpp();
    const size_t whole = static_cast<size_t>((bits + 7) / 8);
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        const uint8_t* row = image.GetBits(y);
        if (bits % 8 && (row[whole - 1] & (0xFF >> (bits % 8))) != 0)
            return false;
        for (size_t b = whole; b < image.GetEffWidth(); ++b)
            if (row[b] != 0)
                return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22) || TooLarge(data, size))
        return 0;
    PxMemFile file(const_cast<uint8_t*>(data), static_cast<uint32_t>(size));
    PxImage image;
    if (PX_FUZZ_FORMAT == PXIMAGE_FORMAT_GIF && size > 0)
        image.SetKeepAllFrames((data[size - 1] & 1) != 0);  // both GIF paths
    if (image.Decode(&file, PX_FUZZ_FORMAT)) {
        if (!image.IsValid() || image.GetWidth() == 0 || image.GetHeight() == 0 ||
            !PaddingIsZero(image))
            std::abort();
        // Touch both ends of the pixel rows so a short block shows up under ASan.
        volatile uint8_t sink = image.GetBits(0)[0];
        sink = image.GetBits(image.GetHeight() - 1)[image.GetEffWidth() - 1];
        (void)sink;
    } else if (image.IsValid()) {
        std::abort();
    }
    return 0;
}
