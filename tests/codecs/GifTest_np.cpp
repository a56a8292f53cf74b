// GIF decoding (frames, interlace, transparency, tiles) and encoding.
#include <gtest/gtest.h>

#include "CodecTestUtil.h"
#include "GifBuilder.h"

namespace {

const Bytes kFourColors = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};  // black red green blue

Bytes Trailer() { return {';'}; }

TEST(GifDecode, SingleFrameWithGlobalTable) {
    const Bytes gif = Cat({GifScreen(4, 2, 2, kFourColors), GifFrame(0, 0, 4, 2, false),
                           LiteralLzw({0, 1, 2, 3, 3, 2, 1, 0}, 2), Trailer()});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, gif, PXIMAGE_FORMAT_UNKNOWN)) << image.GetLastError();
    EXPECT_EQ(image.GetType(), uint32_t(PXIMAGE_FORMAT_GIF));
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image.GetNumFrames(), 1);
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_TRUE(SameRgb(TopDown(image, 1, 0), RGBQUAD{0, 0, 255, 0}));  // red
    EXPECT_TRUE(SameRgb(TopDown(image, 3, 0), RGBQUAD{255, 0, 0, 0}));  // blue
    EXPECT_TRUE(SameRgb(TopDown(image, 1, 1), RGBQUAD{0, 255, 0, 0}));  // green
}

// Counts the bytes a decoder takes from the stream.
class CountingFile : public PxMemFile {
public:
    using PxMemFile::PxMemFile;
    size_t Read(void* buffer, size_t size, size_t count) override {
        const size_t got = PxMemFile::Read(buffer, size, count);
        bytesRead += got * size;
        return got;
    }
    size_t bytesRead = 0;
};

// Auto-detection tries GIF before PNG; a PNG (or anything else) must be
// turned away on its signature, not after being copied whole into memory.
TEST(GifDecode, OtherStreamsAreRefusedOnTheirSignature) {
    struct Case { const char* name; Bytes head; };
    const Case cases[] = {
        {"PNG", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}},
        {"GIF7", {'G', 'I', 'F', '7', '9', 'a'}},
    };
    for (const Case& c : cases) {
        Bytes data = c.head;
        data.resize(size_t{1} << 20, 0x42);
        CountingFile file(data.data(), uint32_t(data.size()));
        PxImage image;
        EXPECT_FALSE(image.Decode(&file, PXIMAGE_FORMAT_GIF)) << c.name;
        EXPECT_LE(file.bytesRead, 6u) << c.name;
    }
    // A real GIF is still read from where the stream stood.
    const Bytes gif = Cat({GifScreen(4, 2, 2, kFourColors), GifFrame(0, 0, 4, 2, false),
                           LiteralLzw({0, 1, 2, 3, 3, 2, 1, 0}, 2), Trailer()});
    Bytes prefixed = Cat({{'x', 'y', 'z'}, gif});
    CountingFile file(prefixed.data(), uint32_t(prefixed.size()));
    ASSERT_TRUE(file.Seek(3, SEEK_SET));
    PxImage image;
    ASSERT_TRUE(image.Decode(&file, PXIMAGE_FORMAT_GIF)) << image.GetLastError();
    EXPECT_EQ(image.GetWidth(), 4u);
}

TEST(GifDecode, InterlacedRowsAreReordered) {
    // Rows stored in pass order 0, 8 | 4 | 2, 6 | 1, 3, 5, 7, 9; row r holds index r % 4.
    const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    Bytes indices;
    for (int r : order)
        indices.push_back(uint8_t(r % 4));
    const Bytes gif = Cat({GifScreen(1, 10, 2, kFourColors), GifFrame(0, 0, 1, 10, true),
                           LiteralLzw(indices, 2), Trailer()});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, gif, PXIMAGE_FORMAT_GIF)) << image.GetLastError();
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(image.GetPixelIndex(0, 9 - row), row % 4) << row;
}

TEST(GifDecode, TransparencyDelayAndWhitePadding) {
    Bytes table(3 * 32, 7);
    const Bytes gif = Cat({GifScreen(2, 1, 5, table), GifControl(20, 35, 2),
                           GifFrame(0, 0, 2, 1, false), LiteralLzw({20, 3}, 5), Trailer()});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, gif, PXIMAGE_FORMAT_GIF)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(image.GetTransIndex(), 20);
    EXPECT_EQ(image.GetInfo().frameDelay, 35);
    EXPECT_EQ(image.GetInfo().gifDisposal, 2);
    EXPECT_EQ(image.GetPaletteColor(31).rgbRed, 7);
    EXPECT_EQ(image.GetPaletteColor(32).rgbRed, 255);  // padding beyond the table
    EXPECT_EQ(image.GetPaletteColor(255).rgbBlue, 255);
}

Bytes ThreeFrames() {
    return Cat({GifScreen(2, 2, 2, kFourColors),
                GifFrame(0, 0, 2, 2, false), LiteralLzw({1, 1, 1, 1}, 2),
                GifControl(0), GifFrame(0, 0, 2, 1, false), LiteralLzw({2, 2}, 2),
                {'!', 0xFE, 3, 'h', 'i', '!', 0} /* comment */,
                GifFrame(1, 1, 1, 1, false), LiteralLzw({3}, 2), Trailer()});
}

TEST(GifDecode, RequestedFrameAndFrameCount) {
    for (int frame = 0; frame < 3; ++frame) {
        PxImage image;
        image.SetFrameIndex(frame);
        ASSERT_TRUE(DecodeBytes(image, ThreeFrames(), PXIMAGE_FORMAT_GIF)) << frame;
        EXPECT_EQ(image.GetNumFrames(), 3);
        EXPECT_EQ(image.GetPixelIndex(0, int32_t(image.GetHeight()) - 1), frame + 1) << frame;
    }
    PxImage second;
    second.SetFrameIndex(1);
    ASSERT_TRUE(DecodeBytes(second, ThreeFrames(), PXIMAGE_FORMAT_GIF));
    EXPECT_EQ(second.GetTransIndex(), 0);  // the control block before frame 1
    PxImage third;
    third.SetFrameIndex(2);
    ASSERT_TRUE(DecodeBytes(third, ThreeFrames(), PXIMAGE_FORMAT_GIF));
    EXPECT_EQ(third.GetTransIndex(), -1);  // ... applies to that frame only
    EXPECT_EQ(third.GetInfo().offsetX, 1);

    PxImage missing;
    missing.SetFrameIndex(3);
    EXPECT_FALSE(DecodeBytes(missing, ThreeFrames(), PXIMAGE_FORMAT_GIF));
    EXPECT_EQ(missing.GetNumFrames(), 3);  // the count found is reported
}

TEST(GifDecode, GetAllFramesKeepsEveryFrame) {
    PxImage image;
    image.SetKeepAllFrames(true);
    image.SetFrameIndex(1);
    ASSERT_TRUE(DecodeBytes(image, ThreeFrames(), PXIMAGE_FORMAT_GIF)) << image.GetLastError();
    EXPECT_EQ(image.GetNumFrames(), 3);
    EXPECT_EQ(image.GetHeight(), 1u);  // frame 1 is the result
    for (int i = 0; i < 3; ++i) {
        const PxImage* f = image.GetFrame(i);
        ASSERT_NE(f, nullptr) << i;
        EXPECT_EQ(f->GetPixelIndex(0, int32_t(f->GetHeight()) - 1), i + 1);
    }
}

TEST(GifDecode, FrameOutsideTheScreenIsRefused) {
    const Bytes gif = Cat({GifScreen(2, 2, 2, kFourColors), GifFrame(1, 1, 2, 2, false),
                           LiteralLzw({1, 1, 1, 1}, 2), Trailer()});
    PxImage image;
    EXPECT_FALSE(DecodeBytes(image, gif, PXIMAGE_FORMAT_GIF));
    EXPECT_FALSE(image.IsValid());
}

TEST(GifDecode, TruncatedLzwKeepsWhatWasDecoded) {
    // Keep the clear code and the first two literals (of 2 x 2 pixels).
    const Bytes gif = Cat({GifScreen(2, 2, 2, kFourColors), GifFrame(0, 0, 2, 2, false),
                           LiteralLzw({3, 2, 1, 1}, 2, 3)});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, gif, PXIMAGE_FORMAT_GIF)) << image.GetLastError();
    EXPECT_EQ(image.GetPixelIndex(0, 1), 3);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 2);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);  // not covered by the data
}

TEST(GifDecode, InvalidCodesStopWithoutReadingAnything) {
    // Code 7 right after a clear (minimum size 2) is not defined.
    const Bytes data = {2, 1, 0x3C /* 100 then 111 */, 0};
    const Bytes gif = Cat({GifScreen(2, 2, 2, kFourColors), GifFrame(0, 0, 2, 2, false), data, Trailer()});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, gif, PXIMAGE_FORMAT_GIF));
    EXPECT_EQ(image.GetPixelIndex(0, 1), 0);
}

TEST(GifDecode, TiledTrueColourPicture) {
    // No global table, two 2 x 1 tiles with their own colours on a 4 x 1... 4 x 2 screen.
    const Bytes red = {255, 0, 0, 0, 0, 0}, blue = {0, 0, 255, 0, 0, 0};
    const Bytes gif = Cat({GifScreen(4, 2, 0),
                           GifFrame(0, 0, 2, 1, false, 1, red), LiteralLzw({0, 0}, 2),
                           GifFrame(2, 1, 2, 1, false, 1, blue), LiteralLzw({0, 1}, 2), Trailer()});
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, gif, PXIMAGE_FORMAT_GIF)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(image.GetWidth(), 4u);
    EXPECT_TRUE(SameRgb(TopDown(image, 1, 0), RGBQUAD{0, 0, 255, 0}));
    EXPECT_TRUE(SameRgb(TopDown(image, 2, 1), RGBQUAD{255, 0, 0, 0}));
    EXPECT_TRUE(SameRgb(TopDown(image, 3, 1), RGBQUAD{0, 0, 0, 0}));
    EXPECT_TRUE(SameRgb(TopDown(image, 3, 0), RGBQUAD{0, 0, 0, 0}));  // never painted
}

TEST(GifDecode, HeaderFailures) {
    PxImage image;
    EXPECT_FALSE(DecodeBytes(image, {'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, PXIMAGE_FORMAT_GIF));
    EXPECT_FALSE(DecodeBytes(image, {'G', 'I', 'F', '8', '9', 'a', 1, 0}, PXIMAGE_FORMAT_GIF));
    // A global table promised but missing.
    EXPECT_FALSE(DecodeBytes(image, Cat({{'G', 'I', 'F', '8', '9', 'a'}, U16(1), U16(1), {0x87, 0, 0}}),
                             PXIMAGE_FORMAT_GIF));
    EXPECT_FALSE(image.IsValid());
}

TEST(GifEncode, PaletteImagesRoundTrip) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        PxImage image(37, 23, bpp, 0);
        const uint32_t colors = 1u << bpp;
        for (uint32_t i = 0; i < colors; ++i)
            image.SetPaletteColor(uint8_t(i), RGBQUAD{uint8_t(i), uint8_t(i * 5), uint8_t(255 - i), 0});
        // Long runs and noise, so the coder's table fills and restarts.
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                image.SetPixelIndex(x, y, uint8_t(((x / 5) * 7 + y * y + (x * y) % 3) % colors));
        const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_GIF);
        ASSERT_FALSE(bytes.empty()) << bpp;
        PxImage back;
        ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_GIF)) << bpp << back.GetLastError();
        EXPECT_EQ(MaxDifference(image, back), 0) << bpp;
    }
}

TEST(GifEncode, LargeNoisyImageExercisesTableResets) {
    PxImage image(300, 200, 8, 0);
    for (uint32_t i = 0; i < 256; ++i)
        image.SetPaletteColor(uint8_t(i), RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0});
    uint32_t seed = 12345;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            seed = seed * 1103515245u + 12345u;
            image.SetPixelIndex(x, y, uint8_t((seed >> 16) % 7 + (x % 3) * 80));
        }
    const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_GIF);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_GIF)) << back.GetLastError();
    EXPECT_EQ(MaxDifference(image, back), 0);
}

TEST(GifEncode, TrueColourIsWrittenAsTilesAndDecodedBack) {
    PxImage image;
    MakePattern(image, 40, 20);
    const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_GIF);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_GIF)) << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), 24u);
    EXPECT_EQ(MaxDifference(image, back), 0);
}

TEST(GifEncode, TransparentIndexSurvives) {
    PxImage image(3, 3, 8, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            image.SetPixelIndex(x, y, uint8_t(x + y));
    image.SetTransIndex(4);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeBytes(image, PXIMAGE_FORMAT_GIF), PXIMAGE_FORMAT_GIF));
    EXPECT_EQ(back.GetTransIndex(), 4);
}

}  // namespace
