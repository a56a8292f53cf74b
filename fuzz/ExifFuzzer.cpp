// libFuzzer target for the EXIF reader: the bytes are taken both as the data
// of an APP1 section and as a JPEG stream whose sections are scanned.
#include <cstddef>
#include <cstdint>

#include "image/PxExif.h"
#include "image/PxFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PxExifInfo info;
    PxExifReader block(&info);
    block.ProcessExif(data, size);
    PxExifInfo streamInfo;
    PxExifReader stream(&streamInfo);
    PxMemFile file(const_cast<uint8_t*>(data), static_cast<uint32_t>(size));
    stream.Decode(&file);
    return 0;
}
