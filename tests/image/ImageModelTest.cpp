#include <gtest/gtest.h>

#include <cstring>

#include "image/PxImage.h"
#include "tests/image/ImageTestUtil.h"

namespace {

TEST(ImageCreate, DefaultsOfAnEmptyImage) {
    PxImage img(PXIMAGE_FORMAT_PNG);
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(img.GetType(), PXIMAGE_FORMAT_PNG);
    EXPECT_EQ(img.GetQuality(), 90);
    EXPECT_EQ(img.GetAlphaMax(), 255);
    EXPECT_EQ(img.GetTransIndex(), -1);
    EXPECT_TRUE(img.IsEnabled());
    EXPECT_EQ(img.GetDpiX(), 96);
    EXPECT_EQ(img.GetDpiY(), 96);
    EXPECT_STREQ(img.GetLastError(), "");
    EXPECT_EQ(img.GetBits(), nullptr);
    EXPECT_EQ(img.GetSize(), 0u);
    const uint16_t one = 1;
    EXPECT_EQ(img.GetInfo().littleEndianHost, *reinterpret_cast<const uint8_t*>(&one) == 1);
    // Operations on an empty image refuse.
    EXPECT_FALSE(img.RotateClockwise());
    EXPECT_FALSE(img.Crop(0, 0, 1, 1));
    EXPECT_FALSE(img.ScaleTo(2, 2));
    EXPECT_FALSE(img.FitToBox(2, 2, Rgb(255, 255, 255)));
    EXPECT_FALSE(img.ExpandCanvas(1, 1, 1, 1, Rgb(0, 0, 0)));
    EXPECT_FALSE(img.IncreaseBitDepth(24));
}

TEST(ImageCreate, DepthRoundsUpAndHeaderDescribesTheBlock) {
    struct Case { uint32_t asked, got, colors; } cases[] = {
        {0, 1, 2}, {1, 1, 2}, {2, 4, 16}, {3, 4, 16}, {4, 4, 16}, {5, 8, 256},
        {8, 8, 256}, {16, 24, 0}, {24, 24, 0}, {32, 24, 0}};
    for (const Case& c : cases) {
        PxImage img(5, 3, c.asked, PXIMAGE_FORMAT_BMP);
        ASSERT_TRUE(img.IsValid()) << c.asked;
        EXPECT_EQ(img.GetBpp(), c.got) << c.asked;
        EXPECT_EQ(img.GetNumColors(), c.colors) << c.asked;
        const BITMAPINFOHEADER& h = img.GetHeader();
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_EQ(h.biClrImportant, 0u);
        EXPECT_EQ(h.biSizeImage, img.GetEffWidth() * 3);
        EXPECT_EQ(h.biXPelsPerMeter, 3780);
        EXPECT_EQ(img.GetSize(), 40 + c.colors * 4 + h.biSizeImage);
        // The block starts with the same header, then the zeroed palette.
        EXPECT_EQ(std::memcmp(img.GetDIB(), &h, 40), 0);
        for (uint32_t i = 0; i < c.colors; ++i)
            EXPECT_EQ(img.GetPalette()[i].rgbRed | img.GetPalette()[i].rgbGreen |
                          img.GetPalette()[i].rgbBlue | img.GetPalette()[i].rgbReserved, 0);
        EXPECT_EQ(img.GetBits(0), img.GetDIB() + 40 + c.colors * 4);
        EXPECT_EQ(img.GetBits(3), nullptr);
    }
}

TEST(ImageCreate, RowStridePadsToFourBytes) {
    EXPECT_EQ(PxImage(1, 1, 24).GetEffWidth(), 4u);
    EXPECT_EQ(PxImage(33, 1, 1).GetEffWidth(), 8u);
    EXPECT_EQ(PxImage(32, 1, 1).GetEffWidth(), 4u);
    EXPECT_EQ(PxImage(9, 1, 4).GetEffWidth(), 8u);
    EXPECT_EQ(PxImage(4, 1, 8).GetEffWidth(), 4u);
    EXPECT_EQ(PxImage(5, 1, 8).GetEffWidth(), 8u);
    EXPECT_EQ(PxImage(4, 1, 24).GetEffWidth(), 12u);
}

TEST(ImageCreate, SizeLimitsAndMessages) {
    PxImage img;
    EXPECT_EQ(img.Create(0, 5, 24), nullptr);
    EXPECT_STREQ(img.GetLastError(), "PxImage::Create : width and height must be greater than zero");
    EXPECT_EQ(img.Create(5, 0, 24), nullptr);
    // 768 MiB of pixels; the product also overflows 32 bits.
    EXPECT_EQ(img.Create(16384, 16384, 24), nullptr);
    EXPECT_STREQ(img.GetLastError(), "PXIMAGE_MAX_MEMORY exceeded");
    // Just over the limit without overflowing: 268,435,457 bytes of pixels.
    EXPECT_EQ(img.Create(268435457u * 8u / 24u + 1u, 3, 8), nullptr);
    // Width beyond a signed header field, small enough to pass the byte limit.
    EXPECT_EQ(img.Create(0x80000001u, 1, 1), nullptr);
    EXPECT_STREQ(img.GetLastError(), "PXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(img.IsValid());

    uint32_t stride = 0, size = 0;
    EXPECT_TRUE(PxCheckedImageSize(8192, 8192, 24, &stride, &size));  // 192 MiB passes
    EXPECT_EQ(size, 8192u * 8192u * 3u);
    EXPECT_TRUE(PxCheckedImageSize(16384, 16384, 8, &stride, &size));  // exactly 256 MiB
    EXPECT_FALSE(PxCheckedImageSize(16384, 16385, 8, &stride, &size));
    EXPECT_FALSE(PxCheckedImageSize(65536, 65536, 1, &stride, &size));  // product is 2^32
    uint32_t plane = 0;
    EXPECT_TRUE(PxCheckedPlaneSize(100, 3, &plane));
    EXPECT_EQ(plane, 300u);
    EXPECT_FALSE(PxCheckedPlaneSize(65536, 65536, &plane));
}

TEST(ImageCreate, CreateDropsSideBuffers) {
    PxImage img(4, 4, 24);
    ASSERT_TRUE(img.CreateAlpha());
    ASSERT_TRUE(img.CreateSelection());
    ASSERT_NE(img.Create(2, 2, 8), nullptr);
    EXPECT_FALSE(img.HasAlpha());
    EXPECT_FALSE(img.HasSelection());
}

TEST(ImageAttributes, QualityDpiAndCodecOptions) {
    PxImage img(2, 2, 24);
    img.SetQuality(300);  // low 8 bits: 44
    EXPECT_EQ(img.GetQuality(), 44);
    img.SetQuality(100);
    EXPECT_EQ(img.GetQuality(), 100);
    img.SetDpiX(0);
    EXPECT_EQ(img.GetDpiX(), 96);
    EXPECT_EQ(img.GetHeader().biXPelsPerMeter, 3780);
    img.SetDpiY(300);
    EXPECT_EQ(img.GetHeader().biYPelsPerMeter, 11811);
    // The copy inside the pixel block follows.
    BITMAPINFOHEADER inBlock;
    std::memcpy(&inBlock, img.GetDIB(), sizeof(inBlock));
    EXPECT_EQ(inBlock.biYPelsPerMeter, 11811);
    img.SetDpiX(-5);
    EXPECT_EQ(img.GetDpiX(), 96);

    img.SetCodecOption(PXIMAGE_FORMAT_PNG, 7);
    EXPECT_EQ(img.GetCodecOption(PXIMAGE_FORMAT_PNG), 7u);
    EXPECT_EQ(img.GetInfo().codecOptions[PxCodecOptionSlot(PXIMAGE_FORMAT_PNG)], 7u);
    img.SetCodecOption(5, 9);  // id 5 is never used: slot 0
    EXPECT_EQ(img.GetCodecOption(PXIMAGE_FORMAT_UNKNOWN), 9u);
}

TEST(ImageAttributes, FormatSlotsPerFlavour) {
    if (FlavourTraits::kHasTiff) {
        EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_GIF), 2);
        EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_PNG), 4);
        EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_TIF), 5);
        EXPECT_TRUE(PxIsSupportedFormat(PXIMAGE_FORMAT_TIF));
    } else {
        EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_JPG), 2);
        EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_PNG), 3);
        EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_GIF), 0);
        EXPECT_FALSE(PxIsSupportedFormat(PXIMAGE_FORMAT_GIF));
        EXPECT_FALSE(PxIsSupportedFormat(PXIMAGE_FORMAT_TIF));
    }
    EXPECT_EQ(PxCodecOptionSlot(PXIMAGE_FORMAT_BMP), 1);
    EXPECT_FALSE(PxIsSupportedFormat(5));
    // Every format of the flavour has a slot of its own inside the table.
    bool used[FlavourTraits::kCodecOptionSlots] = {};
    for (uint32_t id = 0; id <= 6; ++id) {
        if (!PxIsSupportedFormat(id))
            continue;
        const int slot = PxCodecOptionSlot(id);
        ASSERT_LT(slot, FlavourTraits::kCodecOptionSlots) << id;
        EXPECT_FALSE(used[slot]) << id;
        used[slot] = true;
    }
}

TEST(ImageCopy, DeepCopyOfPixelsPaletteAlphaAndSelection) {
    PxImage src(3, 2, 8, PXIMAGE_FORMAT_GIF);
    src.SetGrayPalette();
    PutIndex(src, 2, 0, 200);
    ASSERT_TRUE(src.CreateAlpha());
    src.SetAlpha(1, 1, 17);
    ASSERT_TRUE(src.CreateSelection());
    src.GetSelectionBuffer()[2] = 1;
    src.SetDpiX(200);

    PxImage copy(src);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.GetDIB(), src.GetDIB());
    EXPECT_EQ(copy.GetType(), PXIMAGE_FORMAT_GIF);
    EXPECT_EQ(IndexAt(copy, 2, 0), 200);
    EXPECT_EQ(copy.GetPaletteColor(200).rgbRed, 200);
    EXPECT_EQ(copy.GetAlpha(1, 1), 17);
    EXPECT_EQ(copy.GetSelectionBuffer()[2], 1);
    EXPECT_EQ(copy.GetDpiX(), 200);
    EXPECT_EQ(copy.GetHeader().biXPelsPerMeter, src.GetHeader().biXPelsPerMeter);
    // Independent buffers.
    PutIndex(copy, 2, 0, 3);
    copy.SetAlpha(1, 1, 99);
    EXPECT_EQ(IndexAt(src, 2, 0), 200);
    EXPECT_EQ(src.GetAlpha(1, 1), 17);

    PxImage paletteOnly(src, false, false, false);
    EXPECT_EQ(paletteOnly.GetPaletteColor(77).rgbGreen, 77);
    EXPECT_FALSE(paletteOnly.HasAlpha());
    EXPECT_FALSE(paletteOnly.HasSelection());
}

TEST(ImageCopy, CopyOfEmptyImageStaysEmpty) {
    PxImage src(4, 4, 24);
    src.Destroy();  // header remembers 4 x 4, but there are no pixels
    PxImage dst(2, 2, 24);
    EXPECT_FALSE(dst.CopyFrom(src));
    EXPECT_FALSE(dst.IsValid());
}

TEST(ImageMove, TakesBuffersAndEmptiesSource) {
    PxImage src(3, 3, 24, PXIMAGE_FORMAT_JPG);
    FillTagged(src);
    ASSERT_TRUE(src.CreateAlpha());
    uint8_t* block = src.GetDIB();
    PxImage dst(8, 8, 8);
    ASSERT_TRUE(dst.MoveFrom(src));
    EXPECT_EQ(dst.GetDIB(), block);
    EXPECT_EQ(dst.GetWidth(), 3u);
    EXPECT_EQ(dst.GetType(), PXIMAGE_FORMAT_JPG);
    EXPECT_TRUE(dst.HasAlpha());
    EXPECT_TRUE(SameRgb(At(dst, 1, 2), Tag(1, 2)));
    EXPECT_FALSE(src.IsValid());
    EXPECT_FALSE(src.HasAlpha());
    EXPECT_EQ(src.GetWidth(), 0u);
    EXPECT_TRUE(dst.MoveFrom(dst));  // self-move changes nothing
    EXPECT_EQ(dst.GetDIB(), block);
}

TEST(ImageGhost, ViewSharesBuffersAndNeverFrees) {
    PxImage owner(4, 2, 24);
    FillTagged(owner);
    ASSERT_TRUE(owner.CreateAlpha());
    {
        PxImage ghost;
        ASSERT_TRUE(ghost.ShareFrom(owner));
        EXPECT_TRUE(ghost.IsGhost());
        EXPECT_EQ(ghost.GetDIB(), owner.GetDIB());
        EXPECT_EQ(ghost.GetAlphaBuffer(), owner.GetAlphaBuffer());
        EXPECT_FALSE(ghost.Destroy());
        EXPECT_FALSE(ghost.DestroyFrames());
        EXPECT_EQ(ghost.Create(2, 2, 24), nullptr);
        EXPECT_TRUE(ghost.IsValid());
        PxImage moved;
        EXPECT_FALSE(ghost.MoveFrom(moved));  // a ghost cannot take buffers
        // Copying a ghost gives another view of the same pixels.
        PxImage copy(ghost);
        EXPECT_TRUE(copy.IsGhost());
        EXPECT_EQ(copy.GetDIB(), owner.GetDIB());
    }  // ghosts gone: the owner's buffers must be intact (ASan would see a double free)
    EXPECT_TRUE(SameRgb(At(owner, 3, 1), Tag(3, 1)));
    EXPECT_EQ(owner.GetAlpha(0, 0), 255);
}

TEST(ImageGhost, ShareFromReleasesOwnBuffersFirst) {
    PxImage owner(2, 2, 24);
    PxImage viewer(64, 64, 24);  // its block would leak if ShareFrom dropped it
    ASSERT_TRUE(viewer.CreateAlpha());
    ASSERT_TRUE(viewer.ShareFrom(owner));
    EXPECT_EQ(viewer.GetWidth(), 2u);
    EXPECT_FALSE(viewer.HasAlpha());
    EXPECT_FALSE(owner.ShareFrom(owner));
    // A ghost is re-pointed, freeing nothing of the image it viewed.
    PxImage other(3, 1, 8);
    ASSERT_TRUE(viewer.ShareFrom(other));
    EXPECT_EQ(viewer.GetDIB(), other.GetDIB());
    EXPECT_TRUE(owner.IsValid());
}

TEST(ImageGhost, MoveOutOfGhostKeepsOwnerAlive) {
    PxImage owner(2, 2, 24);
    FillTagged(owner);
    PxImage ghost;
    ASSERT_TRUE(ghost.ShareFrom(owner));
    PxImage taker;
    ASSERT_TRUE(taker.MoveFrom(ghost));
    EXPECT_TRUE(taker.IsGhost());  // still only a view
    EXPECT_FALSE(ghost.IsValid());
    EXPECT_TRUE(SameRgb(At(owner, 1, 1), Tag(1, 1)));
}

TEST(ImagePixels, PackedIndicesRoundTripAtEveryPosition) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        PxImage img(11, 3, bpp);
        const uint8_t mask = static_cast<uint8_t>((1u << bpp) - 1);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 11; ++x)
                img.SetPixelIndex(x, y, static_cast<uint8_t>((x * 5 + y * 3) & mask));
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 11; ++x)
                EXPECT_EQ(img.GetPixelIndex(x, y), (x * 5 + y * 3) & mask) << bpp << " " << x;
    }
    // Bit order: the leftmost pixel is the high bit / high nibble.
    PxImage one(8, 1, 1);
    std::memset(one.GetBits(0), 0, 4);
    one.SetPixelIndex(0, 0, 1);
    EXPECT_EQ(one.GetBits(0)[0], 0x80);
    PxImage four(2, 1, 4);
    std::memset(four.GetBits(0), 0, 4);
    four.SetPixelIndex(0, 0, 0xA);
    EXPECT_EQ(four.GetBits(0)[0], 0xA0);
}

TEST(ImagePixels, OutsideReadsAndIgnoredWrites) {
    PxImage pal(2, 2, 8);
    pal.SetGrayPalette();
    pal.SetPixelIndex(0, 0, 9);
    EXPECT_EQ(pal.GetPixelIndex(-1, 0), 9);  // first byte of the rows
    pal.SetTransIndex(4);
    EXPECT_EQ(pal.GetPixelIndex(5, 5), 4);
    EXPECT_EQ(pal.GetPixelColor(5, 5).rgbRed, 4);  // background entry's colour
    pal.SetPixelIndex(2, 0, 1);  // ignored, no overrun
    pal.SetPixelColor(0, -1, Rgb(1, 2, 3));

    PxImage rgb(2, 2, 24);
    FillTagged(rgb);
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), 0);  // not a palette image
    EXPECT_TRUE(SameRgb(rgb.GetPixelColor(7, 7), rgb.GetPixelColor(0, 0)));
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Rgb(9, 8, 7));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColor(-1, 0), Rgb(9, 8, 7)));
}

TEST(ImagePixels, ColorWithAlpha) {
    PxImage img(2, 1, 24);
    ASSERT_TRUE(img.CreateAlpha());
    img.SetPixelColor(1, 0, Rgb(10, 20, 30, 40), true);
    const RGBQUAD c = img.GetPixelColor(1, 0, true);
    EXPECT_TRUE(SameRgb(c, Rgb(10, 20, 30)));
    EXPECT_EQ(c.rgbReserved, 40);
    EXPECT_EQ(img.GetPixelColor(1, 0, false).rgbReserved, 0);
    img.SetPixelColor(0, 0, Rgb(1, 1, 1, 7), false);
    EXPECT_EQ(img.GetAlpha(0, 0), 255);
}

TEST(ImagePalette, NearestIndexTiesExactMatchesAndCache) {
    PxImage img(1, 1, 4);
    img.SetPaletteColor(0, Rgb(0, 0, 0));
    img.SetPaletteColor(1, Rgb(10, 0, 0));
    img.SetPaletteColor(2, Rgb(20, 0, 0));
    img.SetPaletteColor(3, Rgb(20, 0, 0));
    for (uint8_t i = 4; i < 16; ++i)
        img.SetPaletteColor(i, Rgb(255, 255, 255));
    EXPECT_EQ(img.GetNearestIndex(Rgb(5, 0, 0)), 0);    // tie keeps the lower index
    EXPECT_EQ(img.GetNearestIndex(Rgb(20, 0, 0)), 2);   // exact match, first of equals
    EXPECT_EQ(img.GetNearestIndex(Rgb(200, 210, 220)), 4);
    // The cached answer must not survive a palette change.
    img.SetPaletteColor(5, Rgb(200, 210, 220));
    EXPECT_EQ(img.GetNearestIndex(Rgb(200, 210, 220)), 5);
    EXPECT_EQ(img.GetPaletteColor(16).rgbRed, 0);  // beyond the palette: zero
    PxImage rgb(1, 1, 24);
    EXPECT_EQ(rgb.GetNearestIndex(Rgb(1, 2, 3)), 0);
    EXPECT_EQ(rgb.GetPaletteColor(0).rgbRed, 0);
}

TEST(ImagePalette, GrayRamp) {
    PxImage img(1, 1, 8);
    for (int i = 0; i < 256; ++i)
        img.SetPaletteColor(static_cast<uint8_t>(i), Rgb(i, i, i));
    EXPECT_TRUE(img.IsGrayRamp());
    RGBQUAD c = img.GetPaletteColor(77);
    c.rgbRed = 78;
    img.SetPaletteColor(77, c);
    EXPECT_FALSE(img.IsGrayRamp());
    EXPECT_FALSE(PxImage(1, 1, 24).IsGrayRamp());
    EXPECT_FALSE(PxImage().IsGrayRamp());
}

TEST(ImageDepth, IncreaseBitDepthRules) {
    PxImage rgb(2, 2, 24);
    FillTagged(rgb);
    uint8_t* block = rgb.GetDIB();
    EXPECT_TRUE(rgb.IncreaseBitDepth(24));
    EXPECT_EQ(rgb.GetDIB(), block);  // unchanged
    EXPECT_FALSE(rgb.IncreaseBitDepth(8));
    EXPECT_FALSE(rgb.IncreaseBitDepth(16));
    EXPECT_EQ(rgb.GetBpp(), 24u);
}

TEST(ImageDepth, PaletteToTrueColourKeepsColoursAlphaAndTransparency) {
    PxImage img(9, 2, 1, PXIMAGE_FORMAT_GIF);
    img.SetPaletteColor(0, Rgb(10, 20, 30, 0));
    img.SetPaletteColor(1, Rgb(200, 100, 50, 128));
    for (int32_t x = 0; x < 9; ++x) {
        PutIndex(img, x, 0, static_cast<uint8_t>(x & 1));
        PutIndex(img, x, 1, static_cast<uint8_t>((x & 1) ^ 1));
    }
    img.SetTransIndex(1);
    img.SetDpiX(150);
    ASSERT_TRUE(img.IncreaseBitDepth(24));
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(img.GetType(), PXIMAGE_FORMAT_GIF);
    EXPECT_EQ(img.GetDpiX(), 150);
    EXPECT_TRUE(SameRgb(img.GetTransColor(), Rgb(200, 100, 50)));
    EXPECT_TRUE(SameRgb(At(img, 0, 0), Rgb(10, 20, 30)));
    EXPECT_TRUE(SameRgb(At(img, 8, 1), Rgb(200, 100, 50)));
    EXPECT_TRUE(SameRgb(At(img, 8, 0), Rgb(10, 20, 30)));
    EXPECT_TRUE(SameRgb(At(img, 3, 0), Rgb(200, 100, 50)));
    // The palette's reserved byte became an alpha channel.
    ASSERT_TRUE(img.HasAlpha());
    EXPECT_EQ(img.GetAlpha(3, 1), 128);
    EXPECT_EQ(img.GetAlpha(2, 1), 0);
}

TEST(ImageDepth, OneToFourToEightKeepsIndices) {
    PxImage img(10, 3, 1);
    img.SetPaletteColor(1, Rgb(255, 0, 0));
    for (int32_t x = 0; x < 10; ++x)
        img.SetPixelIndex(x, 1, static_cast<uint8_t>(x % 3 == 0));
    ASSERT_TRUE(img.CreateSelection());
    img.GetSelectionBuffer()[5] = 1;
    ASSERT_TRUE(img.IncreaseBitDepth(4));
    EXPECT_EQ(img.GetBpp(), 4u);
    ASSERT_TRUE(img.IncreaseBitDepth(8));
    EXPECT_EQ(img.GetNumColors(), 256u);
    for (int32_t x = 0; x < 10; ++x)
        EXPECT_EQ(img.GetPixelIndex(x, 1), x % 3 == 0 ? 1 : 0) << x;
    EXPECT_TRUE(SameRgb(img.GetPaletteColor(1), Rgb(255, 0, 0)));
    EXPECT_EQ(img.GetSelectionBuffer()[5], 1);
}

TEST(ImageFrames, DestroyFramesAndMoveWithFrames) {
    struct Maker : PxImage {
        using PxImage::AdoptFrames;
    } src;
    ASSERT_NE(src.Create(1, 1, 24), nullptr);
    PxImage** frames = new PxImage*[2]{new PxImage(2, 2, 8), new PxImage(3, 3, 8)};
    ASSERT_TRUE(src.AdoptFrames(frames, 2));
    EXPECT_EQ(src.GetNumFrames(), 2);
    EXPECT_EQ(src.GetFrame(1)->GetWidth(), 3u);
    EXPECT_EQ(src.GetFrame(2), nullptr);
    EXPECT_EQ(src.GetFrame(-1), nullptr);
    PxImage dst;
    ASSERT_TRUE(dst.MoveFrom(src, true));
    EXPECT_EQ(dst.GetNumFrames(), 2);
    EXPECT_EQ(dst.GetFrame(0)->GetWidth(), 2u);
    EXPECT_EQ(src.GetFrame(0), nullptr);
    // Copies never carry frames.
    PxImage copy(dst);
    EXPECT_EQ(copy.GetFrame(0), nullptr);
    EXPECT_TRUE(dst.DestroyFrames());
    EXPECT_EQ(dst.GetNumFrames(), 0);
    EXPECT_TRUE(dst.IsValid());
}

}  // namespace

namespace {

// Reshaping inside the storage an image already holds.
TEST(ImageReshape, ReusesTheBlockWhenItFitsAndKeepsTheLayoutRules) {
    PxImage like(1, 1, 24, PXIMAGE_FORMAT_PNG);
    like.SetDpiX(300);
    PxImage image(64, 64, 24);
    ASSERT_TRUE(image.CreateAlpha());
    ASSERT_TRUE(image.CreateSelection());
    std::memset(image.GetBits(0), 0xEE, image.GetHeader().biSizeImage);
    const uint8_t* block = image.GetDIB();
    struct Case { uint32_t width, height, bpp; size_t reserve; bool sameBlock; };
    const Case cases[] = {
        {5, 7, 24, 0, true},          // smaller: same block, rows re-laid
        {33, 3, 1, 0, true},          // palette depth: header and palette in the block
        {64, 64, 24, 0, true},        // the whole block again
        {65, 64, 24, 0, false},       // larger: a new block
        {10, 10, 24, 1u << 20, true}, // still fits: the reserve is not taken
    };
    for (const Case& c : cases) {
        const uint8_t* before = image.GetDIB();
        ASSERT_TRUE(image.Reshape(c.width, c.height, c.bpp, like, c.reserve)) << c.width;
        EXPECT_EQ(image.GetDIB() == before, c.sameBlock) << c.width;
        uint32_t stride = 0, size = 0;
        ASSERT_TRUE(PxCheckedImageSize(c.width, c.height, c.bpp, &stride, &size));
        EXPECT_EQ(image.GetEffWidth(), stride) << c.width;
        EXPECT_EQ(image.GetHeader().biSizeImage, size) << c.width;
        EXPECT_EQ(image.GetBpp(), c.bpp) << c.width;
        BITMAPINFOHEADER inBlock;
        std::memcpy(&inBlock, image.GetDIB(), sizeof(inBlock));
        EXPECT_EQ(inBlock.biWidth, int32_t(c.width)) << c.width;
        EXPECT_EQ(inBlock.biXPelsPerMeter, 11811) << c.width;
        EXPECT_EQ(image.GetType(), uint32_t(PXIMAGE_FORMAT_PNG)) << c.width;
        EXPECT_FALSE(image.HasAlpha() || image.HasSelection() || image.IsGhost()) << c.width;
        const size_t bits = size_t(c.width) * c.bpp, whole = (bits + 7) / 8;
        for (uint32_t y = 0; y < c.height; ++y) {
            const uint8_t* row = image.GetBits(y);
            if (bits % 8) {
                ASSERT_EQ(row[whole - 1] & (0xFF >> (bits % 8)), 0) << c.width << " row " << y;
            }
            for (size_t b = whole; b < stride; ++b)
                ASSERT_EQ(row[b], 0) << c.width << " row " << y;
        }
        for (uint32_t i = 0; i < image.GetNumColors(); ++i)
            ASSERT_EQ(image.GetPalette()[i].rgbRed, 0) << i;
    }
    EXPECT_NE(image.GetDIB(), block);
    // A reserve larger than needed is taken when a new block is due.
    PxImage fresh;
    ASSERT_TRUE(fresh.Reshape(4, 4, 24, like, 1u << 16));
    const uint8_t* reserved = fresh.GetDIB();
    ASSERT_TRUE(fresh.Reshape(100, 100, 24, like));  // 30 000 bytes: within the reserve
    EXPECT_EQ(fresh.GetDIB(), reserved);
}

TEST(ImageReshape, RefusalsLeaveTheImageAsItWas) {
    PxImage like;
    PxImage image(8, 8, 8);
    const uint8_t* block = image.GetDIB();
    EXPECT_FALSE(image.Reshape(0, 5, 24, like));
    EXPECT_STREQ(image.GetLastError(), "PxImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(image.Reshape(16384, 16384, 24, like));
    EXPECT_STREQ(image.GetLastError(), "PXIMAGE_MAX_MEMORY exceeded");
    EXPECT_EQ(image.GetDIB(), block);
    EXPECT_EQ(image.GetWidth(), 8u);
    PxImage ghost;
    ASSERT_TRUE(ghost.ShareFrom(image));
    EXPECT_FALSE(ghost.Reshape(2, 2, 24, like));
    EXPECT_EQ(ghost.GetDIB(), block);
}

}  // namespace
