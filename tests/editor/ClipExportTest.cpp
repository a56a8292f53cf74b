// Encoding the cut for upload: the format by image type, palette raising,
// the JPEG quality per flavour, and the stream being replaced each time.
#include <gtest/gtest.h>

#include <cstring>

#include "editor/ClipExport.h"
#include "tests/editor/CanvasTestImages.h"

using canvas_test::At;
using canvas_test::Pattern;
using canvas_test::Same;

namespace {

bool StartsWith(PxMemFile& stream, const char* magic, size_t n) {
    if (stream.Size() < static_cast<int32_t>(n))
        return false;
    return std::memcmp(stream.GetBuffer(false), magic, n) == 0;
}

PxImage DecodeAll(PxMemFile& stream, uint32_t format) {
    PxMemFile copy(stream.GetBuffer(false), static_cast<uint32_t>(stream.Size()));
    PxImage out;
    out.Decode(&copy, format);
    return out;
}

PxImage Palette8(bool grayRamp) {
    PxImage img(40, 30, 8);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        img.SetPaletteColor(v, grayRamp ? RGBQUAD{v, v, v, 0} : RGBQUAD{v, 0, static_cast<uint8_t>(255 - i), 0});
    }
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            img.SetPixelIndex(x, y, static_cast<uint8_t>(x * 6 + y));
    return img;
}

}  // namespace

TEST(ClipExport, PngAndBmpKeepTheCutExactly) {
    const struct { const PxChar* type; const char* magic; uint32_t format; } cases[] = {
        {PX_TEXT("png"), "\x89PNG", PXIMAGE_FORMAT_PNG},
        {PX_TEXT("bmp"), "BM", PXIMAGE_FORMAT_BMP},
    };
    for (const auto& k : cases) {
        PxImage cut = Pattern(104, 77, 11);
        PxMemFile stream;
        ASSERT_TRUE(EncodeForUpload(cut, k.type, 100, stream));
        EXPECT_TRUE(StartsWith(stream, k.magic, std::strlen(k.magic)));
        PxImage back = DecodeAll(stream, k.format);
        ASSERT_TRUE(back.IsValid()) << back.GetLastError();
        ASSERT_EQ(back.GetWidth(), 104u);
        ASSERT_EQ(back.GetHeight(), 77u);
        for (int32_t y = 0; y < 77; y += 7)
            for (int32_t x = 0; x < 104; x += 5)
                ASSERT_TRUE(Same(At(back, x, y), At(cut, x, y))) << x << "," << y;
    }
}

TEST(ClipExport, EveryOtherTypeIsJpeg) {
    // Only the exact lower-case names select PNG or BMP.
    for (const PxChar* type : {PX_TEXT("jpg"), PX_TEXT("gif"), PX_TEXT("PNG"), PX_TEXT(""),
                               PX_TEXT("png "), PX_TEXT("tiff")}) {
        PxImage cut = Pattern(64, 48, 2);
        PxMemFile stream;
        ASSERT_TRUE(EncodeForUpload(cut, type, 100, stream));
        EXPECT_TRUE(StartsWith(stream, "\xFF\xD8\xFF", 3));
        PxImage back = DecodeAll(stream, PXIMAGE_FORMAT_JPG);
        EXPECT_EQ(back.GetWidth(), 64u);
        EXPECT_EQ(back.GetHeight(), 48u);
    }
}

TEST(ClipExport, PaletteRaisedForJpegUnlessGrayRamp) {
    PxImage colour = Palette8(false);
    PxMemFile stream;
    ASSERT_TRUE(EncodeForUpload(colour, PX_TEXT("gif"), 100, stream));
    EXPECT_EQ(colour.GetBpp(), 24u);
    // The raised cut keeps its colours: index 10 at (0, 10) is blue 10, red 245.
    EXPECT_EQ(At(colour, 0, 29 - 10).rgbRed, 245);

    PxImage gray = Palette8(true);
    ASSERT_TRUE(EncodeForUpload(gray, PX_TEXT("jpg"), 100, stream));
    EXPECT_EQ(gray.GetBpp(), 8u);
    EXPECT_TRUE(StartsWith(stream, "\xFF\xD8\xFF", 3));

    // PNG and BMP keep the palette.
    PxImage kept = Palette8(false);
    ASSERT_TRUE(EncodeForUpload(kept, PX_TEXT("png"), 100, stream));
    EXPECT_EQ(kept.GetBpp(), 8u);
}

TEST(ClipExport, JpegQualityAppliedAndLimited) {
    const struct {
        int configured, applied;
    } kCases[] = {{30, 30}, {100, 100}, {1, 1},
                  // Out of range values are limited, not wrapped to their low 8 bits.
                  {256, 100}, {0, 1}, {-4, 1}};
    for (const auto& k : kCases) EXPECT_EQ(UploadJpegQuality(k.configured), k.applied) << k.configured;
    PxImage cut = Pattern(80, 60, 4);
    PxMemFile stream;
    ASSERT_TRUE(EncodeForUpload(cut, PX_TEXT("jpg"), 30, stream));
    EXPECT_EQ(cut.GetQuality(), 30);
    const int32_t at30 = stream.Size();
    PxImage same = Pattern(80, 60, 4);
    ASSERT_TRUE(EncodeForUpload(same, PX_TEXT("jpg"), 100, stream));
    EXPECT_GT(stream.Size(), at30);
}

TEST(ClipExport, StreamIsReplacedAndEmptyCutWritesNothing) {
    PxMemFile stream;
    PxImage big = Pattern(300, 200, 5);
    ASSERT_TRUE(EncodeForUpload(big, PX_TEXT("bmp"), 100, stream));
    const int32_t bigSize = stream.Size();
    PxImage small = Pattern(10, 10, 6);
    ASSERT_TRUE(EncodeForUpload(small, PX_TEXT("bmp"), 100, stream));
    EXPECT_LT(stream.Size(), bigSize);
    EXPECT_TRUE(StartsWith(stream, "BM", 2));
    EXPECT_EQ(stream.Tell(), stream.Size());

    PxImage empty;
    EXPECT_FALSE(EncodeForUpload(empty, PX_TEXT("png"), 100, stream));
    EXPECT_EQ(stream.Size(), 0);
}
