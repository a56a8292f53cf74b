// The "PNG" resources as the deliverables carry them: every picture of the
// skin table plus the extra ones (npPixmend's badge, Pixmend's canvas tile),
// checked from the PNG header itself, independent of any decoder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "support/Flavour.h"
#include "tests/ui/SkinKinds.h"
#include "ui/ImageLister.h"
#include "ui/SkinFlavour.h"

using Corvane::UI::FindSkinResource;
using Corvane::UI::SkinEntry;
using Corvane::UI::SkinTable;

namespace {

struct PngHeader {
    uint32_t width = 0, height = 0;
    int bitDepth = -1, colourType = -1;
};

uint32_t BigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Reads the signature and IHDR of resource id; false when absent or not PNG.
bool ReadPngHeader(int id, PngHeader* out) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindSkinResource(module, id);
    if (resource == nullptr) return false;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    // 8 signature + 4 length + 4 "IHDR" + 13 data.
    if (bytes == nullptr || size < 29) return false;
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(bytes, kSignature, 8) != 0 || std::memcmp(bytes + 12, "IHDR", 4) != 0)
        return false;
    out->width = BigEndian32(bytes + 16);
    out->height = BigEndian32(bytes + 20);
    out->bitDepth = bytes[24];
    out->colourType = bytes[25];
    return true;
}

void ExpectPicture(int id, uint32_t width, uint32_t height, int colourType) {
    PngHeader header;
    ASSERT_TRUE(ReadPngHeader(id, &header)) << "resource " << id;
    EXPECT_EQ(header.width, width) << "resource " << id;
    EXPECT_EQ(header.height, height) << "resource " << id;
    EXPECT_EQ(header.bitDepth, 8) << "resource " << id;
    EXPECT_EQ(header.colourType, colourType) << "resource " << id;
}

}  // namespace

TEST(SkinResources, EveryTableEntryHasItsSizeAndColourType) {
    std::size_t count = 0;
    const SkinEntry* table = SkinTable(&count);
    for (std::size_t i = 0; i < count; ++i) {
        const SkinKind* kind = FindSkinKind(table[i].name);
        ASSERT_NE(kind, nullptr) << table[i].name;
        ExpectPicture(table[i].id, kind->width, kind->height, kind->colourType);
    }
}

TEST(SkinResources, PicturesOutsideTheStore) {
    if (FlavourTraits::kIsNpapi) {
        ExpectPicture(264, 196, 65, 6);  // the badge
    } else {
        ExpectPicture(204, 16, 16, 2);   // the canvas tile, loaded by the canvas
    }
}

TEST(SkinResources, TableIdsAreDistinctAndNamesUnique) {
    std::size_t count = 0;
    const SkinEntry* table = SkinTable(&count);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j) {
            EXPECT_NE(table[i].id, table[j].id);
            EXPECT_STRNE(table[i].name, table[j].name);
        }
}
