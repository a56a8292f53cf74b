#pragma once
// JPEG codec over libjpeg (6b interface): decoding to 8-bpp gray, 8-bpp
// quantised or 24-bpp colour (CMYK converted), DPI from EXIF or JFIF;
// encoding of 24-bpp and gray-ramp images. Reads and writes through PxFile
// with 4096-byte buffers. One object serves one call.
#include "image/PxExif.h"
#include "image/PxImage.h"

class PxImageJPG : public PxImage {
public:
    // Codec option bits (JPEG slot of ImageInfo::codecOptions).
    enum : uint32_t {
        kEncodeBaseline = 0x01,
        kEncodeArithmetic = 0x02,
        kEncodeGrayscale = 0x04,
        kEncodeOptimize = 0x08,
        kEncodeProgressive = 0x10,
        kEncodeSmooth = 0x40,
        kDecodeGrayscale = 0x80,
        kDecodeQuantize = 0x100,
        kDecodeDither = 0x200,
        kDecodeOnePass = 0x400,
        kDecodeNoFancyUpsampling = 0x800,
        kEncodeSubsample422 = 0x1000,
        kEncodeSubsample444 = 0x2000,
    };

    PxImageJPG();
    bool Decode(PxFile* file);
    bool Encode(PxFile* file);
    // EXIF values read by the last Decode.
    const PxExifInfo& GetExifInfo() const { return exif_; }

private:
    PxExifInfo exif_;
};
