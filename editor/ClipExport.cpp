#include "editor/ClipExport.h"

#include <algorithm>

// Both flavours apply the configured value. The editor's setting starts at
// 100, so an npPixmend page that never sets JpegQuality keeps the quality
// it always had.
int UploadJpegQuality(int configured) {
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
