#include "image/PxFile.h"

PxFile::~PxFile() = default;

bool PxFile::PutC(uint8_t c) {
    return Write(&c, 1, 1) == 1;
}
