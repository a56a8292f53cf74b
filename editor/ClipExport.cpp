#include "editor/ClipExport.h"

#include <algorithm>

namespace {

// npPixmend stores its script's quality but has always encoded at 100;
// pages tuned against it rely on that, so only Pixmend applies the value.
constexpr bool kAppliesConfiguredQuality = !FlavourTraits::kIsNpapi;

}  // namespace

int UploadJpegQuality(int configured) {
    if (!kAppliesConfiguredQuality)
        return 100;
    // The image stores only the low 8 bits: 256 would silently become 0.
    return std::min(std::max(configured, 1), 100);
}

bool EncodeForUpload(PxImage& cut, const PxString& imageType, int jpegQuality, PxMemFile& stream) {
    stream.Close();
    if (!stream.Open())
        return false;
    if (!cut.IsValid())
        return false;
    if (imageType == PX_TEXT("png"))
        return cut.Encode(&stream, PXIMAGE_FORMAT_PNG);
    if (imageType == PX_TEXT("bmp"))
        return cut.Encode(&stream, PXIMAGE_FORMAT_BMP);
    if (!cut.IsGrayRamp())
        cut.IncreaseBitDepth(24);
    cut.SetQuality(static_cast<uint32_t>(UploadJpegQuality(jpegQuality)));
    return cut.Encode(&stream, PXIMAGE_FORMAT_JPG);
}
