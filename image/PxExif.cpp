#include "image/PxExif.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/PxByteReader.h"
#include "image/PxFile.h"

namespace {

constexpr uint8_t kMarkerSOS = 0xDA;
constexpr uint8_t kMarkerEOI = 0xD9;
constexpr uint8_t kMarkerCOM = 0xFE;
constexpr uint8_t kMarkerAPP1 = 0xE1;
constexpr int kMaxPadding = 5;
// Directories parsed per block at most: with the nesting limit this keeps a
// block whose directories all link to each other cheap.
constexpr int kMaxDirectories = 16;

// Bytes per component of the TIFF field types 1..12.
constexpr uint32_t kFormatBytes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum Format : uint16_t {
    kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSByte = 6, kUndefined = 7,
    kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11, kDouble = 12,
};

enum Tag : uint16_t {
    kTagMake = 0x010F, kTagModel = 0x0110, kTagOrientation = 0x0112,
    kTagXResolution = 0x011A, kTagYResolution = 0x011B, kTagResolutionUnit = 0x0128,
    kTagThumbnailOffset = 0x0201, kTagThumbnailLength = 0x0202,
    kTagExposureTime = 0x829A, kTagFNumber = 0x829D, kTagExifOffset = 0x8769,
    kTagExposureProgram = 0x8822, kTagIso = 0x8827, kTagDateTimeOriginal = 0x9003,
    kTagCompressedBpp = 0x9102, kTagShutterSpeed = 0x9201, kTagAperture = 0x9202,
    kTagBrightness = 0x9203, kTagExposureBias = 0x9204, kTagMaxAperture = 0x9205,
    kTagSubjectDistance = 0x9206, kTagMeteringMode = 0x9207, kTagLightSource = 0x9208,
    kTagFlash = 0x9209, kTagFocalLength = 0x920A, kTagUserComment = 0x9286,
    kTagExifImageWidth = 0xA002, kTagExifImageHeight = 0xA003, kTagInteropOffset = 0xA005,
    kTagFocalPlaneXRes = 0xA20E, kTagFocalPlaneYRes = 0xA20F, kTagFocalPlaneUnits = 0xA210,
};

bool IsStartOfFrame(uint8_t m) {
    return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7) || (m >= 0xC9 && m <= 0xCB) ||
           (m >= 0xCD && m <= 0xCF);
}

// Unit factor of a resolution-unit value; 0 for unknown units.
float UnitFactor(int unit) {
    switch (unit) {
    case 1:
    case 2: return 1.0f;           // none / inch
    case 3: return 0.3937008f;     // centimetre
    case 4: return 0.03937008f;    // millimetre
    case 5: return 0.00003937008f; // micrometre
    default: return 0.0f;
    }
}

// Saturating conversions: tag values are untrusted and may be NaN or huge.
int32_t ToInt(double v) {
    if (!(v > -2147483648.0))
        return v != v ? 0 : INT32_MIN;
    return v < 2147483647.0 ? static_cast<int32_t>(v) : INT32_MAX;
}

float ToFloat(double v) {
    if (v != v)
        return 0.0f;
    return static_cast<float>(std::max(-3.0e38, std::min(3.0e38, v)));
}

void CopyText(char* dst, size_t capacity, const uint8_t* src, size_t n) {
    n = std::min(n, capacity - 1);
    if (n)
        std::memcpy(dst, src, n);
    dst[n] = '\0';
}

}  // namespace

PxExifReader::PxExifReader(PxExifInfo* info) : info_(info) {
    std::memset(info_, 0, sizeof(*info_));
    info_->resolutionUnit = 1.0f;
    lastError_[0] = '\0';
}

void PxExifReader::SetError(const char* message) {
    std::strncpy(lastError_, message, sizeof(lastError_) - 1);
    lastError_[sizeof(lastError_) - 1] = '\0';
}

bool PxExifReader::Decode(PxFile* file) {
    uint8_t soi[2];
    if (!file || file->Read(soi, 1, 2) != 2 || soi[0] != 0xFF || soi[1] != 0xD8)
        return false;
    ReadSections(file);
    return info_->isExif;
}

// Reads sections (0xFF, code, 16-bit big-endian length including itself,
// data) until the first scan or the end of the image.
bool PxExifReader::ReadSections(PxFile* file) {
    for (;;) {
        if (static_cast<int>(sections_.size()) >= kMaxSections) {
            SetError("Too many sections in jpg file");
            return false;
        }
        int padding = 0, c = 0;
        for (;;) {
            c = file->GetC();
            if (c != 0xFF || padding > kMaxPadding)
                break;
            ++padding;
        }
        if (padding == 0 || padding > kMaxPadding || c < 0)
            return false;  // no marker where one must be
        const uint8_t marker = static_cast<uint8_t>(c);
        if (marker == kMarkerEOI)  // end of image before any scan
            return true;
        uint8_t lengthBytes[2];
        if (file->Read(lengthBytes, 1, 2) != 2) {
            SetError("Premature end of file?");
            return false;
        }
        const uint32_t length = (uint32_t(lengthBytes[0]) << 8) | lengthBytes[1];
        if (length < 2) {
            SetError("invalid marker");
            return false;
        }
        Section section{marker, {}};
        try {
            section.data.resize(length - 2);
        } catch (const std::bad_alloc&) {
            SetError("Could not allocate memory");
            return false;
        }
        if (file->Read(section.data.data(), 1, length - 2) != length - 2) {
            SetError("Premature end of file?");
            return false;
        }
        sections_.push_back(std::move(section));
        const std::vector<uint8_t>& d = sections_.back().data;
        if (marker == kMarkerSOS)
            return true;
        if (marker == kMarkerCOM && info_->comment[0] == '\0') {
            CopyText(info_->comment, sizeof(info_->comment), d.data(), d.size());
        } else if (marker == kMarkerAPP1 && d.size() >= 4 && std::memcmp(d.data(), "Exif", 4) == 0) {
            ProcessExif(d.data(), d.size());
        } else if (IsStartOfFrame(marker) && d.size() >= 6) {
            // precision, height, width (16-bit big-endian), components
            info_->height = (d[1] << 8) | d[2];
            info_->width = (d[3] << 8) | d[4];
            info_->isColor = d[5] == 3;
            info_->process = marker;
        }
    }
}

bool PxExifReader::ProcessExif(const uint8_t* data, size_t length) {
    static const uint8_t kHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (length < 6 || std::memcmp(data, kHeader, 6) != 0) {
        SetError("Incorrect Exif header");
        return false;
    }
    // The TIFF block: byte order "II"/"MM", 42, offset of the first directory.
    PxByteReader tiff(data + 6, length - 6);
    uint8_t order[2] = {0, 0};
    if (!tiff.ReadBytes(order, 2) || order[0] != order[1] || (order[0] != 'I' && order[0] != 'M')) {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    bigEndian_ = order[0] == 'M';
    uint16_t magic = 0;
    uint32_t first = 0;
    if (!tiff.ReadU16(bigEndian_, &magic) || magic != 0x2A || !tiff.ReadU32(bigEndian_, &first) ||
        first < 8 || first >= tiff.Size()) {
        SetError("Invalid Exif start (1)");
        return false;
    }
    directories_ = 0;
    visited_.clear();
    if (!ProcessDirectory(tiff, first, 0))
        return false;
    info_->isExif = true;
    return true;
}

double PxExifReader::Number(const uint8_t* v, uint16_t format) const {
    PxByteReader r(v, kFormatBytes[format]);
    uint16_t u16 = 0;
    uint32_t a = 0, b = 0;
    switch (format) {
    case kSByte: return static_cast<int8_t>(v[0]);
    case kByte:
    case kAscii:
    case kUndefined: return v[0];
    case kShort: return r.ReadU16(bigEndian_, &u16) ? u16 : 0;
    case kSShort: return r.ReadU16(bigEndian_, &u16) ? static_cast<int16_t>(u16) : 0;
    case kLong: return r.ReadU32(bigEndian_, &a) ? a : 0;
    case kSLong: return r.ReadU32(bigEndian_, &a) ? static_cast<int32_t>(a) : 0;
    case kRational:
        if (!r.ReadU32(bigEndian_, &a) || !r.ReadU32(bigEndian_, &b) || b == 0)
            return 0;
        return double(a) / b;
    case kSRational:
        if (!r.ReadU32(bigEndian_, &a) || !r.ReadU32(bigEndian_, &b) || b == 0)
            return 0;
        return double(static_cast<int32_t>(a)) / static_cast<int32_t>(b);
    case kFloat: {
        if (!r.ReadU32(bigEndian_, &a))
            return 0;
        float f;
        std::memcpy(&f, &a, 4);
        return f;
    }
    case kDouble: {
        if (!r.ReadU32(bigEndian_, &a) || !r.ReadU32(bigEndian_, &b))
            return 0;
        uint64_t bits = bigEndian_ ? (uint64_t(a) << 32) | b : (uint64_t(b) << 32) | a;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    default: return 0;
    }
}

// One directory: a 16-bit entry count, 12-byte entries (tag, format,
// component count, value or offset of the value) and a link to the next one.
bool PxExifReader::ProcessDirectory(const PxByteReader& tiff, uint32_t offset, int depth) {
    if (depth > kMaxNesting) {
        SetError("Maximum directory nesting exceeded (corrupt exif header)");
        return false;
    }
    if (std::find(visited_.begin(), visited_.end(), offset) != visited_.end() ||
        ++directories_ > kMaxDirectories) {
        SetError("Illegal subdirectory link");
        return false;
    }
    visited_.push_back(offset);
    PxByteReader r = tiff;
    uint16_t entries = 0;
    if (!r.Seek(offset) || !r.ReadU16(bigEndian_, &entries) || !r.Has(size_t(entries) * 12)) {
        SetError("Illegally sized directory");
        return false;
    }
    for (uint16_t i = 0; i < entries; ++i) {
        uint16_t tag = 0, format = 0;
        uint32_t components = 0;
        const uint8_t* inlineValue = nullptr;
        if (!r.ReadU16(bigEndian_, &tag) || !r.ReadU16(bigEndian_, &format) ||
            !r.ReadU32(bigEndian_, &components) || !r.View(4, &inlineValue))
            return false;  // cannot happen: the size was checked above
        if (format < 1 || format > 12) {
            SetError("Illegal format code in EXIF dir");
            continue;
        }
        const uint64_t bytes = uint64_t(components) * kFormatBytes[format];
        const uint8_t* value = inlineValue;
        if (bytes > 4) {
            PxByteReader at(inlineValue, 4);
            uint32_t valueOffset = 0;
            PxByteReader span(nullptr, 0);
            if (!at.ReadU32(bigEndian_, &valueOffset) ||
                !tiff.SubReader(valueOffset, static_cast<size_t>(std::min<uint64_t>(bytes, SIZE_MAX)), &span)) {
                SetError("Illegal pointer offset value in EXIF.");
                continue;
            }
            value = span.Data();
        }
        if (components == 0)
            continue;
        if (tag == kTagExifOffset || tag == kTagInteropOffset) {
            PxByteReader link(value, 4);
            uint32_t sub = 0;
            if (!link.ReadU32(bigEndian_, &sub) || sub >= tiff.Size()) {
                SetError("Illegal subdirectory link");
                continue;
            }
            ProcessDirectory(tiff, sub, depth + 1);
            continue;
        }
        ProcessTag(tiff, tag, format, value, components);
    }
    // Link to the next directory (IFD1 holds the thumbnail tags).
    uint32_t next = 0;
    if (r.ReadU32(bigEndian_, &next) && next != 0) {
        if (next >= tiff.Size()) {
            SetError("Illegal subdirectory link");
            return true;
        }
        ProcessDirectory(tiff, next, depth + 1);
    }
    return true;
}

void PxExifReader::ProcessTag(const PxByteReader& tiff, uint16_t tag, uint16_t format,
                              const uint8_t* value, uint32_t components) {
    (void)tiff;
    const size_t textLength = std::min<size_t>(components, 255);
    const double v = Number(value, format);
    switch (tag) {
    case kTagMake: CopyText(info_->cameraMake, sizeof(info_->cameraMake), value, textLength); break;
    case kTagModel: CopyText(info_->cameraModel, sizeof(info_->cameraModel), value, textLength); break;
    case kTagDateTimeOriginal: CopyText(info_->dateTime, sizeof(info_->dateTime), value, textLength); break;
    case kTagUserComment: CopyText(info_->userComment, sizeof(info_->userComment), value, textLength); break;
    case kTagOrientation:
        info_->orientation = ToInt(v);
        if (info_->orientation < 1 || info_->orientation > 8) {
            SetError("Undefined rotation value");
            info_->orientation = 0;
        }
        break;
    case kTagXResolution: info_->xResolution = ToFloat(v); break;
    case kTagYResolution: info_->yResolution = ToFloat(v); break;
    case kTagResolutionUnit: info_->resolutionUnit = UnitFactor(ToInt(v)); break;
    case kTagThumbnailOffset: info_->thumbnailOffset = static_cast<uint32_t>(ToInt(v)); break;
    case kTagThumbnailLength: info_->thumbnailSize = static_cast<uint32_t>(ToInt(v)); break;
    case kTagExposureTime: info_->exposureTime = ToFloat(v); break;
    case kTagFNumber: info_->apertureFNumber = ToFloat(v); break;
    case kTagExposureProgram: info_->exposureProgram = ToInt(v); break;
    case kTagIso: info_->isoEquivalent = ToInt(v); break;
    case kTagCompressedBpp: info_->compressionLevel = ToInt(v); break;
    case kTagShutterSpeed: info_->shutterSpeed = ToFloat(v); break;
    case kTagAperture: if (info_->apertureFNumber == 0) info_->apertureFNumber = ToFloat(v); break;
    case kTagBrightness: info_->brightness = ToFloat(v); break;
    case kTagExposureBias: info_->exposureBias = ToFloat(v); break;
    case kTagMaxAperture: info_->maxAperture = ToFloat(v); break;
    case kTagSubjectDistance: info_->distance = ToFloat(v); break;
    case kTagMeteringMode: info_->meteringMode = ToInt(v); break;
    case kTagLightSource: info_->lightSource = ToInt(v); break;
    case kTagFlash: info_->flashUsed = (ToInt(v) & 1) != 0; break;
    case kTagFocalLength: info_->focalLength = ToFloat(v); break;
    case kTagExifImageWidth: info_->exifImageWidth = ToInt(v); break;
    case kTagExifImageHeight: info_->exifImageHeight = ToInt(v); break;
    case kTagFocalPlaneXRes: info_->focalPlaneXRes = ToFloat(v); break;
    case kTagFocalPlaneYRes: info_->focalPlaneYRes = ToFloat(v); break;
    case kTagFocalPlaneUnits: info_->focalPlaneUnits = UnitFactor(ToInt(v)); break;
    default: break;
    }
}
