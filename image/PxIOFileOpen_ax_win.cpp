#include <stdio.h>

#include "image/PxIOFileOpen.h"

FILE* PxOpenStdioFile(const PxChar* name, const PxChar* mode) {
    return _wfopen(name, mode);
}
