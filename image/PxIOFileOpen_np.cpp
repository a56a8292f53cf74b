#include "image/PxIOFileOpen.h"

FILE* PxOpenStdioFile(const PxChar* name, const PxChar* mode) {
    return std::fopen(name, mode);
}
