#pragma once
// TIFF codec (npPixmend only) over libtiff, reading and writing through
// PxFile client procedures. Palette and gray images of 1, 2, 4 or 8 bits keep
// their palette; everything else is read through libtiff's RGBA reader into
// 24 bpp (with an alpha channel when the file has extra samples).
#include "image/PxImage.h"

class PxImageTIF : public PxImage {
public:
    PxImageTIF() : PxImage(PXIMAGE_FORMAT_TIF) {}
    // Decodes directory GetFrameIndex() (default 0); the number of frames is
    // the number of directories.
    bool Decode(PxFile* file);
    bool Encode(PxFile* file);
};
