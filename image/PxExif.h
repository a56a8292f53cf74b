#pragma once
// EXIF reader of the JPEG codec: walks a JPEG stream's marker sections and
// parses the APP1 "Exif" block (TIFF-style directories) into a record. Every
// message stays in the record; a bad block only means no EXIF values.
#include <cstddef>
#include <cstdint>
#include <vector>

class PxFile;
class PxByteReader;

// Values read from the EXIF block. Text fields are NUL-terminated.
struct PxExifInfo {
    char cameraMake[32];
    char cameraModel[40];
    char dateTime[20];          // original date and time "YYYY:MM:DD HH:MM:SS"
    int32_t width;              // picture size from the start-of-frame section
    int32_t height;
    int32_t orientation;        // 1..8, 0 when absent or invalid; never applied
    int32_t isColor;
    int32_t process;            // start-of-frame marker code
    int32_t flashUsed;
    float focalLength;
    float exposureTime;
    float apertureFNumber;
    float distance;
    float ccdWidth;
    float exposureBias;
    int32_t whitebalance;
    int32_t meteringMode;
    int32_t exposureProgram;
    int32_t isoEquivalent;
    int32_t compressionLevel;
    float focalPlaneXRes;
    float focalPlaneYRes;
    float focalPlaneUnits;      // unit factor of the focal-plane resolutions
    float xResolution;
    float yResolution;
    float resolutionUnit;       // factor: 1.0 per inch, 0.3937008 per cm, ...
    float brightness;
    float shutterSpeed;
    float maxAperture;
    int32_t lightSource;
    int32_t exifImageWidth;
    int32_t exifImageHeight;
    char userComment[256];
    char comment[256];          // first JPEG comment section
    uint32_t thumbnailOffset;   // within the TIFF block
    uint32_t thumbnailSize;
    bool isExif;                // an EXIF block was parsed
};

class PxExifReader {
public:
    static constexpr int kMaxSections = 20;
    static constexpr int kMaxNesting = 4;

    explicit PxExifReader(PxExifInfo* info);
    // Reads the marker sections from the stream's position (which must hold
    // 0xFF 0xD8) up to the first scan. True when an EXIF block was parsed.
    // The stream position is left wherever reading stopped.
    bool Decode(PxFile* file);
    // Parses the data of an APP1 section (after its length field).
    bool ProcessExif(const uint8_t* data, size_t length);
    const char* GetLastError() const { return lastError_; }
    int SectionCount() const { return static_cast<int>(sections_.size()); }

private:
    struct Section {
        uint8_t marker;
        std::vector<uint8_t> data;  // section bytes after the length field
    };
    bool ReadSections(PxFile* file);
    bool ProcessDirectory(const PxByteReader& tiff, uint32_t offset, int depth);
    void ProcessTag(const PxByteReader& tiff, uint16_t tag, uint16_t format,
                    const uint8_t* value, uint32_t components);
    double Number(const uint8_t* value, uint16_t format) const;
    void SetError(const char* message);

    PxExifInfo* info_;
    std::vector<Section> sections_;
    bool bigEndian_ = false;
    int directories_ = 0;               // directories visited in this block
    std::vector<uint32_t> visited_;     // their offsets, so loops end at once
    char lastError_[64];
};
