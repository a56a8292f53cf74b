#include "ui/ImageLister.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/PxImage.h"
#include "tests/ui/DibCanvas.h"
#include "tests/ui/SkinKinds.h"

using Corvane::UI::ImageLister;
using Corvane::UI::SkinEntry;
using Corvane::UI::SkinTable;

namespace {

class ImageListerTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.Clear();
        store.LoadAll();
    }
    void TearDown() override { store.Clear(); }
    ImageLister& store = ImageLister::Instance();
};

}  // namespace

TEST_F(ImageListerTest, LoadsEveryPictureWithItsSizeAndKind) {
    std::size_t count = 0;
    const SkinEntry* table = SkinTable(&count);
    EXPECT_EQ(store.Count(), count);
    EXPECT_EQ(count, FlavourTraits::kIsNpapi ? 24u : 23u);
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(table[i].name);
        const SkinKind* kind = FindSkinKind(table[i].name);
        ASSERT_NE(kind, nullptr);
        PxImage* image = store.Find(table[i].name);
        ASSERT_NE(image, nullptr);
        ASSERT_TRUE(image->IsValid()) << image->GetLastError();
        EXPECT_EQ(image->GetWidth(), kind->width);
        EXPECT_EQ(image->GetHeight(), kind->height);
        // RGBA pictures keep their alpha channel; RGB ones are opaque.
        EXPECT_EQ(image->HasAlpha(), kind->colourType == 6);
    }
}

TEST_F(ImageListerTest, CanvasTileIsInTheStoreOnlyForTheNpapiFlavour) {
    PxImage* tile = store.Find("CANVAS_BK");
    if (FlavourTraits::kIsNpapi) {
        ASSERT_NE(tile, nullptr);
        EXPECT_EQ(tile->GetWidth(), 16u);
        EXPECT_EQ(tile->GetHeight(), 16u);
        EXPECT_FALSE(tile->HasAlpha());
    } else {
        EXPECT_EQ(tile, nullptr);
    }
}

TEST_F(ImageListerTest, FirstTableEntryMatchesTheFlavour) {
    std::size_t count = 0;
    const SkinEntry* table = SkinTable(&count);
    ASSERT_GT(count, 0u);
    EXPECT_STREQ(table[0].name, FlavourTraits::kIsNpapi ? "CANVAS_BK" : "top-bk");
    EXPECT_EQ(table[0].id, FlavourTraits::kIsNpapi ? 293 : 201);
}

TEST_F(ImageListerTest, DrawsAKnownPictureStretched) {
    DibCanvas canvas(12, 60);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(0, 0, 0));
    // The band: 1 x 58, opaque, last row the hairline #D3DFF2.
    store.DrawImage(canvas.Dc(), "top-bk", RECT{1, 1, 11, 59});
    EXPECT_TRUE(Near(canvas.At(5, 58), RGB(0xD3, 0xDF, 0xF2), 2)) << std::hex << canvas.At(5, 58);
    EXPECT_TRUE(Near(canvas.At(1, 1), RGB(0xFA, 0xFB, 0xFE), 3)) << std::hex << canvas.At(1, 1);
    EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(11, 30), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(5, 59), RGB(0, 0, 0));
}

TEST_F(ImageListerTest, TransparentCornersBlendOverWhatIsThere) {
    DibCanvas canvas(56, 22);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(10, 20, 30));
    store.DrawImage(canvas.Dc(), "btnOk", RECT{0, 0, 56, 22});
    EXPECT_EQ(canvas.At(0, 0), RGB(10, 20, 30));  // transparent corner
    EXPECT_TRUE(Near(canvas.At(5, 11), RGB(0x2F, 0x74, 0xE0), 3)) << std::hex << canvas.At(5, 11);
}

TEST_F(ImageListerTest, UnknownNameLeavesTheRectangleUntouched) {
    DibCanvas canvas(20, 20);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(7, 8, 9));
    store.DrawImage(canvas.Dc(), "BtnNormal", RECT{0, 0, 20, 20});
    store.DrawImage(nullptr, "btnOk", RECT{0, 0, 20, 20});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(canvas.At(x, y), RGB(7, 8, 9));
}

TEST_F(ImageListerTest, ClearEmptiesUntilTheNextLoad) {
    store.Clear();
    EXPECT_EQ(store.Find("btnOk"), nullptr);
    EXPECT_EQ(store.Count(), 0u);
    store.LoadAll();
    EXPECT_NE(store.Find("btnOk"), nullptr);
}

TEST_F(ImageListerTest, LoadingAgainKeepsTheFirstPictures) {
    PxImage* first = store.Find("btnOpen");
    store.LoadAll();
    EXPECT_EQ(store.Find("btnOpen"), first);
}

TEST_F(ImageListerTest, MissingResourcesGiveEmptyEntriesWithAReason) {
    store.Clear();
    // A module without "PNG" resources: every entry is there, empty.
    store.LoadFrom(GetModuleHandleW(L"kernel32.dll"));
    std::size_t count = 0;
    SkinTable(&count);
    EXPECT_EQ(store.Count(), count);
    PxImage* image = store.Find("btnOk");
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->IsValid());
    EXPECT_STREQ(image->GetLastError(), "Unable to load resource!");
    DibCanvas canvas(10, 10);
    ASSERT_TRUE(canvas.Ok());
    canvas.Clear(RGB(4, 5, 6));
    store.DrawImage(canvas.Dc(), "btnOk", RECT{0, 0, 10, 10});
    EXPECT_EQ(canvas.At(5, 5), RGB(4, 5, 6));
    store.Clear();
    store.LoadFrom(nullptr);  // no module at all: the same, no crash
    EXPECT_EQ(store.Count(), count);
}

TEST_F(ImageListerTest, ModuleFollowsTheFlavour) {
    if (FlavourTraits::kIsNpapi) {
        const HMODULE saved = store.GetModule();
        store.SetModule(GetModuleHandleW(L"kernel32.dll"));
        EXPECT_EQ(store.GetModule(), GetModuleHandleW(L"kernel32.dll"));
        store.SetModule(saved);
    } else {
        // Always the module the code lives in: here the test program.
        store.SetModule(GetModuleHandleW(L"kernel32.dll"));
        EXPECT_EQ(store.GetModule(), GetModuleHandleW(nullptr));
    }
}
