// Pixmend: BMP, JPEG, PNG, tried in this order by auto-detect.
#include "image/PxCodecTable.h"
#include "image/PxImageBMP.h"
#include "image/PxImageJPG.h"
#include "image/PxImagePNG.h"

namespace {
constexpr PxCodecEntry kCodecs[] = {
    PxMakeCodecEntry<PxImageBMP>(PXIMAGE_FORMAT_BMP),
    PxMakeCodecEntry<PxImageJPG>(PXIMAGE_FORMAT_JPG),
    PxMakeCodecEntry<PxImagePNG>(PXIMAGE_FORMAT_PNG),
};
}  // namespace

const PxCodecEntry* PxCodecTable(size_t* count) {
    *count = sizeof(kCodecs) / sizeof(kCodecs[0]);
    return kCodecs;
}
