#pragma once
// BMP codec: Windows and OS/2 bitmaps with a file header or as a bare DIB.
// Decodes 1/4/8 bpp (uncompressed, RLE8, RLE4), 16 and 32 bpp (channel masks
// or the default layouts, converted to 24 bpp) and 24 bpp; encodes the pixel
// block as held in memory, or 32 bpp with alpha when the image has an alpha
// channel. One object serves one call (see PxImage::Decode / Encode).
#include "image/PxImage.h"

class PxImageBMP : public PxImage {
public:
    PxImageBMP() : PxImage(PXIMAGE_FORMAT_BMP) {}
    // Reads one bitmap from the stream's current position. False with the
    // reason in the last error; the image is then left empty or partial.
    bool Decode(PxFile* file);
    // Writes this image (usually a ghost of the caller's) as a .bmp file.
    bool Encode(PxFile* file);
};
