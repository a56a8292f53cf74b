// npPixmend: BMP, JPEG, GIF, PNG, TIFF, tried in this order by auto-detect.
#include "image/PxCodecTable.h"
#include "image/PxImageBMP.h"
#include "image/PxImageGIF.h"
#include "image/PxImageJPG.h"
#include "image/PxImagePNG.h"
#include "image/PxImageTIF.h"

namespace {
constexpr PxCodecEntry kCodecs[] = {
    PxMakeCodecEntry<PxImageBMP>(PXIMAGE_FORMAT_BMP),
    PxMakeCodecEntry<PxImageJPG>(PXIMAGE_FORMAT_JPG),
    PxMakeCodecEntry<PxImageGIF>(PXIMAGE_FORMAT_GIF),
    PxMakeCodecEntry<PxImagePNG>(PXIMAGE_FORMAT_PNG),
    PxMakeCodecEntry<PxImageTIF>(PXIMAGE_FORMAT_TIF),
};
}  // namespace

const PxCodecEntry* PxCodecTable(size_t* count) {
    *count = sizeof(kCodecs) / sizeof(kCodecs[0]);
    return kCodecs;
}
