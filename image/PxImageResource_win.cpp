// Loading a picture from a module resource (Windows builds).
#include <windows.h>

#include "image/PxFile.h"
#include "image/PxImage.h"

bool PxImage::LoadResource(HRSRC resource, uint32_t format, HMODULE module) {
    const DWORD size = resource ? ::SizeofResource(module, resource) : 0;
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0) {
        SetLastError("Unable to load resource!");
        return false;
    }
    // Resource memory is read-only: the stream wraps it and only reads.
    PxMemFile file(static_cast<uint8_t*>(bytes), static_cast<uint32_t>(size));
    return Decode(&file, format);
}
