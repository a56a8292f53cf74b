// Encode / Decode dispatch, auto-detection per flavour, loading from a path.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "CodecTestUtil.h"
#include "GifBuilder.h"
#include "tests/TempName.h"

namespace {

const char* kUnknown = "Decode: Unknown or wrong format";

Bytes SmallGif() {
    return Cat({GifScreen(1, 1, 1, {1, 2, 3}), GifFrame(0, 0, 1, 1, false), LiteralLzw({0}, 2), {';'}});
}

Bytes SmallPng() {
    PxImage image;
    MakePattern(image, 3, 2);
    return EncodeBytes(image, PXIMAGE_FORMAT_PNG);
}

TEST(CodecDispatch, MessagesOfTheDispatch) {
    PxImage empty;
    PxMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(empty.Encode(nullptr, PXIMAGE_FORMAT_BMP));
    EXPECT_STREQ(empty.GetLastError(), "null file handler");
    EXPECT_FALSE(empty.Decode(nullptr, PXIMAGE_FORMAT_BMP));
    EXPECT_STREQ(empty.GetLastError(), "null file handler");
    EXPECT_FALSE(empty.Encode(&file, PXIMAGE_FORMAT_BMP));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");

    PxImage image;
    MakePattern(image, 2, 2);
    for (uint32_t id : {0u, 5u, 7u, 1000u}) {
        EXPECT_FALSE(image.Encode(&file, id)) << id;
        EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format") << id;
    }
    EXPECT_FALSE(DecodeBytes(image, SmallPng(), 5));
    EXPECT_STREQ(image.GetLastError(), kUnknown);
    EXPECT_FALSE(DecodeBytes(image, Bytes(300, 0x5A), PXIMAGE_FORMAT_UNKNOWN));
    EXPECT_STREQ(image.GetLastError(), kUnknown);
    EXPECT_EQ(image.GetWidth(), 2u);  // a failed decode keeps the old picture
    EXPECT_TRUE(image.IsValid());
}

TEST(CodecDispatch, FormatsOfThisFlavour) {
    PxImage image;
    MakePattern(image, 5, 4);
    for (uint32_t id : {1u, 2u, 3u, 4u, 6u}) {
        PxMemFile file;
        ASSERT_TRUE(file.Open());
        const bool supported = PxIsSupportedFormat(id);
        EXPECT_EQ(image.Encode(&file, id), supported) << id << image.GetLastError();
        if (!supported)
            continue;
        PxImage back;
        file.Seek(0, SEEK_SET);
        ASSERT_TRUE(back.Decode(&file, PXIMAGE_FORMAT_UNKNOWN)) << id << back.GetLastError();
        EXPECT_EQ(back.GetType(), id);
    }
}

TEST(CodecDispatch, GifOnlyInNpPixmend) {
    PxImage image;
    const bool ok = DecodeBytes(image, SmallGif(), PXIMAGE_FORMAT_UNKNOWN);
    EXPECT_EQ(ok, FlavourTraits::kHasGif);
    if (!FlavourTraits::kHasGif) {
        EXPECT_STREQ(image.GetLastError(), kUnknown);
        EXPECT_FALSE(DecodeBytes(image, SmallGif(), PXIMAGE_FORMAT_GIF));
        EXPECT_STREQ(image.GetLastError(), kUnknown);
    }
}

TEST(CodecDispatch, DecodeStartsWhereTheStreamStands) {
    Bytes bytes = Cat({{'j', 'u', 'n', 'k'}, SmallPng()});
    PxMemFile file(bytes.data(), uint32_t(bytes.size()));
    ASSERT_TRUE(file.Seek(4, SEEK_SET));
    PxImage image;
    ASSERT_TRUE(image.Decode(&file, PXIMAGE_FORMAT_UNKNOWN)) << image.GetLastError();
    EXPECT_EQ(image.GetType(), uint32_t(PXIMAGE_FORMAT_PNG));
}

TEST(CodecDispatch, HeaderOnlyModeReadsTheSize) {
    PxImage image;
    MakePattern(image, 9, 7);
    for (uint32_t id : {1u, 3u, 4u}) {
        const Bytes bytes = EncodeBytes(image, id);
        PxImage header;
        header.SetEscape(-1);
        ASSERT_TRUE(DecodeBytes(header, bytes, id)) << id;
        EXPECT_FALSE(header.IsValid()) << id;
        EXPECT_EQ(header.GetWidth(), 9u) << id;
        EXPECT_EQ(header.GetHeight(), 7u) << id;
        EXPECT_EQ(header.GetType(), id) << id;
    }
}

// A non-zero Escape stops every decoder: BMP with its message, the libpng
// paths (rows straight into the image, interlaced, converted) plainly.
TEST(CodecDispatch, CancelledDecodeFails) {
    PxImage rgb;
    MakePattern(rgb, 9, 7);
    PxImage gray(9, 7, 8, 0);
    gray.SetGrayPalette();
    PxImage interlaced(rgb);
    interlaced.SetCodecOption(PXIMAGE_FORMAT_PNG, 1);
    PxImage withAlpha(rgb);
    withAlpha.CreateAlpha();
    struct Case { const char* name; PxImage* image; uint32_t format; const char* message; };
    const Case cases[] = {
        {"BMP", &rgb, PXIMAGE_FORMAT_BMP, "Cancelled"},
        {"PNG RGB", &rgb, PXIMAGE_FORMAT_PNG, nullptr},
        {"PNG gray", &gray, PXIMAGE_FORMAT_PNG, nullptr},
        {"PNG interlaced", &interlaced, PXIMAGE_FORMAT_PNG, nullptr},
        {"PNG RGBA", &withAlpha, PXIMAGE_FORMAT_PNG, nullptr},
    };
    for (const Case& c : cases) {
        const Bytes bytes = EncodeBytes(*c.image, c.format);
        ASSERT_FALSE(bytes.empty()) << c.name;
        PxImage cancelled;
        cancelled.SetEscape(1);
        EXPECT_FALSE(DecodeBytes(cancelled, bytes, c.format)) << c.name;
        EXPECT_FALSE(cancelled.IsValid()) << c.name;
        if (c.message) {
            EXPECT_STREQ(cancelled.GetLastError(), c.message) << c.name;
        }
    }
}

// A temporary file, removed at the end of the test.
class TempFile {
public:
    TempFile(const std::string& name, const Bytes& bytes)
        : path_(UniqueTempName(name)) {
        FILE* f = std::fopen(path_.c_str(), "wb");
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(path_.c_str()); }
    PxString Path() const { return PxString(path_.begin(), path_.end()); }

private:
    std::string path_;
};

TEST(CodecLoadFromPath, ContentDecidesTheFormat) {
    TempFile pngNamedBmp("codec-png-as.bmp", SmallPng());
    PxImage autoDetected(pngNamedBmp.Path().c_str(), PXIMAGE_FORMAT_UNKNOWN);
    ASSERT_TRUE(autoDetected.IsValid()) << autoDetected.GetLastError();
    EXPECT_EQ(autoDetected.GetType(), uint32_t(PXIMAGE_FORMAT_PNG));
    // Asking for BMP retries with auto-detection.
    PxImage retried(pngNamedBmp.Path().c_str(), PXIMAGE_FORMAT_BMP);
    ASSERT_TRUE(retried.IsValid()) << retried.GetLastError();
    EXPECT_EQ(retried.GetType(), uint32_t(PXIMAGE_FORMAT_PNG));
}

TEST(CodecLoadFromPath, FirstDecodersReasonIsRestored) {
    TempFile junk("codec-junk.bmp", Cat({{'B', 'M'}, Zeros(12), U32(20), Zeros(40)}));
    PxImage asBmp(junk.Path().c_str(), PXIMAGE_FORMAT_BMP);
    EXPECT_FALSE(asBmp.IsValid());
    EXPECT_STREQ(asBmp.GetLastError(), "Error reading BMP info");
    PxImage detected(junk.Path().c_str(), PXIMAGE_FORMAT_UNKNOWN);
    EXPECT_STREQ(detected.GetLastError(), kUnknown);
    PxImage missing(PxString(PX_TEXT("/nonexistent/pixmend/picture.png")).c_str(), PXIMAGE_FORMAT_UNKNOWN);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_STREQ(missing.GetLastError(), "");
}

}  // namespace
