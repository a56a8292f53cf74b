// JPEG: encode/decode round trips, gray, CMYK, EXIF and JFIF resolution,
// encoder settings and failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "CodecTestUtil.h"
#include "ExifBuilder.h"
#include "image/PxImageJPG.h"

namespace {

// A CMYK JPEG written directly with libjpeg (Adobe marker, raw values).
Bytes CmykJpeg(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    uint8_t row[8 * 4];
    for (int i = 0; i < 8; ++i) {
        row[4 * i] = c;
        row[4 * i + 1] = m;
        row[4 * i + 2] = y;
        row[4 * i + 3] = k;
    }
    JSAMPROW rows[1] = {row};
    for (int i = 0; i < 8; ++i)
        jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

// Luma sampling factors of a JPEG (read with libjpeg).
std::pair<int, int> LumaSampling(const Bytes& jpeg) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    std::pair<int, int> f{cinfo.comp_info[0].h_samp_factor, cinfo.comp_info[0].v_samp_factor};
    jpeg_destroy_decompress(&cinfo);
    return f;
}

Bytes PatternJpeg(uint32_t w, uint32_t h, uint32_t quality = 100) {
    PxImage image;
    MakePattern(image, w, h);
    image.SetQuality(quality);
    return EncodeBytes(image, PXIMAGE_FORMAT_JPG);
}

TEST(JpegCodec, ColourRoundTripWithinTolerance) {
    PxImage image(40, 30, 24, 0);
    for (int y = 0; y < 30; ++y)  // smooth content, as photographs are
        for (int x = 0; x < 40; ++x)
            image.SetPixelColor(x, y, RGBQUAD{uint8_t(x * 6), uint8_t(y * 8), uint8_t(100 + x + y), 0});
    image.SetQuality(100);
    image.SetCodecOption(PXIMAGE_FORMAT_JPG, PxImageJPG::kEncodeSubsample444);
    const Bytes bytes = EncodeBytes(image, PXIMAGE_FORMAT_JPG);
    ASSERT_GT(bytes.size(), 100u);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, PXIMAGE_FORMAT_UNKNOWN)) << back.GetLastError();
    EXPECT_EQ(back.GetType(), uint32_t(PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(back.GetBpp(), 24u);
    const int diff = MaxDifference(image, back);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, 4);
}

TEST(JpegCodec, GrayRampWritesOneComponentAndDecodesGray) {
    PxImage gray(16, 16, 8, 0);
    gray.SetGrayPalette();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            gray.SetPixelIndex(x, y, uint8_t(x * 16));
    gray.SetQuality(100);
    PxImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeBytes(gray, PXIMAGE_FORMAT_JPG), PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(back.GetBpp(), 8u);
    EXPECT_TRUE(back.IsGrayRamp());
    EXPECT_LE(MaxDifference(gray, back), 3);
}

TEST(JpegCodec, OnlyTrueColourOrGrayCanBeWritten) {
    PxImage image(4, 4, 8, 0);
    image.SetPaletteColor(1, RGBQUAD{1, 2, 3, 0});
    PxMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(image.Encode(&file, PXIMAGE_FORMAT_JPG));
    EXPECT_STREQ(image.GetLastError(), "JPEG can save only RGB or GreyScale images");
}

TEST(JpegCodec, ChromaSamplingOptions) {
    PxImage image;
    MakePattern(image, 32, 32);
    EXPECT_EQ(LumaSampling(EncodeBytes(image, PXIMAGE_FORMAT_JPG)), std::make_pair(2, 2));
    image.SetCodecOption(PXIMAGE_FORMAT_JPG, PxImageJPG::kEncodeSubsample422);
    EXPECT_EQ(LumaSampling(EncodeBytes(image, PXIMAGE_FORMAT_JPG)), std::make_pair(2, 1));
    image.SetCodecOption(PXIMAGE_FORMAT_JPG, PxImageJPG::kEncodeSubsample444);
    EXPECT_EQ(LumaSampling(EncodeBytes(image, PXIMAGE_FORMAT_JPG)), std::make_pair(1, 1));
}

TEST(JpegCodec, QualityChangesTheSize) {
    EXPECT_LT(PatternJpeg(64, 64, 30).size(), PatternJpeg(64, 64, 100).size());
}

TEST(JpegCodec, CmykIsInvertedAndConverted) {
    PxImage image;
    ASSERT_TRUE(DecodeBytes(image, CmykJpeg(200, 100, 50, 255), PXIMAGE_FORMAT_JPG)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_TRUE(SameRgb(image.GetPixelColor(3, 3, false), RGBQUAD{50, 100, 200, 0}, 2));
    ASSERT_TRUE(DecodeBytes(image, CmykJpeg(200, 100, 50, 128), PXIMAGE_FORMAT_JPG));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(3, 3, false), RGBQUAD{25, 50, 100, 0}, 2));
}

TEST(JpegCodec, DpiFromJfifAndFromExif) {
    PxImage image;
    MakePattern(image, 8, 8);
    image.SetDpiX(200);
    image.SetDpiY(150);
    const Bytes jfif = EncodeBytes(image, PXIMAGE_FORMAT_JPG);
    PxImage a;
    ASSERT_TRUE(DecodeBytes(a, jfif, PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(a.GetDpiX(), 200);
    EXPECT_EQ(a.GetDpiY(), 150);

    // EXIF says 118.11 dots per centimetre = 300 DPI, and orientation 6.
    const Bytes exif = ExifBlock(Cat({
        ExifDirectory({{0x0112, 3, 1, 6}, {0x011A, 5, 1, 62}, {0x011B, 5, 1, 62}, {0x0128, 3, 1, 3}}),
        U32(11811), U32(100),
    }));
    PxImageJPG b;
    const Bytes withExif = WithApp1(jfif, exif);
    PxMemFile in(const_cast<uint8_t*>(withExif.data()), uint32_t(withExif.size()));
    ASSERT_TRUE(b.Decode(&in)) << b.GetLastError();
    EXPECT_EQ(b.GetDpiX(), 300);
    EXPECT_EQ(b.GetDpiY(), 300);
    EXPECT_EQ(b.GetExifInfo().orientation, 6);
    EXPECT_EQ(b.GetWidth(), 8u);  // never rotated

    // A broken EXIF block falls back to the JFIF density.
    const Bytes broken = WithApp1(jfif, ExifBlock(ExifDirectory({{0x8769, 4, 1, 8}}, 8), 9999));
    PxImage c;
    ASSERT_TRUE(DecodeBytes(c, broken, PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(c.GetDpiX(), 200);
}

TEST(JpegCodec, ScaledDecoding) {
    PxImage image;
    image.SetJpegScale(4);
    ASSERT_TRUE(DecodeBytes(image, PatternJpeg(64, 40), PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(image.GetWidth(), 16u);
    EXPECT_EQ(image.GetHeight(), 10u);
}

TEST(JpegCodec, TruncatedDataDecodesWhatIsThereAndEmptyFails) {
    Bytes bytes = PatternJpeg(64, 64);
    bytes.resize(bytes.size() / 2);
    PxImage half;
    EXPECT_TRUE(DecodeBytes(half, bytes, PXIMAGE_FORMAT_JPG)) << half.GetLastError();
    EXPECT_EQ(half.GetWidth(), 64u);
    bytes.resize(2);
    PxImage none;
    EXPECT_FALSE(DecodeBytes(none, bytes, PXIMAGE_FORMAT_JPG));
    EXPECT_STRNE(none.GetLastError(), "");
    PxImage notJpeg;
    EXPECT_FALSE(DecodeBytes(notJpeg, Bytes(100, 7), PXIMAGE_FORMAT_JPG));
    EXPECT_STRNE(notJpeg.GetLastError(), "");
}

TEST(JpegCodec, GrayscaleAndQuantisedDecodeOptions) {
    const Bytes bytes = PatternJpeg(24, 24);
    PxImage gray;
    gray.SetCodecOption(PXIMAGE_FORMAT_JPG, PxImageJPG::kDecodeGrayscale);
    ASSERT_TRUE(DecodeBytes(gray, bytes, PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(gray.GetBpp(), 8u);
    EXPECT_TRUE(gray.IsGrayRamp());
    PxImage quantised;
    quantised.SetCodecOption(PXIMAGE_FORMAT_JPG, PxImageJPG::kDecodeQuantize);
    quantised.SetQuality(64);
    ASSERT_TRUE(DecodeBytes(quantised, bytes, PXIMAGE_FORMAT_JPG));
    EXPECT_EQ(quantised.GetBpp(), 8u);
    EXPECT_LE(quantised.GetNumColors(), 256u);
    EXPECT_FALSE(quantised.IsGrayRamp());
}

}  // namespace
