// Encode / Decode dispatch by format id, and loading from a file path.
#include <cstdio>
#include <cstring>
#include <memory>

#include "image/PxCodecTable.h"
#include "image/PxFile.h"
#include "image/PxImage.h"

const PxCodecEntry* PxFindCodec(uint32_t format) {
    size_t count = 0;
    const PxCodecEntry* table = PxCodecTable(&count);
    for (size_t i = 0; i < count; ++i) {
        if (table[i].format == format)
            return &table[i];
    }
    return nullptr;
}

bool PxImage::Encode(PxFile* file, uint32_t format) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    if (!IsValid()) {
        SetLastError("null image!!!");
        return false;
    }
    const PxCodecEntry* entry = PxFindCodec(format);
    if (!entry) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    std::unique_ptr<PxImage> codec(entry->create());
    if (!codec) {
        SetLastError("can't allocate memory");
        return false;
    }
    // The codec views this image's buffers; no pixels are copied.
    if (!codec->ShareFrom(*this)) {
        CopyErrorFrom(*codec);
        return false;
    }
    if (entry->encode(*codec, file))
        return true;
    CopyErrorFrom(*codec);
    return false;
}

bool PxImage::Decode(PxFile* file, uint32_t format) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    // One decoder attempt; on success the result replaces this image's content.
    auto tryCodec = [this, file](const PxCodecEntry& entry) -> bool {
        std::unique_ptr<PxImage> codec(entry.create());
        if (!codec) {
            SetLastError("can't allocate memory");
            return false;
        }
        // Settings such as the frame index, Escape and the codec options reach
        // the decoder; links and buffers of this image do not.
        codec->AdoptAttributes(info_);
        codec->info_.type = entry.format;
        codec->info_.lastError[0] = '\0';
        if (entry.decode(*codec, file)) {
            // BMP, PNG and TIFF rows arrive whole from the file, with whatever
            // padding bits it carried.
            codec->ClearRowPadding();
            if (MoveFrom(*codec, true))
                return true;
            SetLastError("Decode: image is a read-only view");
            return false;
        }
        CopyErrorFrom(*codec);
        if (entry.format == PXIMAGE_FORMAT_GIF || entry.format == PXIMAGE_FORMAT_TIF)
            info_.numFrames = codec->info_.numFrames;
        return false;
    };
    if (format == PXIMAGE_FORMAT_UNKNOWN) {
        const int32_t start = file->Tell();
        size_t count = 0;
        const PxCodecEntry* table = PxCodecTable(&count);
        for (size_t i = 0; i < count; ++i) {
            if (!file->Seek(start, SEEK_SET))
                break;
            if (tryCodec(table[i]))
                return true;
        }
    } else if (const PxCodecEntry* entry = PxFindCodec(format)) {
        return tryCodec(*entry);
    }
    SetLastError("Decode: Unknown or wrong format");
    return false;
}

PxImage::PxImage(const PxChar* path, uint32_t type) : PxImage(type) {
    bool triedGivenFormat = false;
    if (type != PXIMAGE_FORMAT_UNKNOWN && PxIsSupportedFormat(type)) {
        PxIOFile file;
        if (!path || !file.Open(path, PX_TEXT("rb")))
            return;  // last error unchanged
        if (Decode(&file, type))
            return;
        triedGivenFormat = true;
    }
    // Retry with auto-detection; when that fails too, the caller sees why the
    // decoder it asked for refused the file.
    char firstError[sizeof(info_.lastError)];
    std::memcpy(firstError, info_.lastError, sizeof(firstError));
    PxIOFile file;
    if (!path || !file.Open(path, PX_TEXT("rb")))
        return;
    if (!Decode(&file, PXIMAGE_FORMAT_UNKNOWN) && triedGivenFormat)
        std::memcpy(info_.lastError, firstError, sizeof(firstError));
}
