// libFuzzer targets for the decoders. Built once per target with
// PX_FUZZ_FORMAT set to the format id it feeds (0 = auto-detect, which tries
// every decoder of npPixmend in turn). The decoder must fail cleanly or
// produce a sane image; the sanitizers report anything else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/PxFile.h"
#include "image/PxImage.h"

#ifndef PX_FUZZ_FORMAT
#error "define PX_FUZZ_FORMAT"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22))
        return 0;
    PxMemFile file(const_cast<uint8_t*>(data), static_cast<uint32_t>(size));
    PxImage image;
    if (PX_FUZZ_FORMAT == PXIMAGE_FORMAT_GIF && size > 0)
        image.SetKeepAllFrames((data[size - 1] & 1) != 0);  // both GIF paths
    if (image.Decode(&file, PX_FUZZ_FORMAT)) {
        if (!image.IsValid() || image.GetWidth() == 0 || image.GetHeight() == 0)
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
