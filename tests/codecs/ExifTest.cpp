// EXIF reader: tags, resolution units, and every rejection of a bad block.
#include <gtest/gtest.h>

#include "CodecTestUtil.h"
#include "ExifBuilder.h"
#include "image/PxExif.h"

namespace {

// Directory entry formats.
constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5;

struct Parsed {
    PxExifInfo info;
    bool ok;
    std::string error;
};

Parsed Parse(const Bytes& block) {
    Parsed p;
    PxExifReader reader(&p.info);
    p.ok = reader.ProcessExif(block.data(), block.size());
    p.error = reader.GetLastError();
    return p;
}

TEST(Exif, ReadsResolutionOrientationAndText) {
    // IFD0 at 8 with 5 entries (2 + 60 + 4 = 66 bytes), values from 74 on.
    const Bytes block = ExifBlock(Cat({
        ExifDirectory({{0x010F, kAscii, 6, 74} /* make -> "Canon" */,
                       {0x0112, kShort, 1, 6} /* orientation */,
                       {0x011A, kRational, 1, 80} /* X resolution */,
                       {0x011B, kRational, 1, 88} /* Y resolution */,
                       {0x0128, kShort, 1, 3} /* unit: centimetre */}),
        {'C', 'a', 'n', 'o', 'n', 0},
        U32(11811), U32(100), U32(5906), U32(50),
    }));
    Parsed p = Parse(block);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_STREQ(p.info.cameraMake, "Canon");
    EXPECT_EQ(p.info.orientation, 6);
    EXPECT_FLOAT_EQ(p.info.xResolution, 118.11f);
    EXPECT_FLOAT_EQ(p.info.resolutionUnit, 0.3937008f);
    EXPECT_NEAR(p.info.yResolution / p.info.resolutionUnit, 300.0, 0.1);
}

TEST(Exif, BigEndianBlocksAndSubDirectories) {
    // "MM": IFD0 with one link to the EXIF sub-directory at 26.
    const Bytes block = Cat({{'E', 'x', 'i', 'f', 0, 0}, {'M', 'M'}, B16(42), B32(8),
                             B16(1), B16(0x8769), B16(kLong), B32(1), B32(26), B32(0),
                             B16(1), B16(0x8827), B16(kShort), B32(1), B16(400), B16(0), B32(0)});
    Parsed p = Parse(block);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.info.isoEquivalent, 400);
}

TEST(Exif, RejectionsAndTheirMessages) {
    struct Case { const char* name; Bytes block; bool ok; const char* error; };
    const Case cases[] = {
        {"header", Cat({{'E', 'x', 'i', 'x', 0, 0}, Zeros(20)}), false, "Incorrect Exif header"},
        {"alignment", Cat({{'E', 'x', 'i', 'f', 0, 0}, {'I', 'M'}, U16(42), U32(8)}), false,
         "Invalid Exif alignment marker."},
        {"start", ExifBlock(ExifDirectory({}), 4000), false, "Invalid Exif start (1)"},
        {"directory size", ExifBlock(Cat({U16(200), Zeros(10)})), false, "Illegally sized directory"},
        {"format", ExifBlock(ExifDirectory({{0x0112, 13, 1, 6}})), true, "Illegal format code in EXIF dir"},
        {"value offset", ExifBlock(ExifDirectory({{0x010F, kAscii, 40, 0x7FFFFFF0}})), true,
         "Illegal pointer offset value in EXIF."},
        {"huge count", ExifBlock(ExifDirectory({{0x011A, kRational, 0x40000000, 8}})), true,
         "Illegal pointer offset value in EXIF."},
        {"sub link", ExifBlock(ExifDirectory({{0x8769, kLong, 1, 99999}})), true, "Illegal subdirectory link"},
        {"rotation", ExifBlock(ExifDirectory({{0x0112, kShort, 1, 9}})), true, "Undefined rotation value"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.block);
        EXPECT_EQ(p.ok, c.ok) << c.name;
        EXPECT_EQ(p.error, c.error) << c.name;
        EXPECT_EQ(p.info.orientation, 0) << c.name;
    }
}

TEST(Exif, DirectoryLoopsEnd) {
    // IFD0 at 8 links to itself as its EXIF sub-directory and as its next one.
    Parsed self = Parse(ExifBlock(ExifDirectory({{0x8769, kLong, 1, 8}}, 8)));
    EXPECT_TRUE(self.ok);
    EXPECT_EQ(self.error, "Illegal subdirectory link");
    // A chain 8 -> 26 -> 44 -> ... deeper than the nesting limit.
    Bytes chain;
    for (uint32_t i = 0; i < 8; ++i)
        chain = Cat({chain, ExifDirectory({{0x8769, kLong, 1, 8 + 18 * (i + 1)}})});
    Parsed deep = Parse(ExifBlock(chain));
    EXPECT_EQ(deep.error, "Maximum directory nesting exceeded (corrupt exif header)");
}

// Marker sections read from a stream.
Parsed ReadStream(const Bytes& bytes) {
    Parsed p;
    PxExifReader reader(&p.info);
    PxMemFile file(const_cast<uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    p.ok = reader.Decode(&file);
    p.error = reader.GetLastError();
    return p;
}

TEST(Exif, SectionScanLimitsAndMessages) {
    Bytes many = {0xFF, 0xD8};
    for (int i = 0; i < 25; ++i)
        many = Cat({many, {0xFF, 0xE5}, B16(2)});
    EXPECT_EQ(ReadStream(many).error, "Too many sections in jpg file");
    EXPECT_EQ(ReadStream({0xFF, 0xD8, 0xFF, 0xE0, 0, 1}).error, "invalid marker");
    EXPECT_EQ(ReadStream({0xFF, 0xD8, 0xFF, 0xE0, 0, 9, 1, 2}).error, "Premature end of file?");
    EXPECT_FALSE(ReadStream({0x89, 'P', 'N', 'G'}).ok);
    // More than five padding bytes end the scan quietly.
    Parsed padded = ReadStream({0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE0, 0, 2});
    EXPECT_FALSE(padded.ok);
    EXPECT_EQ(padded.error, "");
    // Comment and start-of-frame sections are recorded.
    Parsed sof = ReadStream(Cat({{0xFF, 0xD8, 0xFF, 0xFE}, B16(5), {'a', 'b', 'c'},
                                 {0xFF, 0xC0}, B16(11), {8}, B16(33), B16(44), {3, 0, 0, 0},
                                 {0xFF, 0xD9}}));
    EXPECT_STREQ(sof.info.comment, "abc");
    EXPECT_EQ(sof.info.width, 44);
    EXPECT_EQ(sof.info.height, 33);
}

}  // namespace
